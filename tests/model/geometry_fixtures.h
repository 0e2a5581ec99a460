// Small meshes for the geometry tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/model_fixtures.h"

namespace vorna::test {

struct PartMesh {
  std::vector<Vec3> positions;
  std::vector<Face> faces;
};

// A Model holding the given Parts in order, with their names "part0", "part1", ...
inline std::unique_ptr<Model> ModelOfParts(const std::vector<PartMesh>& meshes) {
  auto model = NewModel();
  const int parts = static_cast<int>(meshes.size());
  AllocateParts(*model, parts);
  size_t vertices = 0, faces = 0;
  for (const PartMesh& m : meshes) {
    vertices += m.positions.size();
    faces += m.faces.size();
  }
  AllocateVertices(*model, static_cast<int>(vertices));
  AllocateFaces(*model, static_cast<int>(faces));
  uint32_t v = 0, f = 0;
  for (int p = 0; p < parts; ++p) {
    model->parts[p].first_vertex = v;
    model->parts[p].first_face = f;
    model->node_name[p] = "part";
    model->node_name[p] += std::to_string(p);
    for (Vec3 q : meshes[p].positions) model->positions[v++] = q;
    for (const Face& face : meshes[p].faces) model->faces[f++] = face;
  }
  model->parts[parts].first_vertex = v;
  model->parts[parts].first_face = f;
  return model;
}

inline Face Tri(uint32_t a, uint32_t b, uint32_t c) { return Face{{a, b, c, kNoCorner}}; }
inline Face Quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d) { return Face{{a, b, c, d}}; }

inline void ExpectNear(Vec3 actual, Vec3 expected, float tolerance = 1e-5f) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

}  // namespace vorna::test
