// Meshes of the sample models, built vertex by vertex before they are copied into a Model.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "maths/vector.h"
#include "model/model.h"

namespace vorna {

struct SampleMesh {
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

// Allocates one Part per mesh and copies the meshes in, in order: positions, normals, texture
// coordinates and faces, and the Parts' vertex and face ranges. Blend weights are left 0.
void StoreMeshes(Model& model, const std::vector<const SampleMesh*>& meshes);

// Fills Unit `unit` (node_count must already count it) as a joint of a sample, shown expanded
// in the tree, under Unit `parent_unit` or at the top level when that is negative.
void SetSampleUnit(Model& model, int unit, const std::string& name, int parent_unit,
                   uint32_t basis_type, Vec3 pivot, std::array<int32_t, 3> axis_angle);

}  // namespace vorna
