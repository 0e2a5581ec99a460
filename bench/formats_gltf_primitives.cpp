// glTF import time against the number of primitives: 4,194,304 vertices in one Part, given as
// one triangle strip or as 64, 4,096 or 16,384 strips (every strip naming the same accessor, as
// a small file instancing one mesh may). Import must stay linear in the vertices whatever their
// split: 4,096 primitives within twice the time of one.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "formats/gltf_import.h"

namespace vorna {
namespace {

constexpr int64_t kTotalVertices = int64_t{1} << 22;

void Append32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A .glb of `primitives` strips in one mesh, each over the same zigzag of vertices.
std::vector<uint8_t> StripsFile(int64_t primitives) {
  const int64_t vertices = kTotalVertices / primitives;
  std::vector<uint8_t> bin(static_cast<size_t>(vertices) * 12);
  for (int64_t i = 0; i < vertices; ++i) {
    const float xyz[3] = {static_cast<float>(i / 2) * 0.001f, static_cast<float>(i % 2), 0.0f};
    std::memcpy(&bin[static_cast<size_t>(i) * 12], xyz, 12);
  }
  std::string json =
      R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":)" + std::to_string(bin.size()) +
      R"(}],"bufferViews":[{"buffer":0,"byteLength":)" + std::to_string(bin.size()) +
      R"(}],"accessors":[{"bufferView":0,"componentType":5126,"type":"VEC3","count":)" +
      std::to_string(vertices) + R"(}],"meshes":[{"primitives":[)";
  for (int64_t p = 0; p < primitives; ++p) {
    json += std::string(p > 0 ? "," : "") + R"({"attributes":{"POSITION":0},"mode":5})";
  }
  json += R"(]}],"nodes":[{"mesh":0}],"scenes":[{"nodes":[0]}],"scene":0})";
  while (json.size() % 4 != 0) json += ' ';
  std::vector<uint8_t> out;
  Append32(out, 0x46546C67);  // "glTF"
  Append32(out, 2);
  Append32(out, static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
  Append32(out, static_cast<uint32_t>(json.size()));
  Append32(out, 0x4E4F534A);  // JSON
  out.insert(out.end(), json.begin(), json.end());
  Append32(out, static_cast<uint32_t>(bin.size()));
  Append32(out, 0x004E4942);  // BIN
  out.insert(out.end(), bin.begin(), bin.end());
  return out;
}

void BM_ImportGltfPrimitives(benchmark::State& state) {
  const std::vector<uint8_t> file = StripsFile(state.range(0));
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ReadOptions options;
  options.load_textures = false;
  for (auto _ : state) {
    if (!ParseGltf(*model, file, "", "strips", host, options)) state.SkipWithError("import failed");
    benchmark::DoNotOptimize(model->total_face_count);
  }
  state.counters["vertices"] = model->total_vertex_count;
  state.counters["file_bytes"] = static_cast<double>(file.size());
}
BENCHMARK(BM_ImportGltfPrimitives)
    ->ArgName("primitives")
    ->Arg(1)
    ->Arg(64)
    ->Arg(4096)
    ->Arg(16384)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
