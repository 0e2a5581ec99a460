// The generated model of 100,000 triangles that the frame benchmarks draw at 1280 x 720.
#pragma once

#include <cmath>
#include <memory>

#include "checkerboard.h"
#include "model/bounds.h"
#include "model/hierarchy.h"
#include "model/model.h"

namespace vorna::bench {

// Eight spheres of 50 x 125 quads (100,000 triangles) in two rows, each a Part under its own
// Unit, turned a little by Motion 0, with blend weights 1, 0.5 and 0 by latitude.
inline std::unique_ptr<Model> DenseModel(bool textured, float alpha) {
  constexpr int kParts = 8;
  constexpr int kRings = 50;
  constexpr int kSegments = 125;
  constexpr float kRadius = 0.2f;
  constexpr int kVerticesPerPart = (kRings + 1) * (kSegments + 1);
  constexpr int kFacesPerPart = kRings * kSegments;
  auto model = std::make_unique<Model>();
  Reset(*model);
  AllocateParts(*model, kParts);
  AllocateVertices(*model, kParts * kVerticesPerPart);
  AllocateFaces(*model, kParts * kFacesPerPart);
  const std::shared_ptr<const Texture> texture = textured ? Checkerboard() : nullptr;
  for (int p = 0; p < kParts; ++p) {
    Part& part = model->parts[p];
    part.first_vertex = static_cast<uint32_t>(p * kVerticesPerPart);
    part.first_face = static_cast<uint32_t>(p * kFacesPerPart);
    part.material.diffuse = {0.9f, 0.8f, 0.7f, alpha};
    part.material.ambient = part.material.diffuse;
    part.material.specular = {0.5f, 0.5f, 0.5f, 0.0f};
    part.material.power = 8.0f;
    if (textured) {
      part.texture_file = "checker.png";
      part.texture = texture;
    }
    const Vec3 centre{-0.75f + 0.5f * static_cast<float>(p % 4), p < 4 ? 0.22f : -0.22f, 0.0f};
    for (int i = 0; i <= kRings; ++i) {
      const float theta = kPi * static_cast<float>(i) / kRings;
      for (int j = 0; j <= kSegments; ++j) {
        const float phi = 2.0f * kPi * static_cast<float>(j) / kSegments;
        const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                     std::sin(theta) * std::sin(phi)};
        const size_t k = part.first_vertex + static_cast<size_t>(i * (kSegments + 1) + j);
        model->positions[k] = centre + n * kRadius;
        model->normals[k] = n;
        model->tex_u[k] = static_cast<float>(j) / kSegments * 4.0f;
        model->tex_v[k] = static_cast<float>(i) / kRings * 2.0f;
        model->blend[k] = i < kRings / 3 ? 1.0f : (i < 2 * kRings / 3 ? 0.5f : 0.0f);
      }
    }
    for (int i = 0; i < kRings; ++i) {
      for (int j = 0; j < kSegments; ++j) {
        const uint32_t a = static_cast<uint32_t>(i * (kSegments + 1) + j);
        const uint32_t b = a + kSegments + 1;
        // Clockwise seen from outside: the drawn side.
        model->faces[part.first_face + static_cast<size_t>(i * kSegments + j)] =
            Face{{a, a + 1, b + 1, b}};
      }
    }
  }
  model->parts[kParts].first_vertex = kParts * kVerticesPerPart;
  model->parts[kParts].first_face = kParts * kFacesPerPart;
  model->node_count = 2 * kParts;
  model->motion_count = 1;
  model->motions[0].in_use = 1;
  for (int p = 0; p < kParts; ++p) {
    model->parent[p] = kParts + p;
    model->draw_order[p] = static_cast<uint32_t>(p);
    model->units[p].basis_type = 2;
    model->units[p].basis_position = model->parts[p].center;
    model->motions[0].angle[1][p] = 15 * p;
  }
  BuildHierarchy(*model);
  RecomputeBounds(*model);
  return model;
}

}  // namespace vorna::bench
