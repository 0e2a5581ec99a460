#include "animation/freeze_pose.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "animation/pose.h"
#include "model/bounds.h"
#include "model/hierarchy.h"
#include "model/part_range.h"

namespace vorna {

namespace {

// The inverse transpose of the upper 3 x 3 as the renderer lights with it: a flat (singular)
// matrix keeps its cofactors, which still point the right way.
Matrix NormalTransform(const Matrix& a) {
  const auto& m = a.m;
  Matrix c = Identity();
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      c.m[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
    }
  }
  const float det = m[0][0] * c.m[0][0] + m[0][1] * c.m[0][1] + m[0][2] * c.m[0][2];
  if (det != 0.0f && std::isfinite(det)) {
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) c.m[i][j] /= det;
    }
  }
  return c;
}

// n * M for the cofactor matrix M laid out as above (row i is the cofactor row of row i).
Vec3 TransformByNormalMatrix(Vec3 n, const Matrix& c) {
  return {n.x * c.m[0][0] + n.y * c.m[1][0] + n.z * c.m[2][0],
          n.x * c.m[0][1] + n.y * c.m[1][1] + n.z * c.m[2][1],
          n.x * c.m[0][2] + n.y * c.m[1][2] + n.z * c.m[2][2]};
}

void RemoveHierarchy(Model& model) {
  const int parts = model.parts_count;
  for (int node = parts; node < kMaxNodes; ++node) model.node_name[node].clear();
  model.forest.Clear();
  for (int p = 0; p < parts; ++p) model.forest.InsertAppended(p, kTopLevel);
  model.node_count = parts;
  RecomputeParents(model);
  for (int u = 0; u < kMaxUnits; ++u) {
    model.units[u] = Unit{};
    model.units[u].save_order = static_cast<uint32_t>(u);
  }
  for (Motion& motion : model.motions) motion = Motion{};
  model.motions[0].in_use = 1;
  model.motion_count = 1;
  for (Anim& anim : model.anims) anim = Anim{};
  model.anim_count = 0;
  model.current_motion = 0;
  model.current_anim = -1;
  model.selected_unit = -1;
}

}  // namespace

bool FreezePose(Model& model, int motion) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  if (motion < 0 || motion >= model.motion_count) return false;
  EvaluatePose(model, motion);
  for (int p = 0; p < UsablePartCount(model); ++p) {
    const auto [first, second] = PartBlendMatrices(model, p);
    const Matrix first_normals = NormalTransform(first);
    const Matrix second_normals = NormalTransform(second);
    const IndexRange range = PartVertexRange(model, p);
    for (uint32_t v = range.begin; v < range.end; ++v) {
      const float b = model.blend[v];
      const Vec3 position = model.positions[v];
      const Vec3 normal = model.normals[v];
      model.positions[v] =
          TransformCoord(position, first) * b + TransformCoord(position, second) * (1.0f - b);
      model.normals[v] = TransformByNormalMatrix(normal, first_normals) * b +
                         TransformByNormalMatrix(normal, second_normals) * (1.0f - b);
    }
  }
  std::fill(model.blend.begin(), model.blend.end(), 0.0f);
  RemoveHierarchy(model);
  RecomputeBounds(model);
  model.modified = 1;
  return true;
}

}  // namespace vorna
