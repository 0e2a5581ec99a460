// A small character for the .x export tests: Units at several depths, Parts bound to them and
// one loose, shared and distinct materials, textures named, several Motions.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "model/hierarchy.h"
#include "support/model_fixtures.h"

namespace vorna::test {

// Parts (one quad each): 0 "body" on hip, 1 and 2 on arm (same material and texture), 3 on
// hand, 4 loose. Units: 0 hip (top), 1 arm (under hip), 2 hand (under arm), 3 tail (top, no
// Part). Motions: `motions`, Motion m turning arm by 10·m degrees about X.
inline std::unique_ptr<Model> Character(int motions) {
  auto model = NewModel();
  constexpr int kParts = 5;
  AllocateParts(*model, kParts);
  AllocateVertices(*model, 4 * kParts);
  AllocateFaces(*model, kParts);
  const char* part_names[kParts] = {"body", "upper", "lower", "palm", "hat"};
  const char* unit_names[4] = {"hip", "arm", "hand", "tail"};
  const char* textures[kParts] = {"body.png", "arm.png", "arm.png", "", "hat.png"};
  for (int p = 0; p < kParts; ++p) {
    model->parts[p].first_vertex = static_cast<uint32_t>(4 * p);
    model->parts[p].first_face = static_cast<uint32_t>(p);
    model->faces[p] = Face{{0, 1, 2, 3}};
    for (int k = 0; k < 4; ++k) {
      const float x = static_cast<float>(p) + (k == 1 || k == 2 ? 1.0f : 0.0f);
      model->positions[4 * p + k] = {x, k >= 2 ? 1.0f : 0.0f, 0.0f};
      model->normals[4 * p + k] = {0, 0, -1};
      model->tex_u[4 * p + k] = k == 1 || k == 2 ? 1.0f : 0.0f;
      model->tex_v[4 * p + k] = k >= 2 ? 1.0f : 0.0f;
      model->blend[4 * p + k] = k == 0 ? 0.5f : 0.0f;
    }
    model->node_name[p] = part_names[p];
    model->parts[p].texture_file = textures[p];
    model->parts[p].material.diffuse = {p == 3 ? 0.0f : 1.0f, 0.5f, 0.25f, 1.0f};
    model->parts[p].material.ambient = model->parts[p].material.diffuse;
    model->draw_order[p] = static_cast<uint32_t>(p);
  }
  model->parts[kParts].first_vertex = 4 * kParts;
  model->parts[kParts].first_face = kParts;
  model->node_count = kParts + 4;
  for (int u = 0; u < 4; ++u) {
    model->node_name[kParts + u] = unit_names[u];
    model->units[u].basis_type = 2;
    model->units[u].basis_position = {static_cast<float>(u), 0.5f, 0.0f};
  }
  // Node and parent, the Units first, as a load inserts them.
  const std::pair<int, int> tree[] = {
      {kParts + 0, kTopLevel}, {kParts + 1, kParts + 0}, {kParts + 2, kParts + 1},
      {kParts + 3, kTopLevel}, {0, kParts + 0},          {1, kParts + 1},
      {2, kParts + 1},         {3, kParts + 2},          {4, kTopLevel}};
  for (const auto& [node, parent] : tree) model->forest.InsertAppended(node, parent);
  RecomputeParents(*model);
  model->motion_count = motions;
  for (int m = 0; m < motions; ++m) {
    model->motions[m].in_use = 1;
    model->motions[m].angle[0][1] = 10 * m;
    model->motions[m].translation[0] = {0.0f, 0.25f * static_cast<float>(m), 0.0f};
  }
  model->total_vertex_count = 4 * kParts;
  model->total_face_count = kParts;
  return model;
}

// The character with a tilt-axis Unit and blend settings, weights 0, 0.25, 0.5 and 1, and
// Motions that turn, move and scale every Unit; Anims "walk" (0 to 2, looping) and "wave" (3).
inline std::unique_ptr<Model> AnimatedCharacter(int motions) {
  auto model = Character(motions);
  model->units[1].basis_type = 1;
  model->units[1].axis_angle = {0, 30, 45};
  model->units[1].blend_param = {1, 25, 1, 40};
  DeriveAxis(*model, 1);
  model->units[2].basis_type = 0;  // evaluated as XYZ axes
  const float weights[4] = {0.0f, 0.25f, 0.5f, 1.0f};
  for (int v = 0; v < model->total_vertex_count; ++v) model->blend[v] = weights[v % 4];
  for (int m = 0; m < motions; ++m) {
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

}  // namespace vorna::test
