#include "io/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <random>

#include "io/path_parts.h"

namespace vorna {

namespace {

// Creates a new, uniquely named file next to the target; returns its descriptor or -1.
int CreateTemporary(const std::string& directory, const std::string& name, std::string* temp) {
  std::random_device random;
  for (int attempt = 0; attempt < 32; ++attempt) {
    char suffix[16];
    const auto end = std::to_chars(suffix, suffix + sizeof(suffix), random(), 16).ptr;
    // A leading dot keeps the half-written file out of ordinary listings; the name is cut so
    // that the temporary never exceeds the file system's name length when the target does not.
    *temp = directory + "." + name.substr(0, 200) + "." + std::string(suffix, end) + ".tmp";
    const int fd = ::open(temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Makes the renamed entry itself durable; failure here does not undo a completed save.
void SyncDirectory(const std::string& directory) {
  const int fd =
      ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Gives the complete temporary the target's name unless a file has it: a hard link fails on an
// existing name. File systems without hard links get a look before the rename instead.
bool LinkAsNewFile(const std::string& temp, const std::string& path) {
  if (::link(temp.c_str(), path.c_str()) == 0) {
    ::unlink(temp.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  struct stat existing {};
  if (::lstat(path.c_str(), &existing) == 0 || errno != ENOENT) return false;
  return ::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

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
  stopped_ = false;
  path_ = path;
  if (path.empty() || path.back() == '/') return false;
  directory_ = DirectoryOf(path);
  const std::string name = FileNameOf(path);
  std::string temp;
  fd_ = CreateTemporary(directory_, name, &temp);
  if (fd_ < 0) return false;
  temp_path_ = temp;
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    ::fchmod(fd_, existing.st_mode & 07777);
  }
  return true;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

bool AtomicFile::Write(std::string_view bytes) {
  if (fd_ < 0 || failed_) return false;
  failed_ = !WriteAll(fd_, bytes);
  return !failed_;
}

bool AtomicFile::Write(std::string_view bytes, const ProgressCallback& progress) {
  // Pieces small enough that a stop is honoured within a few milliseconds on a slow disk.
  constexpr size_t kPiece = size_t{1} << 20;
  ProgressMeter meter(progress, bytes.size(), kPiece);
  for (size_t done = 0; done < bytes.size(); done += kPiece) {
    if (!meter.At(done) || !Write(bytes.substr(done, kPiece))) {
      failed_ = true;
      stopped_ = meter.stopped();
      return false;
    }
  }
  if (!meter.Finish()) failed_ = stopped_ = true;
  return !failed_;
}

bool AtomicFile::Commit(bool replace) {
  if (fd_ < 0 || failed_) {
    Discard();
    return false;
  }
  const bool synced = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!synced || !closed ||
      !(replace ? ::rename(temp_path_.c_str(), path_.c_str()) == 0
                : LinkAsNewFile(temp_path_, path_))) {
    Discard();
    return false;
  }
  temp_path_.clear();
  SyncDirectory(directory_);
  return true;
}

bool AtomicFile::Open(const std::string& path, WriteError* error) {
  return Open(path) || Fail(error, WriteErrorKind::kCreate, "cannot create the file", path);
}

bool AtomicFile::WriteAndCommit(std::string_view bytes, const ProgressCallback& progress,
                                WriteError* error, bool replace) {
  if (Write(bytes, progress) && Commit(replace)) return true;
  return stopped_ ? Fail(error, WriteErrorKind::kCancelled, "stopped", path_)
                  : Fail(error, WriteErrorKind::kWrite, "cannot write the file", path_);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         const ProgressCallback& progress, WriteError* error) {
  AtomicFile file;
  return file.Open(path, error) && file.WriteAndCommit(bytes, progress, error);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, bool* created,
                         const ProgressCallback& progress) {
  AtomicFile file;
  const bool opened = file.Open(path);
  if (created != nullptr) *created = opened;
  return opened && file.Write(bytes, progress) && file.Commit();
}

}  // namespace vorna
