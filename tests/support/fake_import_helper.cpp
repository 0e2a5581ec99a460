// A stand-in for the import helper that misbehaves on request, for the tests of the child process
// runner and of the reads through the helper. What it does is chosen by the file name it gets,
// up to the first '.': abort, segv, sleep, spin (processor time), hog (memory), garbage, flood
// (endless output), refuse, linger (closes its output, then waits), late (closes its output, then
// writes a message and exits), stdin (counts what it reads),
// echo (writes its argument back) and env (writes $VORNA_FAKE_SAYS). Any other name: it writes the
// bytes of "<file>.stream".
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

void WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) std::_Exit(3);
    data += n;
    size -= static_cast<size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string path = argv[1];
  std::string mode = path.substr(path.find_last_of('/') + 1);
  mode = mode.substr(0, mode.find('.'));
  if (mode == "abort") std::abort();
  if (mode == "segv") ::raise(SIGSEGV);
  if (mode == "sleep" || mode == "linger") {
    if (mode == "linger") {
      ::close(STDOUT_FILENO);
      ::close(STDERR_FILENO);
    }
    for (;;) ::pause();
  }
  if (mode == "spin") {
    volatile unsigned long turns = 0;
    for (;;) turns = turns + 1;
  }
  if (mode == "hog") {
    std::vector<char*> blocks;
    try {
      for (int i = 0; i < 256; ++i) {
        char* block = new char[32 << 20];
        std::memset(block, 1, 32 << 20);
        blocks.push_back(block);
      }
    } catch (const std::bad_alloc&) {
      std::fputs("out of memory\n", stderr);
      return 1;
    }
    return 0;
  }
  if (mode == "garbage" || mode == "flood") {
    std::vector<char> bytes(1 << 16);
    unsigned state = 12345;
    do {
      for (char& c : bytes) c = static_cast<char>((state = state * 1103515245u + 12345u) >> 16);
      WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
    } while (mode == "flood");
    return 0;
  }
  if (mode == "late") {
    ::close(STDOUT_FILENO);
    ::usleep(200'000);
    std::fputs("said late", stderr);
    return 1;
  }
  if (mode == "refuse") {
    std::fputs("this is no model\nand a second line\n", stderr);
    return 1;
  }
  if (mode == "stdin") {
    char c;
    const ssize_t n = ::read(STDIN_FILENO, &c, 1);
    std::printf("%zd", n);
    return 0;
  }
  if (mode == "env") {
    std::fputs(std::getenv("VORNA_FAKE_SAYS"), stdout);
    return 0;
  }
  if (mode == "echo") {
    WriteAll(STDOUT_FILENO, path.data(), path.size());
    return 0;
  }
  FILE* stream = std::fopen((path + ".stream").c_str(), "rb");
  if (stream == nullptr) return 1;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, stream)) > 0) WriteAll(STDOUT_FILENO, buffer, n);
  std::fclose(stream);
  return 0;
}
