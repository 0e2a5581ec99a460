// Models for the file-format and file-command tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/registry.h"
#include "formats/tagged_text.h"
#include "formats/vrn_binary.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "support/model_fixtures.h"

namespace vorna::test {

// The small sample (samples/walker.vrn): Parts under Units, with Motions and Anims.
inline std::unique_ptr<Model> SampleWalker() {
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  EXPECT_TRUE(ReadModelFile(*model, VORNA_SOURCE_DIR "/samples/walker.vrn", host, {}, nullptr));
  return model;
}

// Part P (node 0): a triangle over vertices 0..2; Part Q (node 1): a quad over 3..6; drawn Q
// first. Units B (node 2, tilt axis, child of A) and A (node 3, XYZ, top level); P hangs under B,
// Q at the top. One Motion, one Anim.
inline std::unique_ptr<Model> TwoPartModel() {
  auto model = NewModel();
  AllocateParts(*model, 2);
  AllocateVertices(*model, 7);
  AllocateFaces(*model, 2);
  model->parts[1].first_vertex = 3;
  model->parts[1].first_face = 1;
  model->parts[2].first_vertex = 7;
  model->parts[2].first_face = 2;
  for (int v = 0; v < 7; ++v) {
    model->positions[v] = {static_cast<float>(v), 0.5f, -1.25f};
    model->normals[v] = {0, 0, -1};
    model->tex_u[v] = 0.125f * static_cast<float>(v);
    model->tex_v[v] = 1.0f;
    model->blend[v] = v == 0 ? 0.5f : 0.0f;
  }
  model->faces[0] = Face{{0, 1, 2, kNoCorner}};
  model->faces[1] = Face{{0, 1, 2, 3}};
  int node = 0;
  for (const char* name : {"P", "Q", "B", "A"}) model->node_name[node++] = name;
  model->parts[0].texture_file = "skin.png";
  model->parts[1].material.specular = {0.25f, 0.5f, 0.75f, 1.0f};
  model->parts[1].material.power = 8;
  model->draw_order[0] = 1;
  model->draw_order[1] = 0;
  model->node_count = 4;
  model->units[0] = Unit{.basis_type = 1, .axis_angle = {0, 0, 90}, .basis_position = {0, 1, 0}};
  model->units[1] = Unit{.basis_type = 2, .basis_position = {0, 2, 0}};
  model->units[0].blend_param = {1, 10, 0, 20};
  model->units[1].blend_param = {0, 0, 0, 20};
  model->forest.InsertAppended(3, kTopLevel);
  model->forest.InsertAppended(2, 3);
  model->forest.InsertSorted(0, 2, model->node_name);
  model->forest.InsertSorted(1, kTopLevel, model->node_name);
  RecomputeParents(*model);
  model->motion_count = 1;
  model->motions[0].angle[0][0] = 45;
  model->motions[0].angle[0][1] = -10;
  model->motions[0].angle[1][1] = 20;
  model->motions[0].angle[2][1] = 30;
  model->motions[0].translation[1] = {0.5f, 0, 0};
  model->anim_count = 1;
  model->anims[0] = Anim{0, 3, 1, "walk"};
  model->total_vertex_count = 7;
  model->total_face_count = 2;
  return model;
}

// A random model whose every value survives "%f" exactly (multiples of 1/64), with 1 to 4
// Parts whose vertices are all used by faces, 1 to 6 Units of basis type 1 or 2 in a random
// hierarchy, a random drawing order, Motions and Anims. Texture coordinates lie in
// [tex_low, tex_high].
inline std::unique_ptr<Model> RandomModel(uint32_t seed, float tex_low = 0.0f,
                                          float tex_high = 1.0f) {
  uint32_t state = seed * 2654435761u + 1;
  auto next = [&state](uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  auto real = [&next](int range) {
    return static_cast<float>(static_cast<int>(next(2 * range * 64 + 1)) - range * 64) / 64.0f;
  };
  auto model = NewModel();
  const int parts = 1 + static_cast<int>(next(4));
  AllocateParts(*model, parts);
  std::vector<int> vertex_counts, face_counts;
  int vertices = 0, faces = 0;
  for (int p = 0; p < parts; ++p) {
    const int v = 3 + static_cast<int>(next(6));
    vertex_counts.push_back(v);
    face_counts.push_back(v - 2);  // a strip: faces k use k, k+1, k+2 (and k+3 for quads)
    vertices += v;
    faces += v - 2;
  }
  AllocateVertices(*model, vertices);
  AllocateFaces(*model, faces);
  const int tex_steps = static_cast<int>((tex_high - tex_low) * 64.0f);
  for (int p = 0, v0 = 0, f0 = 0; p < parts; ++p) {
    model->parts[p].first_vertex = static_cast<uint32_t>(v0);
    model->parts[p].first_face = static_cast<uint32_t>(f0);
    for (int v = v0; v < v0 + vertex_counts[p]; ++v) {
      model->positions[v] = {real(4), real(4), real(4)};
      model->normals[v] = {real(1), real(1), real(1)};
      model->tex_u[v] = tex_low + static_cast<float>(next(tex_steps + 1)) / 64.0f;
      model->tex_v[v] = tex_low + static_cast<float>(next(tex_steps + 1)) / 64.0f;
      model->blend[v] = static_cast<float>(next(65)) / 64.0f;
    }
    for (int k = 0; k < face_counts[p]; ++k) {
      const uint32_t a = static_cast<uint32_t>(k);
      const bool quad = a + 3 < static_cast<uint32_t>(vertex_counts[p]) && next(2) == 0;
      model->faces[f0 + k] = Face{{a, a + 1, a + 2, quad ? a + 3 : kNoCorner}};
    }
    model->node_name[p] = "part" + std::to_string(next(100));
    Part& part = model->parts[p];
    for (Color* c : {&part.material.diffuse, &part.material.specular, &part.material.emissive}) {
      *c = {real(1), real(1), real(1), real(1)};
    }
    part.material.ambient = part.material.diffuse;
    part.material.power = real(16);
    part.texture_map_flag = next(3);
    part.texture_map_type = static_cast<int32_t>(next(6));
    part.texture_map_param = {real(2), real(2), real(2), real(2)};
    for (Vec3* v : {&part.corner_min, &part.corner_max, &part.center})
      *v = {real(4), real(4), real(4)};
    v0 += vertex_counts[p];
    f0 += face_counts[p];
  }
  model->parts[parts].first_vertex = static_cast<uint32_t>(vertices);
  model->parts[parts].first_face = static_cast<uint32_t>(faces);
  for (Vec3* v : {&model->total_corner_min, &model->total_corner_max, &model->total_center}) {
    *v = {real(4), real(4), real(4)};
  }
  model->texture_all = static_cast<uint8_t>(next(2));
  for (int i = 0; i < parts; ++i) model->draw_order[i] = static_cast<uint32_t>(i);
  for (int i = parts - 1; i > 0; --i) {
    std::swap(model->draw_order[i], model->draw_order[next(static_cast<uint32_t>(i + 1))]);
  }

  const int units = 1 + static_cast<int>(next(6));
  model->node_count = parts + units;
  // Units are inserted in node order under an earlier Unit or at the top, as a load builds them.
  for (int u = 0; u < units; ++u) {
    Unit& unit = model->units[u];
    unit.basis_type = 1 + next(2);
    unit.axis_angle = {static_cast<int32_t>(next(360)), static_cast<int32_t>(next(360)),
                       static_cast<int32_t>(next(360))};
    if (unit.basis_type != 1) unit.axis_angle = {0, 0, 0};
    unit.basis_position = {real(2), real(2), real(2)};
    unit.blend_param = {static_cast<int32_t>(next(3)), static_cast<int32_t>(next(100)),
                        static_cast<int32_t>(next(2)), static_cast<int32_t>(next(1000))};
    model->node_name[parts + u] = "unit" + std::to_string(u);
    const int parent = u == 0 || next(3) == 0 ? kTopLevel : parts + static_cast<int>(next(u));
    model->forest.InsertAppended(parts + u, parent);
  }
  for (int p = 0; p < parts; ++p) {
    const int parent = next(2) == 0 ? kTopLevel : parts + static_cast<int>(next(units));
    model->forest.InsertSorted(p, parent, model->node_name);
  }
  RecomputeParents(*model);
  model->motion_count = 1 + static_cast<int>(next(5));
  for (int m = 0; m < model->motion_count; ++m) {
    for (int u = 0; u < units; ++u) {
      for (int k = 0; k < 3; ++k) {
        model->motions[m].angle[k][u] =
            (k == 0 || model->units[u].basis_type == 2) ? static_cast<int32_t>(next(721)) - 360 : 0;
      }
      model->motions[m].translation[u] = {real(1), real(1), real(1)};
      model->motions[m].scale[u] = {real(2), real(2), real(2)};
    }
  }
  model->anim_count = static_cast<int>(next(3));
  for (int a = 0; a < model->anim_count; ++a) {
    const int32_t first = static_cast<int32_t>(next(static_cast<uint32_t>(model->motion_count)));
    model->anims[a] = Anim{first, model->motion_count - 1, static_cast<uint8_t>(next(2)),
                           "anim" + std::to_string(a)};
  }
  return model;
}

// The four encodings of the VRN family, for tests that run over all of them.
enum class VrnFile { kText, kBinary, kVr2Text, kVr2Binary };
inline constexpr VrnFile kVrnFiles[] = {VrnFile::kText, VrnFile::kBinary, VrnFile::kVr2Text,
                                        VrnFile::kVr2Binary};

inline std::string FormatVrn(Model& model, VrnFile file, const SaveOptions& options = {}) {
  switch (file) {
    case VrnFile::kText:
      return FormatTaggedText(model, options, TextVariant::kVrn);
    case VrnFile::kVr2Text:
      return FormatTaggedText(model, options, TextVariant::kVr2);
    case VrnFile::kBinary:
      return FormatKeyedBinary(model, options, BinaryVariant::kVrn);
    case VrnFile::kVr2Binary:
      return FormatKeyedBinary(model, options, BinaryVariant::kVr2);
  }
  return {};
}

inline bool ParseVrn(Model& model, std::string_view bytes, VrnFile file, Host& host,
                     ReadError* error = nullptr) {
  const ReadOptions options{false};
  switch (file) {
    case VrnFile::kText:
      return ParseTaggedText(model, bytes, "", TextVariant::kVrn, options, host, error);
    case VrnFile::kVr2Text:
      return ParseTaggedText(model, bytes, "", TextVariant::kVr2, options, host, error);
    case VrnFile::kBinary:
      return ParseKeyedBinary(model, bytes, "", BinaryVariant::kVrn, options, host, error);
    case VrnFile::kVr2Binary:
      return ParseKeyedBinary(model, bytes, "", BinaryVariant::kVr2, options, host, error);
  }
  return false;
}

// Writes `model` as `file` and reads it back silently, with the forest built as after a load.
inline std::unique_ptr<Model> ReadBack(Model& model, VrnFile file,
                                       const SaveOptions& options = {}) {
  auto copy = NewModel();
  ScriptedHost host;
  ReadError error;
  EXPECT_TRUE(ParseVrn(*copy, FormatVrn(model, file, options), file, host, &error))
      << error.Describe();
  EXPECT_TRUE(host.entries.empty());
  BuildHierarchy(*copy);
  return copy;
}

// Everything the VRN formats carry, in one string: the model written as VRN text and as VRN
// binary. Two models with the same fingerprint agree on every value the formats store under
// `options`.
inline std::string Fingerprint(Model& model, const SaveOptions& options = {}) {
  return FormatTaggedText(model, options, TextVariant::kVrn) + "\n--\n" +
         FormatKeyedBinary(model, options, BinaryVariant::kVrn);
}

}  // namespace vorna::test
