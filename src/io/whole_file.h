// Reading a whole file into memory in one go: the bytes land in a buffer that is never zero-filled
// first, since every byte of it is overwritten by the read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "io/read_error.h"

namespace vorna {

class FileBytes {
 public:
  const char* data() const { return data_.get(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::string_view text() const { return {data_.get(), size_}; }
  std::span<const std::uint8_t> bytes() const {
    return {reinterpret_cast<const std::uint8_t*>(data_.get()), size_};
  }

 private:
  friend bool ReadWholeFile(const std::string&, FileBytes*, ReadError*, std::uint64_t);
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
};

inline constexpr std::uint64_t kNoFileSizeLimit = std::numeric_limits<std::uint64_t>::max();

// Reads the regular file at `path` (taken as it is: no case folding). Anything but a regular file
// fails, and so does a file larger than `max_bytes`; opening never blocks, so a name that turns
// out to be a FIFO fails instead of waiting for a writer. A file that shrinks while it is read
// gives the bytes that were there. On failure `out` is empty and `error` (may be null) says why.
bool ReadWholeFile(const std::string& path, FileBytes* out, ReadError* error = nullptr,
                   std::uint64_t max_bytes = kNoFileSizeLimit);

// Asks for huge pages behind a large array that is about to be filled: a big mesh's values then
// cost a few hundred page faults instead of tens of thousands. Only a hint; small arrays are left
// alone.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace vorna
