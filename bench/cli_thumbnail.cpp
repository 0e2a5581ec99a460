// The thumbnailer as a file manager runs it: a whole `vorna-cli thumbnail` process on a model of
// 100,000 triangles (the shared large model with its vertices laid on a spiral over one sphere
// per Part, so that its triangles are small, as in a real mesh), stored as VRN text and binary.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "formats/vrn_binary.h"
#include "formats/vrn_text.h"
#include "large_model.h"
#include "model/bounds.h"
#include "model/host.h"

namespace vorna {
namespace {

// 6,667 faces a Part, half of them quads: 100,005 triangles.
constexpr int kFacesPerPart = 6667;

std::string WriteModel(bool binary) {
  auto model = bench::LargeModel(kFacesPerPart);
  for (int p = 0; p < bench::kParts; ++p) {
    const Vec3 centre{static_cast<float>(p % 5) * 0.5f - 1.0f, p < 5 ? 0.3f : -0.3f, 0.0f};
    for (int i = 0; i < bench::kVerticesPerPart; ++i) {
      const float theta = kPi * static_cast<float>(i) / bench::kVerticesPerPart;
      const float phi = static_cast<float>(i) * 0.05f + static_cast<float>(i % 2) * 0.02f;
      const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                   std::sin(theta) * std::sin(phi)};
      const size_t v = static_cast<size_t>(p) * bench::kVerticesPerPart + i;
      model->positions[v] = centre + n * 0.22f;
      model->normals[v] = n;
    }
  }
  RecomputeBounds(*model);
  const std::string path =
      "/tmp/vorna_bench_thumbnail_" + std::to_string(::getpid()) + (binary ? "_b.vrn" : "_t.vrn");
  ScriptedHost host;
  const bool written = binary ? WriteVrnBinary(*model, path, SaveOptions{}, host)
                              : WriteVrnText(*model, path, SaveOptions{}, host);
  return written ? path : "";
}

void BM_ThumbnailProcess(benchmark::State& state) {
  const std::string in = WriteModel(state.range(0) == 1);
  if (in.empty()) {
    state.SkipWithError("cannot write the model");
    return;
  }
  const std::string out = in + ".png";
  const std::string command = std::string(VORNA_CLI_PATH) + " thumbnail " + in + " " + out;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("vorna-cli thumbnail failed");
  }
  std::remove(in.c_str());
  std::remove(out.c_str());
}
BENCHMARK(BM_ThumbnailProcess)
    ->ArgName("binary")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vorna
