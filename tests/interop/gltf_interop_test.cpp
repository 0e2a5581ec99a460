// Our glTF export against standard glTF skinning, the Khronos validator and Assimp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/open_flow.h"
#include "formats/gltf_export.h"
#include "formats/x_export_fixture.h"
#include "interop/gltf_pose.h"
#include "interop/interop_support.h"
#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// ----- Standard glTF skinning, at every key -------------------------------------------------

// Every key of every animation, evaluated as glTF defines it, against our pose of its Motion.
void ExpectKeysReproducePoses(Model& model, const std::string& path,
                              const std::vector<std::vector<int>>& key_motions) {
  const tinygltf::Model g = test::ReadGltf(path);
  ASSERT_EQ(g.animations.size(), key_motions.size());
  // glTF asks for unit normals (the validator checks it too, where scripts/setup installed it).
  for (const tinygltf::Mesh& mesh : g.meshes) {
    const std::vector<double> n = test::Values(g, mesh.primitives.at(0).attributes.at("NORMAL"));
    for (size_t i = 0; i + 2 < n.size(); i += 3) {
      ASSERT_NEAR(n[i] * n[i] + n[i + 1] * n[i + 1] + n[i + 2] * n[i + 2], 1.0, 1e-4) << i;
    }
  }
  const double tolerance = 1e-4 * ModelSize(model);
  for (size_t a = 0; a < key_motions.size(); ++a) {
    for (const tinygltf::AnimationSampler& s : g.animations[a].samplers) {
      const size_t keys = g.accessors.at(s.input).count;
      EXPECT_TRUE(keys == key_motions[a].size() || keys == 2) << "animation " << a;
    }
    // A channel that holds one value has only its first and last key; the others have them all.
    std::vector<double> times;
    for (const tinygltf::AnimationSampler& s : g.animations[a].samplers) {
      if (g.accessors.at(s.input).count == key_motions[a].size()) times = test::Values(g, s.input);
    }
    ASSERT_EQ(times.size(), key_motions[a].size()) << "animation " << a;
    for (size_t key = 0; key < times.size(); ++key) {
      SCOPED_TRACE("animation " + std::to_string(a) + " key " + std::to_string(key));
      test::Points rest, posed;
      test::PoseGltf(g, static_cast<int>(a), times[key], &rest, &posed);
      EXPECT_LE(test::WorstDistance(model, key_motions[a][key], rest, posed, 1e-5f), tolerance);
    }
  }
}

// ----- Models that stress the export ---------------------------------------------------------

// Motion k turns the hip 150 degrees about axis k: each rotation's quaternion is found from
// another diagonal element of its matrix.
std::unique_ptr<Model> HalfTurns() {
  auto model = test::Character(3);
  for (int k = 0; k < 3; ++k) model->motions[k].angle[k][0] = 150;
  return model;
}

// A chain of `depth` Units, each under the one before, pivots along x; quads on the first,
// middle and last Unit, a loose quad and a Part without faces. Three Motions turn every Unit a
// little and scale and move some.
std::unique_ptr<Model> Chain(int depth) {
  auto model = test::NewModel();
  constexpr int kParts = 5;
  AllocateParts(*model, kParts);
  AllocateVertices(*model, 16);
  AllocateFaces(*model, 4);
  const int owners[kParts] = {0, depth / 2, depth - 1, -1, 0};
  for (int p = 0; p < kParts; ++p) {
    const int faces = p == 4 ? 0 : 1;
    model->parts[p].first_vertex = static_cast<uint32_t>(4 * std::min(p, 4));
    model->parts[p].first_face = static_cast<uint32_t>(std::min(p, 4));
    if (faces) model->faces[p] = Face{{0, 1, 2, 3}};
    model->node_name[p] = std::string("part") += std::to_string(p);
  }
  model->parts[kParts].first_vertex = 16;
  model->parts[kParts].first_face = 4;
  const float step = 1.0f / static_cast<float>(depth);
  for (int v = 0; v < 16; ++v) {
    const int p = v / 4, k = v % 4;
    const float x = owners[p] < 0 ? 0.5f : static_cast<float>(owners[p]) * step;
    model->positions[v] = {x + (k == 1 || k == 2 ? step : 0.0f), k >= 2 ? 0.1f : 0.0f, 0.05f};
    model->normals[v] = {0, 0, -1};
    model->blend[v] = k == 0 ? 0.5f : 0.0f;
  }
  model->node_count = kParts + depth;
  for (int u = 0; u < depth; ++u) {
    model->node_name[kParts + u] = std::string("u") += std::to_string(u);
    model->units[u].basis_type = u % 3 == 0 ? 1 : 2;
    model->units[u].axis_angle = {0, u % 90, 10};
    DeriveAxis(*model, u);
    model->units[u].basis_position = {static_cast<float>(u) * step, 0.0f, 0.0f};
    model->forest.InsertAppended(kParts + u, u == 0 ? kTopLevel : kParts + u - 1);
  }
  for (int p = 0; p < kParts; ++p) {
    model->forest.InsertAppended(p, owners[p] < 0 ? kTopLevel : kParts + owners[p]);
  }
  RecomputeParents(*model);
  model->motion_count = 3;
  for (int m = 0; m < 3; ++m) {
    model->motions[m].in_use = 1;
    for (int u = 0; u < depth; ++u) {
      model->motions[m].angle[0][u] = m;
      model->motions[m].angle[2][u] = -m;
      if (u % 50 == 7) model->motions[m].scale[u] = {1.0f + 0.1f * m, 1.0f, 1.0f};
      if (u % 40 == 3) model->motions[m].translation[u] = {0.0f, 0.01f * m, 0.0f};
    }
  }
  model->total_vertex_count = 16;
  model->total_face_count = 4;
  return model;
}

std::unique_ptr<Model> Sample() {
  auto model = test::NewModel();
  ScriptedHost host;
  ReadOptions options;
  EXPECT_TRUE(
      Load(*model, std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn", host, options).ok);
  return model;
}

std::vector<int> Range(int first, int last) {
  std::vector<int> r;
  for (int m = first; m <= last; ++m) r.push_back(m);
  return r;
}

TEST(GltfExportTest, KeysReproduceOurPoses) {
  test::TempDir dir;
  struct Case {
    const char* name;
    std::unique_ptr<Model> model;
    std::vector<std::vector<int>> keys;
  };
  Case cases[] = {
      {"character", test::AnimatedCharacter(4), {{0, 1, 2, 0}, {3}}},
      {"chain", Chain(200), {Range(0, 2)}},
      {"half turns", HalfTurns(), {Range(0, 2)}},
      {"sample", Sample(), {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.keys.empty()) {
      for (int a = 0; a < c.model->anim_count; ++a) {
        const Anim& anim = c.model->anims[a];
        c.keys.push_back(Range(anim.first_motion, anim.last_motion));
        if (anim.loop) c.keys.back().push_back(anim.first_motion);
      }
      if (c.keys.empty()) c.keys.push_back(Range(0, c.model->motion_count - 1));
    }
    const std::string path = dir.File(std::string(c.name) + ".glb");
    WriteError error;
    ASSERT_TRUE(ExportGltf(*c.model, path, true, {}, &error)) << error.Describe();
    ExpectKeysReproducePoses(*c.model, path, c.keys);
  }
}

// ----- The Khronos validator -------------------------------------------------------------------

// Our stress models and every readable third-party .x file, in both containers.
TEST(GltfExportTest, ValidatorFindsNothingToComplainAbout) {
  const std::string modules = test::ValidatorModules();
  if (modules.empty()) GTEST_SKIP() << "gltf-validator not installed (scripts/setup)";
  std::vector<std::pair<std::string, std::unique_ptr<Model>>> models;
  models.emplace_back("character", test::AnimatedCharacter(4));
  models.emplace_back("chain", Chain(200));
  models.emplace_back("sample", Sample());
  if (const std::string folder = test::XSampleFolder(); !folder.empty()) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      auto model = test::NewModel();
      ScriptedHost host;
      if (entry.path().extension() != ".x" || !Load(*model, entry.path().string(), host).ok) {
        continue;  // the damaged samples
      }
      models.emplace_back(entry.path().stem().string(), std::move(model));
    }
  }
  test::TempDir dir;
  for (auto& [name, model] : models) {
    for (const bool binary : {true, false}) {
      const std::string path = dir.File(name + (binary ? ".glb" : ".gltf"));
      ASSERT_TRUE(ExportGltf(*model, path, binary)) << path;
      EXPECT_EQ(test::ValidatorComplaints(modules, path), "") << path;
    }
  }
}

}  // namespace
}  // namespace vorna
