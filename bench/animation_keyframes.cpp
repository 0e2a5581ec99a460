// Key-frame generation at the limits: 255 Units, and enough keys and in-betweens to fill all 256
// Motion slots, with the curve and the linear rule; and a short run of keys in front of a long
// tail of Motions that has to move.
#include <benchmark/benchmark.h>

#include <memory>

#include "animation/keyframes.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {
namespace {

std::unique_ptr<Model> AnimatedModel(int motions) {
  auto model = std::make_unique<Model>();
  Reset(*model);
  model->node_count = kMaxCount;
  model->motion_count = motions;
  for (int m = 0; m < motions; ++m) {
    Motion& motion = model->motions[m];
    motion.in_use = 1;
    for (int u = 0; u < kMaxCount; ++u) {
      for (int k = 0; k < 3; ++k) motion.angle[k][u] = (m * 37 + u * 11 + k * 5) % 360;
      motion.translation[u] = {0.01f * m, 0.02f * u, 0.0f};
      motion.scale[u] = {1.0f + 0.01f * m, 1.0f, 1.0f};
    }
  }
  return model;
}

void Generate(benchmark::State& state, int motions, KeyframeRequest request) {
  auto model = AnimatedModel(motions);
  ScriptedHost host;
  for (auto _ : state) {
    state.PauseTiming();
    model->motion_count = motions;
    state.ResumeTiming();
    if (GenerateKeyframes(*model, host, request) != KeyframeResult::kGenerated) {
      state.SkipWithError("refused");
      break;
    }
  }
}

// 32 keys, 7 in-betweens after each of them: 224 new Motions.
void BM_FillAllSlotsCurve(benchmark::State& state) { Generate(state, 32, {7, 0, 31, true, true}); }
void BM_FillAllSlotsLinear(benchmark::State& state) {
  Generate(state, 32, {7, 0, 31, true, false});
}
// Two keys at the front of 200 Motions: the tail of 198 moves once.
void BM_LongTail(benchmark::State& state) { Generate(state, 200, {10, 0, 1, true, true}); }

BENCHMARK(BM_FillAllSlotsCurve)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillAllSlotsLinear)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LongTail)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorna
