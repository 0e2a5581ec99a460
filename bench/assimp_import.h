// Assimp's whole import of a file (aiImportFile without post-processing) as the yardstick of our
// readers, loaded at run time so that the benchmarks need no link to it.
#pragma once

#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace vorna::bench {

// Runs the benchmark loop over Assimp's import of `path`; skipped when the library is missing.
inline void AssimpImportLoop(benchmark::State& state, const std::string& path) {
  void* library = dlopen("libassimp.so.5", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) library = dlopen("libassimp.so", RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    state.SkipWithError("libassimp not found");
    return;
  }
  using ImportFile = const void* (*)(const char*, unsigned int);
  using Release = void (*)(const void*);
  auto import_file = reinterpret_cast<ImportFile>(dlsym(library, "aiImportFile"));
  auto release = reinterpret_cast<Release>(dlsym(library, "aiReleaseImport"));
  for (auto _ : state) {
    const void* scene = import_file(path.c_str(), 0);
    if (scene == nullptr) state.SkipWithError("Assimp failed");
    release(scene);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}

}  // namespace vorna::bench
