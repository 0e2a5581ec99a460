// Helpers shared by the test executables.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vorna::test {

// A fresh temporary directory, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }  // ends with '/'
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
// "" when `bytes` are those of the reference file tests/data/`name`; otherwise the line where they
// first differ. With VORNA_UPDATE_REFERENCES set, `bytes` are written there instead: after a
// deliberate change, regenerate and read the difference before committing it.
std::string ReferenceFileDifference(const std::string& bytes, const std::string& name);
// The words of `text`, split at white space.
std::vector<std::string> Words(const std::string& text);

}  // namespace vorna::test
