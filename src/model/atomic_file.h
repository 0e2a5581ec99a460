// Saving without ever damaging the file being replaced: the bytes go to a temporary file in the
// target's directory, which is flushed, synced and renamed over the target only when complete.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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
  // Flushes, syncs, closes and renames over the target. False (temporary removed, target
  // untouched) on any failure, including an earlier failed Write.
  bool Commit();

 private:
  void Discard();
  std::string path_;
  std::string temp_path_;
  int fd_ = -1;
  bool failed_ = false;
};

// Open, Write and Commit in one call; `created` tells a failure to create from a later one.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool* created = nullptr);

}  // namespace vorna
