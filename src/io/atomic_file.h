// Saving without ever damaging the file being replaced: the bytes go to a new temporary file in
// the target's directory, which is synced and renamed over the target only when complete. Every
// writer of models and images saves through this.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "io/progress.h"
#include "io/write_error.h"

namespace vorna {

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile();  // removes the temporary unless Commit succeeded
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary beside `path`. False when the directory cannot take a new file.
  bool Open(const std::string& path);
  bool Write(std::string_view bytes);
  // Writes `bytes` as the whole content in pieces, telling `progress` (may be empty) the bytes
  // written after each; a stop fails the write, so that Commit then discards the temporary and
  // leaves the target as it was.
  bool Write(std::string_view bytes, const ProgressCallback& progress);
  // Syncs, closes and renames over the target, keeping an existing target's permissions. False
  // (temporary removed, target untouched) on any failure, including an earlier failed Write.
  // Without `replace` the file only takes the name while nothing has it: a file that came
  // meanwhile stays as it is and the commit fails.
  bool Commit(bool replace = true);

  // Open with `error` (may be null) set to kCreate on failure.
  bool Open(const std::string& path, WriteError* error);
  // Write (reporting to `progress`) and Commit, with `error` (may be null) set to kCancelled when
  // the progress asked to stop and to kWrite on any other failure.
  bool WriteAndCommit(std::string_view bytes, const ProgressCallback& progress, WriteError* error,
                      bool replace = true);

 private:
  void Discard();
  std::string path_;
  std::string directory_;
  std::string temp_path_;
  int fd_ = -1;
  bool failed_ = false;
  bool stopped_ = false;
};

// Writes every byte to `fd`, retrying interrupted writes; false at the first failure.
bool WriteAll(int fd, std::string_view bytes);

// Open, Write and Commit in one call; `created` tells a failure to create from a later one.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool* created = nullptr,
                         const ProgressCallback& progress = {});
inline bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes,
                                const ProgressCallback& progress = {}) {
  return WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), nullptr,
      progress);
}
// The same with `error` (may be null) saying why it failed (kCreate, kWrite, kCancelled).
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const ProgressCallback& progress, WriteError* error);

}  // namespace vorna
