// The large generated model the format benchmarks share: 10 Parts of 20,000 vertices and 10,000
// faces each (half of them quads), 20 Units of both basis types in a binary tree, 100 Motions.
#pragma once

#include <memory>
#include <string>

#include "model/hierarchy.h"
#include "model/model.h"

namespace vorna::bench {

inline constexpr int kParts = 10;
inline constexpr int kVerticesPerPart = 20000;
inline constexpr int kFacesPerPart = 10000;
inline constexpr int kUnits = 20;
inline constexpr int kMotions = 100;

// 10 Parts of 20000 vertices with `faces_per_part` faces each (quads and triangles alternating),
// 20 Units and 100 Motions.
inline std::unique_ptr<Model> LargeModel(int faces_per_part = kFacesPerPart) {
  auto model = std::make_unique<Model>();
  Reset(*model);
  AllocateParts(*model, kParts);
  AllocateVertices(*model, kParts * kVerticesPerPart);
  AllocateFaces(*model, kParts * faces_per_part);
  uint32_t state = 12345;
  auto random = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<float>(state >> 8) / 16777216.0f * 2.0f - 1.0f;
  };
  for (int p = 0; p <= kParts; ++p) {
    model->parts[p].first_vertex = static_cast<uint32_t>(p * kVerticesPerPart);
    model->parts[p].first_face = static_cast<uint32_t>(p * faces_per_part);
    if (p < kParts) model->node_name[p] = "part" + std::to_string(p);
  }
  for (int v = 0; v < model->total_vertex_count; ++v) {
    model->positions[v] = {random(), random(), random()};
    model->normals[v] = Normalize({random(), random(), random()});
    model->tex_u[v] = random() * 0.5f + 0.5f;
    model->tex_v[v] = random() * 0.5f + 0.5f;
    model->blend[v] = random() * 0.5f + 0.5f;
  }
  for (int f = 0; f < model->total_face_count; ++f) {
    const uint32_t base = static_cast<uint32_t>(f % (kVerticesPerPart - 4));
    model->faces[f] = Face{{base, base + 1, base + 2, (f % 2) ? base + 3 : kNoCorner}};
  }
  model->node_count = kParts + kUnits;
  for (int u = 0; u < kUnits; ++u) {
    model->units[u].basis_type = (u % 2) + 1;
    model->node_name[kParts + u] = "unit" + std::to_string(u);
    model->parent[kParts + u] = u == 0 ? -1 : kParts + (u - 1) / 2;
  }
  for (int p = 0; p < kParts; ++p) model->parent[p] = kParts + p;
  model->motion_count = kMotions;
  for (int m = 0; m < kMotions; ++m) {
    for (int u = 0; u < kUnits; ++u) {
      model->motions[m].angle[0][u] = (m * 7 + u) % 360;
      model->motions[m].translation[u] = {random(), random(), random()};
    }
  }
  BuildHierarchy(*model);
  return model;
}

}  // namespace vorna::bench
