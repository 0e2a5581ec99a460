// Our glTF export against standard glTF skinning, the Khronos validator and Assimp.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "animation/pose.h"
#include "editor/open_flow.h"
#include "formats/glb_reader.h"
#include "formats/gltf_export.h"
#include "formats/x_export_fixture.h"
#include "interop/interop_support.h"
#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy.h"
#include "support/gltf_tinygltf.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// ----- Standard glTF skinning, sampled at a key -----------------------------------------------

using test::Mat4;
using test::Mul;
using test::Trs;

// The floats of a tightly packed float accessor (all our export writes besides joints).
std::vector<float> Floats(const tinygltf::Model& g, int accessor) {
  const tinygltf::Accessor& a = g.accessors.at(accessor);
  const tinygltf::BufferView& v = g.bufferViews.at(a.bufferView);
  const int components = tinygltf::GetNumComponentsInType(a.type);
  std::vector<float> out(a.count * components);
  std::memcpy(out.data(), &g.buffers.at(v.buffer).data.at(v.byteOffset + a.byteOffset),
              out.size() * 4);
  return out;
}

std::vector<int> Joints(const tinygltf::Model& g, int accessor) {
  const tinygltf::Accessor& a = g.accessors.at(accessor);
  const tinygltf::BufferView& v = g.bufferViews.at(a.bufferView);
  const unsigned char* data = &g.buffers.at(v.buffer).data.at(v.byteOffset + a.byteOffset);
  std::vector<int> out(a.count * 4);
  for (size_t i = 0; i < out.size(); ++i) {
    if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE) {
      out[i] = data[i];
    } else {
      uint16_t value;
      std::memcpy(&value, data + 2 * i, 2);
      out[i] = value;
    }
  }
  return out;
}

// A mesh as stored (rest positions, joints and weights when skinned) and posed at a key.
struct SampledMesh {
  std::vector<float> rest;
  std::vector<int> joints;
  std::vector<float> weights;
  std::vector<Vec3> posed;
};

// Every mesh of the scene posed at key `key` of animation `animation`.
std::vector<SampledMesh> Sample(const tinygltf::Model& g, int animation, size_t key) {
  const size_t n = g.nodes.size();
  std::vector<std::vector<double>> t(n), r(n), s(n);
  for (size_t i = 0; i < n; ++i) {
    const tinygltf::Node& node = g.nodes[i];
    t[i] = node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation;
    r[i] = node.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : node.rotation;
    s[i] = node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale;
  }
  if (animation >= 0) {
    const tinygltf::Animation& a = g.animations[animation];
    for (const tinygltf::AnimationChannel& c : a.channels) {
      const std::vector<float> out = Floats(g, a.samplers[c.sampler].output);
      const size_t width = c.target_path == "rotation" ? 4 : 3;
      std::vector<double>& target =
          c.target_path == "rotation"
              ? r[c.target_node]
              : (c.target_path == "translation" ? t[c.target_node] : s[c.target_node]);
      // A channel constant through the animation has only its first and last key.
      const size_t at = std::min(key, out.size() / width - 1);
      for (size_t k = 0; k < width; ++k) target[k] = out.at(at * width + k);
    }
  }
  std::vector<Mat4> world(n);
  std::vector<int> parent(n, -1);
  for (size_t i = 0; i < n; ++i) {
    for (const int child : g.nodes[i].children) parent[child] = static_cast<int>(i);
  }
  std::function<Mat4(int)> world_of = [&](int i) {
    const Mat4 local = Trs(t[i], r[i], s[i]);
    return parent[i] < 0 ? local : Mul(world_of(parent[i]), local);
  };
  for (size_t i = 0; i < n; ++i) world[i] = world_of(static_cast<int>(i));

  std::vector<SampledMesh> meshes;
  for (size_t i = 0; i < n; ++i) {
    const tinygltf::Node& node = g.nodes[i];
    if (node.mesh < 0) continue;
    const tinygltf::Primitive& p = g.meshes[node.mesh].primitives.at(0);
    SampledMesh& mesh = meshes.emplace_back();
    const std::vector<float>& positions = mesh.rest = Floats(g, p.attributes.at("POSITION"));
    std::vector<Mat4> joint_matrices;
    std::vector<int>& joints = mesh.joints;
    std::vector<float>& weights = mesh.weights;
    if (node.skin >= 0) {
      const tinygltf::Skin& skin = g.skins[node.skin];
      const std::vector<float> ibm = Floats(g, skin.inverseBindMatrices);
      for (size_t j = 0; j < skin.joints.size(); ++j) {
        Mat4 inverse;
        for (int k = 0; k < 16; ++k) inverse[k] = ibm[j * 16 + k];
        joint_matrices.push_back(Mul(world[skin.joints[j]], inverse));
      }
      joints = Joints(g, p.attributes.at("JOINTS_0"));
      weights = Floats(g, p.attributes.at("WEIGHTS_0"));
    }
    for (size_t v = 0; v < positions.size() / 3; ++v) {
      Mat4 m{};
      if (node.skin < 0) {
        m = world[i];
      } else {
        for (int k = 0; k < 4; ++k) {
          for (int e = 0; e < 16; ++e) {
            m[e] += weights[v * 4 + k] * joint_matrices[joints[v * 4 + k]][e];
          }
        }
      }
      const double x = positions[v * 3], y = positions[v * 3 + 1], z = positions[v * 3 + 2];
      mesh.posed.push_back({static_cast<float>(m[0] * x + m[4] * y + m[8] * z + m[12]),
                            static_cast<float>(m[1] * x + m[5] * y + m[9] * z + m[13]),
                            static_cast<float>(m[2] * x + m[6] * y + m[10] * z + m[14])});
    }
  }
  return meshes;
}

// Our own pose of a Motion as the renderer draws it, z negated, per Part with faces: the joint of
// the Part's Unit (-1 for none) and a map from rest position (as exported) and blend weight to
// the posed position.
using RestKey = std::tuple<float, float, float>;
struct PartPose {
  int own_joint = -1;
  std::multimap<RestKey, std::pair<float, Vec3>> posed;  // rest -> blend, drawn position
};

std::vector<PartPose> OurPose(Model& model, int motion) {
  EvaluatePose(model, motion);
  std::vector<PartPose> parts;
  for (int p = 0; p < model.parts_count; ++p) {
    if (model.PartFaceCount(p) == 0) continue;
    const int owner = model.forest.ParentOf(p);
    PartPose& part = parts.emplace_back();
    const bool owned = model.IsUnitNode(owner);
    part.own_joint = owned ? model.UnitOfNode(owner) + 1 : -1;
    const Matrix first = owned ? model.units[model.UnitOfNode(owner)].pose_matrix : Identity();
    for (uint32_t v = model.parts[p].first_vertex; v < model.parts[p + 1].first_vertex; ++v) {
      const Vec3 rest = model.positions[v];
      const float b = owned ? model.blend[v] : 0.0f;
      const Vec3 a = TransformCoord(rest, first);
      const Vec3 c = TransformCoord(rest, model.parts[p].pose_matrix);
      const Vec3 drawn = a * b + c * (1.0f - b);
      part.posed.insert({{rest.x, rest.y, -rest.z}, {b, Vec3{drawn.x, drawn.y, -drawn.z}}});
    }
  }
  return parts;
}

// Checks every key of every animation against our pose of its Motion.
void ExpectKeysReproducePoses(Model& model, const std::string& path,
                              const std::vector<std::vector<int>>& key_motions) {
  const tinygltf::Model g = test::ReadGlb(path);
  ASSERT_EQ(g.animations.size(), key_motions.size());
  // glTF asks for unit normals (the validator checks it too, where scripts/setup installed it).
  for (const tinygltf::Mesh& mesh : g.meshes) {
    const std::vector<float> n = Floats(g, mesh.primitives.at(0).attributes.at("NORMAL"));
    for (size_t i = 0; i + 2 < n.size(); i += 3) {
      ASSERT_NEAR(n[i] * n[i] + n[i + 1] * n[i + 1] + n[i + 2] * n[i + 2], 1.0f, 1e-4f) << i;
    }
  }
  const double tolerance = 1e-4 * ModelSize(model);
  for (size_t a = 0; a < key_motions.size(); ++a) {
    for (const tinygltf::AnimationSampler& s : g.animations[a].samplers) {
      const size_t keys = g.accessors.at(s.input).count;
      EXPECT_TRUE(keys == key_motions[a].size() || keys == 2) << "animation " << a;
    }
    for (size_t key = 0; key < key_motions[a].size(); ++key) {
      SCOPED_TRACE("animation " + std::to_string(a) + " key " + std::to_string(key));
      const std::vector<PartPose> expected = OurPose(model, key_motions[a][key]);
      const auto sampled = Sample(g, static_cast<int>(a), key);
      ASSERT_EQ(sampled.size(), expected.size());
      for (size_t m = 0; m < sampled.size(); ++m) {
        const auto& [rest, joints, weights, posed] = sampled[m];
        for (size_t v = 0; v < posed.size(); ++v) {
          float own = 1.0f;
          if (!joints.empty()) {
            own = 0.0f;
            for (int k = 0; k < 4; ++k) {
              if (joints[v * 4 + k] == expected[m].own_joint) own += weights[v * 4 + k];
            }
          }
          // The model vertex at this rest position whose blend weight the joints carry.
          const auto [begin, end] =
              expected[m].posed.equal_range({rest[v * 3], rest[v * 3 + 1], rest[v * 3 + 2]});
          ASSERT_NE(begin, end) << "mesh " << m << " vertex " << v;
          auto best = begin;
          for (auto it = begin; it != end; ++it) {
            if (std::fabs(it->second.first - (1.0f - own)) <
                std::fabs(best->second.first - (1.0f - own))) {
              best = it;
            }
          }
          EXPECT_NEAR(best->second.first, 1.0f - own, 1e-6) << "mesh " << m << " vertex " << v;
          SCOPED_TRACE("mesh " + std::to_string(m) + " vertex " + std::to_string(v));
          test::ExpectNear(posed[v], best->second.second, static_cast<float>(tolerance));
        }
      }
    }
  }
}

// ----- Models that stress the export ---------------------------------------------------------

// The .x fixture with a tilt-axis Unit, weights 0, 0.25, 0.5 and 1, and Motions that turn,
// move and scale every Unit; Anims "walk" (looping) and "wave".
std::unique_ptr<Model> Character() {
  auto model = test::Character(4);
  model->units[1].basis_type = 1;
  model->units[1].axis_angle = {0, 30, 45};
  DeriveAxis(*model, 1);
  model->units[2].basis_type = 0;  // evaluated as XYZ axes
  const float weights[4] = {0.0f, 0.25f, 0.5f, 1.0f};
  for (int v = 0; v < model->total_vertex_count; ++v) model->blend[v] = weights[v % 4];
  for (int m = 0; m < 4; ++m) {
    for (int u = 0; u < 4; ++u) {
      Motion& motion = model->motions[m];
      motion.angle[0][u] = 17 * m + 5 * u;
      motion.angle[1][u] = -11 * m;
      motion.angle[2][u] = 7 * m * u;
      motion.translation[u] = {0.1f * m, -0.05f * u, 0.2f * m};
      motion.scale[u] = {1.0f + 0.1f * m, 1.0f, 1.0f - 0.05f * m * u};
    }
  }
  model->anim_count = 2;
  model->anims[0] = Anim{0, 2, 1, "walk"};
  model->anims[1] = Anim{3, 3, 0, "wave"};
  return model;
}

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
      {"character", Character(), {{0, 1, 2, 0}, {3}}},
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
  models.emplace_back("character", Character());
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
