// .x import and export speed. Import: a generated grid of 500,000 triangles with normals,
// texture coordinates and two materials, written by our export as text, binary and compressed
// binary; Assimp's aiImportFile (no post-processing) reads the same text file for comparison,
// loaded at run time so that the benchmark needs no link to it (skipped when it is missing).
// Export: the shared large model (200,000 vertices, 100 Motions) skinned, in each encoding.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "assimp_import.h"
#include "formats/x_export.h"
#include "formats/x_import.h"
#include "large_model.h"

namespace vorna {
namespace {

constexpr int kQuadsPerSide = 500;  // two triangles each

std::string Folder() {
  static const std::string folder = [] {
    std::string f = std::filesystem::temp_directory_path() / "vorna_bench_x";
    std::filesystem::create_directories(f);
    return f + "/";
  }();
  return folder;
}

std::unique_ptr<Model> Grid() {
  constexpr int n = kQuadsPerSide + 1;
  auto model = std::make_unique<Model>();
  Reset(*model);
  AllocateParts(*model, 2);
  AllocateVertices(*model, 2 * n * n);
  AllocateFaces(*model, kQuadsPerSide * kQuadsPerSide);
  for (int p = 0; p < 2; ++p) {
    model->parts[p].first_vertex = static_cast<uint32_t>(p * n * n);
    model->parts[p].first_face = static_cast<uint32_t>(p * kQuadsPerSide * kQuadsPerSide / 2);
    model->parts[p].material.diffuse = {0.5f * static_cast<float>(p), 0.5f, 0.5f, 1.0f};
    model->parts[p].texture_file = p == 0 ? "grid.png" : "";
    model->draw_order[p] = static_cast<uint32_t>(p);
    for (int y = 0; y < n; ++y) {
      for (int x = 0; x < n; ++x) {
        const float u = static_cast<float>(x) / kQuadsPerSide;
        const float v = static_cast<float>(y) / kQuadsPerSide;
        const int i = p * n * n + y * n + x;
        model->positions[i] = {u * 10 - 5, 0.25f * static_cast<float>((x * 7 + y * 3) % 11),
                               v * 10 - 5 + static_cast<float>(p)};
        model->normals[i] = Normalize({0.0129f, 0.999917f, -0.0011f});
        model->tex_u[i] = u;
        model->tex_v[i] = 1 - v;
      }
    }
  }
  model->parts[2].first_vertex = static_cast<uint32_t>(2 * n * n);
  model->parts[2].first_face = static_cast<uint32_t>(kQuadsPerSide * kQuadsPerSide);
  for (int f = 0; f < kQuadsPerSide * kQuadsPerSide; ++f) {
    const int half = kQuadsPerSide * kQuadsPerSide / 2;
    const int q = f % half;
    const uint32_t a = static_cast<uint32_t>((q / kQuadsPerSide) * n + q % kQuadsPerSide);
    model->faces[f] = Face{{a, a + 1, a + n + 1, a + n}};
  }
  model->node_count = 2;
  model->motion_count = 1;
  return model;
}

std::string GridFile(XFileFormat format) {
  const std::string path = Folder() + "grid_" + std::to_string(static_cast<int>(format)) + ".x";
  if (!std::filesystem::exists(path)) {
    auto model = Grid();
    SaveOptions options;
    options.x.format = format;
    ScriptedHost host;
    if (!ExportX(*model, path, options, host)) return {};
  }
  return path;
}

void BM_ImportX(benchmark::State& state) {
  const std::string path = GridFile(static_cast<XFileFormat>(state.range(0)));
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ReadOptions options;
  options.load_textures = false;
  for (auto _ : state) {
    if (!ImportX(*model, path, host, options)) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(model->total_face_count);
  }
  state.counters["triangles"] = model->total_face_count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ImportX)
    ->ArgName("format")
    ->Arg(static_cast<int>(XFileFormat::kText))
    ->Arg(static_cast<int>(XFileFormat::kBinary))
    ->Arg(static_cast<int>(XFileFormat::kCompressedBinary))
    ->Unit(benchmark::kMillisecond);

void BM_AssimpImportText(benchmark::State& state) {
  bench::AssimpImportLoop(state, GridFile(XFileFormat::kText));
}
BENCHMARK(BM_AssimpImportText)->Unit(benchmark::kMillisecond);

void BM_ExportSkinned(benchmark::State& state) {
  auto model = bench::LargeModel();
  SaveOptions options;
  options.x.skin = 1;
  options.x.format = static_cast<XFileFormat>(state.range(0));
  const std::string path = Folder() + "large.x";
  ScriptedHost host;
  ExportX(*model, path, options, host);  // triangulates once, outside the measurement
  for (auto _ : state) {
    if (!ExportX(*model, path, options, host)) state.SkipWithError("export failed");
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}
BENCHMARK(BM_ExportSkinned)
    ->ArgName("format")
    ->Arg(static_cast<int>(XFileFormat::kText))
    ->Arg(static_cast<int>(XFileFormat::kBinary))
    ->Arg(static_cast<int>(XFileFormat::kCompressedBinary))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
