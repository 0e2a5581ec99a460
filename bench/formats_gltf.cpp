// glTF export and import speed. Export: the shared large model (200,000 vertices, 100 Motions)
// as .glb and as .gltf with its .bin, against bench_formats_x's skinned text export of the same
// model. Import: the large model with 500,000 triangles written as .glb by our export, read by
// us and by Assimp (its whole import, no post-processing).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <string>

#include "assimp_import.h"
#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "large_model.h"

namespace vorna {
namespace {

// Quads and triangles alternate, so 33,334 faces a Part make 500,010 triangles in all.
constexpr int kImportFacesPerPart = 33334;

std::string Folder() {
  static const std::string folder = [] {
    std::string f = std::filesystem::temp_directory_path() / "vorna_bench_gltf";
    std::filesystem::create_directories(f);
    return f + "/";
  }();
  return folder;
}

void BM_ExportGltf(benchmark::State& state) {
  auto model = bench::LargeModel();
  const bool binary = state.range(0) != 0;
  const std::string path = Folder() + (binary ? "large.glb" : "large.gltf");
  for (auto _ : state) {
    if (!ExportGltf(*model, path, binary)) state.SkipWithError("export failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ExportGltf)->ArgName("glb")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

std::string ImportFile() {
  const std::string path = Folder() + "triangles.glb";
  if (!std::filesystem::exists(path)) {
    auto model = bench::LargeModel(kImportFacesPerPart);
    if (!ExportGltf(*model, path, true)) return {};
  }
  return path;
}

void BM_ImportGltf(benchmark::State& state) {
  const std::string path = ImportFile();
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    if (!ImportGltf(*model, path, host)) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(model->total_face_count);
  }
  state.counters["triangles"] = model->total_face_count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ImportGltf)->Unit(benchmark::kMillisecond);

void BM_AssimpImportGlb(benchmark::State& state) { bench::AssimpImportLoop(state, ImportFile()); }
BENCHMARK(BM_AssimpImportGlb)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
