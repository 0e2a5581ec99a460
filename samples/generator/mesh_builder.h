// Meshes of the sample models, built vertex by vertex before they are copied into a Model.
#pragma once

#include <cstdint>
#include <vector>

#include "maths/vector.h"
#include "model/model.h"

namespace vorna {

struct MeshBuilder {
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<Vec2> uvs;
  std::vector<Face> faces;

  uint32_t AddVertex(Vec3 p, Vec3 n, Vec2 uv);
  // Adds a face whose corners wind clockwise seen from `outside` (the drawn front side).
  void AddFace(std::vector<uint32_t> corners, Vec3 outside);
  // An axis-aligned box from `low` to `high`, flat-shaded: four vertices a side.
  void AddBox(Vec3 low, Vec3 high);
  // A latitude-longitude sphere: triangles at the poles, quads between.
  void AddSphere(Vec3 centre, float radius, int segments, int rings);
};

}  // namespace vorna
