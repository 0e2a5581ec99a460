// Runs a fuzz target's entry point once on every file named on the command line (folders are
// walked), so the seed corpora and the kept crash inputs replay under the ordinary and the
// sanitizer builds without libFuzzer. Prints one line per folder and fails on nothing: a crash
// or a sanitizer report is the failure.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool Replay(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "replay: cannot read %s\n", file.c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Empty input is a valid case; give the target a pointer it may read nothing from.
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int replayed = 0;
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    const fs::path root(argv[i]);
    std::error_code error;
    if (fs::is_directory(root, error)) {
      std::vector<fs::path> files;
      for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files) {
        ok = Replay(file) && ok;
        ++replayed;
      }
    } else if (fs::exists(root, error)) {
      ok = Replay(root) && ok;
      ++replayed;
    }
  }
  std::printf("replay: %d inputs\n", replayed);
  return ok ? 0 : 1;
}
