// Reads one file with Assimp's aiImportFile (no post-processing) and exits: the yardstick for
// imports that run in a process of their own, which pays for starting and for fresh memory as
// our import helper does. Exit status 0 when the library read the file.
#include <cstdio>

#include "../assimp_import.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  const vorna::bench::AssimpImport assimp = vorna::bench::LoadAssimp();
  if (assimp.import_file == nullptr) return 3;
  const void* scene = assimp.import_file(argv[1], 0);
  if (scene == nullptr) return 1;
  assimp.release(scene);
  return 0;
}
