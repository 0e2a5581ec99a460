#include "support/test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vorna::test {
namespace {

// Tests never read or write the user's own files and settings (Qt keeps some in its own settings
// file): every test program, and every program it starts, gets a home of its own before main.
struct TemporaryHome {
  TemporaryHome() {
    if (::mkdtemp(path.data()) == nullptr) std::abort();
    ::setenv("HOME", path.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (path + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (path + "/.cache").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (path + "/.local/share").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (path + "/.local/state").c_str(), 1);
  }
  ~TemporaryHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string path = (std::filesystem::temp_directory_path() / "vorna-home-XXXXXX").string();
};

const TemporaryHome kTemporaryHome;

}  // namespace

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "vorna-test-XXXXXX").string();
  const char* made = ::mkdtemp(pattern.data());
  path_ = std::string(made != nullptr ? made : pattern.c_str()) + "/";
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReferenceFileDifference(const std::string& bytes, const std::string& name) {
  const std::string path = std::string(VORNA_TEST_DATA_DIR) + "/" + name;
  if (std::getenv("VORNA_UPDATE_REFERENCES") != nullptr) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, bytes);
    return "";
  }
  if (!std::filesystem::exists(path)) return "no reference file " + path;
  const std::string expected = ReadFile(path);
  const size_t at = static_cast<size_t>(
      std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end()).first -
      bytes.begin());
  if (at == bytes.size() && at == expected.size()) return "";
  const auto line = [at](const std::string& text) {
    const size_t begin = at == 0 ? 0 : text.rfind('\n', at - 1) + 1;  // npos + 1 is 0
    return text.substr(begin, std::min({text.find('\n', begin), text.size(), begin + 160}) - begin);
  };
  return "line " + std::to_string(std::count(bytes.begin(), bytes.begin() + at, '\n') + 1) + ": " +
         line(bytes) + "\n  reference: " + line(expected);
}

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

}  // namespace vorna::test
