#include "io/whole_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>
#include <utility>

#include "io/descriptor.h"

namespace vorna {

bool ReadWholeFile(const std::string& path, FileBytes* out, ReadError* error,
                   std::uint64_t max_bytes) {
  out->data_.reset();
  out->size_ = 0;
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return Fail(error, ReadErrorKind::kIo, "cannot open the file");
  struct stat info;
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    return Fail(error, ReadErrorKind::kIo, "not a regular file");
  }
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > max_bytes || size > std::numeric_limits<std::size_t>::max() / 2) {
    return Fail(error, ReadErrorKind::kLimit, "the file is too large");
  }
  std::unique_ptr<char[]> data(new (std::nothrow) char[size > 0 ? size : 1]);
  if (data == nullptr) return Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  AdviseHugePages(data.get(), static_cast<std::size_t>(size));
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd.get(), data.get() + done, static_cast<std::size_t>(size) - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Fail(error, ReadErrorKind::kIo, "cannot read the file", done);
    if (n == 0) break;  // the file shrank under us
    done += static_cast<std::size_t>(n);
  }
  out->data_ = std::move(data);
  out->size_ = done;
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

}  // namespace vorna
