#include "formats/xfile/file_bytes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace vorna::xfile {

FileBytes::~FileBytes() { Release(); }

FileBytes::FileBytes(FileBytes&& other) noexcept { *this = std::move(other); }

FileBytes& FileBytes::operator=(FileBytes&& other) noexcept {
  if (this != &other) {
    Release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = std::exchange(other.mapped_, false);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

void FileBytes::Release() {
  if (mapped_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
  buffer_.reset();
  data_ = nullptr;
  size_ = 0;
  mapped_ = false;
}

namespace {

// Reads until the end of `fd` into a buffer that grows by doubling, for files of unknown size.
bool ReadStream(int fd, std::uint64_t max_size, std::unique_ptr<std::uint8_t[]>& buffer,
                std::size_t& size) {
  std::size_t capacity = 0;
  size = 0;
  for (;;) {
    if (size == capacity) {
      if (capacity > max_size) return false;
      const std::size_t grown = capacity == 0 ? 65536 : capacity * 2;
      std::unique_ptr<std::uint8_t[]> bigger(new (std::nothrow) std::uint8_t[grown]);
      if (!bigger) return false;
      if (size > 0) std::memcpy(bigger.get(), buffer.get(), size);
      buffer = std::move(bigger);
      capacity = grown;
    }
    const ssize_t n = ::read(fd, buffer.get() + size, capacity - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return size <= max_size;
    size += static_cast<std::size_t>(n);
  }
}

}  // namespace

bool FileBytes::Load(const std::string& path, std::uint64_t max_size) {
  Release();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0;
  if (ok && S_ISREG(info.st_mode)) {
    const auto size = static_cast<std::uint64_t>(info.st_size);
    ok = size <= max_size;
    if (ok && size > 0) {
      void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (map != MAP_FAILED) {
        ::madvise(map, size, MADV_SEQUENTIAL);
        data_ = static_cast<const std::uint8_t*>(map);
        size_ = size;
        mapped_ = true;
      } else {
        ok = ReadStream(fd, max_size, buffer_, size_);
      }
    }
  } else if (ok && S_ISFIFO(info.st_mode)) {
    ok = ReadStream(fd, max_size, buffer_, size_);
  } else {
    ok = false;
  }
  ::close(fd);
  if (!ok) {
    Release();
    return false;
  }
  if (!mapped_) data_ = buffer_.get();
  return true;
}

void AdviseHugePages(const void* data, std::size_t bytes) {
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  if (bytes < 2 * kHuge) return;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t last = (start + bytes) & ~(kHuge - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace vorna::xfile
