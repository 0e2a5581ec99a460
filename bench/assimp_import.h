// Assimp's whole import of a file (aiImportFile without post-processing) as the yardstick of our
// readers, loaded at run time so that the benchmarks need no link to it.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorna::bench {

// The library's import and release of a scene; both null when the library is missing.
struct AssimpImport {
  const void* (*import_file)(const char*, unsigned int) = nullptr;
  void (*release)(const void*) = nullptr;
};

inline AssimpImport LoadAssimp() {
  void* library = dlopen("libassimp.so.5", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) library = dlopen("libassimp.so", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return {};
  AssimpImport assimp;
  assimp.import_file =
      reinterpret_cast<decltype(assimp.import_file)>(dlsym(library, "aiImportFile"));
  assimp.release = reinterpret_cast<decltype(assimp.release)>(dlsym(library, "aiReleaseImport"));
  if (assimp.import_file == nullptr || assimp.release == nullptr) return {};
  return assimp;
}

// Runs the benchmark loop over Assimp's import of `path`; skipped when the library is missing.
inline void AssimpImportLoop(benchmark::State& state, const std::string& path) {
  const AssimpImport assimp = LoadAssimp();
  if (assimp.import_file == nullptr) {
    state.SkipWithError("libassimp not found");
    return;
  }
  for (auto _ : state) {
    const void* scene = assimp.import_file(path.c_str(), 0);
    if (scene == nullptr) state.SkipWithError("Assimp failed");
    assimp.release(scene);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}

}  // namespace vorna::bench
