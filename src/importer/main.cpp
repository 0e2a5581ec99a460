// vorna-import FILE: reads one model file with the general-purpose import library and writes it
// to standard output as a scene stream (formats/scene_stream.h). The programs run it as a child
// process with limits (formats/helper_import.h), so that whatever the library does with a hostile
// file stays in here. Exit status 0 with the stream on success; 1 with one line on standard error
// when the file cannot be read; 2 for a wrong command line.
#include <unistd.h>

#include <assimp/Importer.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "formats/scene_stream.h"
#include "importer/assimp_scene.h"

namespace {

bool WriteAll(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

int Refuse(const std::string& why) {
  // One line: the library's messages may span several.
  std::string line = why;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  std::fprintf(stderr, "%s\n", line.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: vorna-import FILE\n", stderr);
    return 2;
  }
  try {
    auto importer = std::make_unique<Assimp::Importer>();
    vorna::StreamedScene scene;
    std::string why;
    if (!vorna::ReadWithAssimp(*importer, argv[1], &scene, &why)) return Refuse(why);
    const std::string stream = vorna::WriteSceneStream(scene);
    scene = {};
    if (!WriteAll(stream)) return Refuse("cannot write the stream");
    // The library's scene of a large file is millions of small blocks: freeing them one by one
    // would only keep the reader waiting for our exit.
    std::_Exit(0);
  } catch (const std::bad_alloc&) {
    return Refuse("out of memory");
  } catch (const std::exception& e) {
    return Refuse(e.what());
  }
  return 0;
}
