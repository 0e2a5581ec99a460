// Pose evaluation of a model at the node limit, and pose plus blend-weight recomputation as the
// unit settings dialog does on every change.
#include <benchmark/benchmark.h>

#include <memory>

#include "animation/pose.h"
#include "model/hierarchy.h"
#include "model/model.h"

namespace vorna {
namespace {

// 255 nodes: 55 Parts of 2,000 vertices each, 200 Units. With `chain` every Unit hangs under the
// previous one (the deepest possible hierarchy), otherwise under Unit (u - 1) / 3 (a bushy tree).
std::unique_ptr<Model> CharacterModel(bool chain) {
  auto model = std::make_unique<Model>();
  Reset(*model);
  const int parts = 55, units = 200, vertices_per_part = 2000;
  AllocateParts(*model, parts);
  AllocateVertices(*model, parts * vertices_per_part);
  for (int p = 0; p <= parts; ++p) {
    model->parts[p].first_vertex = static_cast<uint32_t>(p * vertices_per_part);
  }
  for (int v = 0; v < model->total_vertex_count; ++v) {
    model->positions[v] = {0.001f * (v % 1000), 0.5f, 0.0f};
  }
  model->node_count = parts + units;
  for (int u = 0; u < units; ++u) {
    const int node = parts + u;
    model->node_name[node] = "unit" + std::to_string(u);
    model->parent[node] = u == 0 ? -1 : parts + (chain ? u - 1 : (u - 1) / 3);
    Unit& unit = model->units[u];
    unit.basis_type = u % 2 == 0 ? 1 : 2;
    unit.axis_angle = {0, u % 90, 45};
    DeriveAxis(*model, u);
    unit.basis_position = {0.01f * u, 0.5f, 0.0f};
    unit.blend_param = {0, 10, u % 2, 20};
  }
  for (int p = 0; p < parts; ++p) {
    model->node_name[p] = "part" + std::to_string(p);
    model->parent[p] = parts + (p * 7) % units;
  }
  model->motion_count = 1;
  model->motions[0].in_use = 1;
  for (int u = 0; u < units; ++u) {
    model->motions[0].angle[0][u] = u % 45;
    model->motions[0].angle[1][u] = 10;
    model->motions[0].translation[u] = {0.01f, 0, 0};
  }
  BuildHierarchy(*model);
  return model;
}

void BM_EvaluatePose(benchmark::State& state) {
  auto model = CharacterModel(state.range(0) != 0);
  for (auto _ : state) {
    EvaluatePose(*model, 0);
    benchmark::DoNotOptimize(model->parts[0].pose_matrix);
  }
}
BENCHMARK(BM_EvaluatePose)->ArgName("chain")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_PoseAndBlendWeights(benchmark::State& state) {
  auto model = CharacterModel(false);
  // The Unit that owns the most Parts: 55 Parts spread over 200 Units give one each at most,
  // so select the owner of Part 0 and let it own a tenth of the Parts.
  const int owner = model->parent[0];
  for (int p = 0; p < model->parts_count; p += 10) model->parent[p] = owner;
  BuildHierarchy(*model);
  model->selected_unit = model->UnitOfNode(owner);
  for (auto _ : state) {
    ComputeBlendWeights(*model);
    EvaluatePose(*model, 0);
    benchmark::DoNotOptimize(model->blend.data());
  }
}
BENCHMARK(BM_PoseAndBlendWeights)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vorna
