// The skeletal import of a character: a skin of N vertices on 100 joints (a spine with limbs
// branching off), each vertex between a joint and its parent, and an animation keyed 30 times a
// second on every joint for S seconds. The target is 100,000 vertices and 30 s in under a second;
// the complexity line shows how time grows with vertices, and the second series with keys.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "animation/skeleton_import.h"
#include "animation/skeleton_scene.h"
#include "model/host.h"

namespace vorna {
namespace {

constexpr int kJoints = 100;

SceneDescription Character(int vertices, double seconds) {
  SceneDescription scene;
  SceneMesh mesh;
  for (int j = 0; j < kJoints; ++j) {
    SceneNode node;
    node.name = "joint" + std::to_string(j);
    // Joints 0..19 a spine, the others limbs of ten hanging off every other spine joint.
    node.parent = j == 0 ? -1 : (j < 20 ? j - 1 : (j % 10 == 0 ? 2 * ((j - 20) / 10) : j - 1));
    node.rest.translation = {0.0, 0.1, 0.0};
    scene.nodes.push_back(node);
  }
  // Bind transforms: each joint at its rest position in the scene.
  std::vector<std::array<double, 3>> at(kJoints);
  for (int j = 0; j < kJoints; ++j) {
    const int p = scene.nodes[j].parent;
    at[j] = {p < 0 ? 0.0 : at[p][0] + (j >= 20 && j % 10 == 0 ? 0.1 : 0.0),
             (p < 0 ? 0.0 : at[p][1]) + 0.1, 0.0};
    if (j >= 20 && j % 10 == 0) scene.nodes[j].rest.translation = {0.1, 0.1, 0.0};
    SceneMatrix ibm = kSceneIdentity;
    ibm[12] = -at[j][0];
    ibm[13] = -at[j][1];
    mesh.bones.push_back({j, ibm});
  }
  mesh.influence_start.push_back(0);
  for (int v = 0; v < vertices; ++v) {
    // Triangles of three neighbouring vertices between the same two joints, as skins are.
    const int j = 1 + (v / 3) % (kJoints - 1);
    const int p = scene.nodes[j].parent;
    const float s = static_cast<float>(v % 7) / 7.0f;
    mesh.positions.push_back({static_cast<float>(at[j][0]) + 0.01f * (v % 3),
                              static_cast<float>(at[j][1]) - 0.05f * s, 0.01f * (v % 5)});
    mesh.influences.push_back({static_cast<uint32_t>(j), 1.0f - s});
    mesh.influences.push_back({static_cast<uint32_t>(p), s});
    mesh.influence_start.push_back(static_cast<uint32_t>(mesh.influences.size()));
    if (v >= 2 && v % 3 == 2) {
      mesh.triangles.insert(
          mesh.triangles.end(),
          {static_cast<uint32_t>(v - 2), static_cast<uint32_t>(v - 1), static_cast<uint32_t>(v)});
    }
  }
  scene.meshes.push_back(std::move(mesh));
  SceneAnimation animation;
  animation.name = "dance";
  const int keys = static_cast<int>(seconds * 30.0) + 1;
  for (int j = 0; j < kJoints; ++j) {
    SceneChannel channel{j, ChannelPath::kRotation, Interpolation::kLinear, {}, {}};
    for (int k = 0; k < keys; ++k) {
      const double half = 0.3 * std::sin(0.2 * k + j);
      channel.times.push_back(static_cast<float>(k / 30.0));
      channel.values.insert(channel.values.end(), {static_cast<float>(std::sin(half)), 0.0f, 0.0f,
                                                   static_cast<float>(std::cos(half))});
    }
    animation.channels.push_back(std::move(channel));
  }
  scene.animations.push_back(std::move(animation));
  return scene;
}

void BM_ImportBySize(benchmark::State& state) {
  const SceneDescription scene = Character(static_cast<int>(state.range(0)), 30.0);
  auto model = std::make_unique<Model>();
  for (auto _ : state) {
    ScriptedHost host;
    benchmark::DoNotOptimize(BuildModelFromScene(scene, {}, *model, host));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImportBySize)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// Keys grow with the animation's length; past the Motion table's 255 the sampling grows
// coarser, so only the channels' own work grows with them.
void BM_ImportByLength(benchmark::State& state) {
  const SceneDescription scene = Character(20000, static_cast<double>(state.range(0)));
  auto model = std::make_unique<Model>();
  for (auto _ : state) {
    ScriptedHost host;
    benchmark::DoNotOptimize(BuildModelFromScene(scene, {}, *model, host));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImportByLength)
    ->Arg(8)
    ->Arg(15)
    ->Arg(30)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
}  // namespace vorna
