#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <exception>
#include <random>
#include <string>

#include "images/encode.h"

namespace vorna {

namespace {

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes the renamed entry itself durable; failure here does not undo a completed save.
void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Creates a new, uniquely named file next to `path`; returns its descriptor or -1.
int CreateTemporary(const std::string& directory, const std::string& name, std::string* temp) {
  std::random_device random;
  for (int attempt = 0; attempt < 32; ++attempt) {
    char suffix[16];
    const auto end = std::to_chars(suffix, suffix + sizeof(suffix), random(), 16).ptr;
    // A leading dot keeps the half-written file out of ordinary listings; the name is cut so
    // that the temporary never exceeds the file system's name length when `path` does not.
    *temp = directory + "/." + name.substr(0, 200) + "." + std::string(suffix, end) + ".tmp";
    const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
  if (path.empty() || path.back() == '/') return false;
  try {
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temp;
    const int fd = CreateTemporary(directory, name, &temp);
    if (fd < 0) return false;
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
      ::fchmod(fd, existing.st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
      ::unlink(temp.c_str());
      return false;
    }
    SyncDirectory(directory);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace vorna
