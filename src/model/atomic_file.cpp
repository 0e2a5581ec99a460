#include "model/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace vorna {

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
  temp_path_.clear();
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  failed_ = false;
  path_ = path;
  if (path.empty() || path.back() == '/') return false;
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = dir + "." + name + ".tmp-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;
  // mkstemp creates 0600; a saved model gets the usual permissions, or the old file's.
  struct stat st {};
  const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  ::fchmod(fd, mode);
  fd_ = fd;
  temp_path_ = pattern;
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0 || failed_) return false;
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFile::Commit() {
  if (fd_ < 0 || failed_) {
    Discard();
    return false;
  }
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed || ::rename(temp_path_.c_str(), path_.c_str()) != 0) {
    Discard();
    return false;
  }
  temp_path_.clear();
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool* created) {
  AtomicFile file;
  const bool opened = file.Open(path);
  if (created != nullptr) *created = opened;
  return opened && file.Write(bytes) && file.Commit();
}

}  // namespace vorna
