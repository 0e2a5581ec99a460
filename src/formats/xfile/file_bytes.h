// The bytes of a whole file, read once: a regular file is mapped read-only, anything else (a
// pipe, a file system without mapping) is read into a buffer that is not zero-filled first.
// Large models are tens of megabytes, and copying or clearing them cost as much as parsing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vorna::xfile {

class FileBytes {
 public:
  FileBytes() = default;
  ~FileBytes();
  FileBytes(FileBytes&& other) noexcept;
  FileBytes& operator=(FileBytes&& other) noexcept;

  // Replaces the contents with the file at `path`; false (and empty) when it cannot be opened,
  // is no regular file or pipe, cannot be read or is larger than `max_size`.
  bool Load(const std::string& path, std::uint64_t max_size);

  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

 private:
  void Release();

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  bool mapped_ = false;
  std::unique_ptr<std::uint8_t[]> buffer_;
};

// Asks for huge pages behind a large array that is about to be filled: a big mesh's values then
// cost a few hundred page faults instead of tens of thousands. Only a hint; small arrays are left
// alone.
void AdviseHugePages(const void* data, std::size_t bytes);

}  // namespace vorna::xfile
