#include "model/file_paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "model/name_text.h"

namespace vorna {

namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The entry of `directory` equal to `name` ignoring case, or "".
std::string FindEntry(const std::string& directory, const std::string& name) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (const dirent* entry = ::readdir(dir)) {
    if (EqualsIgnoringCase(entry->d_name, name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

}  // namespace

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

std::string ResolveFileName(const std::string& path) {
  std::string local = path;
  std::replace(local.begin(), local.end(), '\\', '/');
  if (local.empty() || Exists(local)) return local;

  std::string resolved;
  size_t start = 0;
  if (local[0] == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= local.size()) {
    size_t end = local.find('/', start);
    if (end == std::string::npos) end = local.size();
    const std::string component = local.substr(start, end - start);
    if (!component.empty()) {
      std::string next = resolved + component;
      if (!Exists(next) && component != "." && component != "..") {
        const std::string match = FindEntry(resolved, component);
        if (match.empty()) return local;
        next = resolved + match;
      }
      resolved = next;
      if (end < local.size()) resolved += '/';
    }
    start = end + 1;
  }
  return resolved;
}

bool FileExists(const std::string& path) { return IsRegularFile(ResolveFileName(path)); }

std::string StoredFilePath(const std::string& dir, const std::string& stored_name) {
  std::string path = dir + stored_name;
  if (IsValidUtf8(stored_name) || FileExists(path)) return path;
  std::string converted = dir + Cp932ToUtf8(stored_name);
  return FileExists(converted) ? converted : path;
}

bool StaysInFolder(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return false;
  const size_t colon = path.find(':');
  if (colon != std::string::npos && path.find_first_of("/\\") > colon) return false;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find_first_of("/\\", start), path.size());
    if (path.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace vorna
