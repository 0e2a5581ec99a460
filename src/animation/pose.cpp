#include "animation/pose.h"

#include <cassert>
#include <cmath>
#include <vector>

#include "model/hierarchy.h"
#include "model/part_range.h"

namespace vorna {

namespace {

// Weight of a vertex at `distance` from the pivot plane.
float BlendWeight(float distance, const std::array<int32_t, 4>& param) {
  float d = distance;
  if (d <= static_cast<float>(param[3]) / 1000.0f) d = 0.0f;
  float f;
  switch (param[2]) {
    case 0:  // y = ax
      f = (static_cast<float>(param[1]) / 10.0f) * d;
      break;
    case 1:  // x = ay^2
      f = param[1] == 0 ? 1.0f : std::sqrt(d / (static_cast<float>(param[1]) / 1000.0f));
      break;
    default:
      f = d;
      break;
  }
  if (f > 1.0f) f = 1.0f;
  // Also catches the NaN of a negative factor under the root, which would otherwise reach the
  // renderer as a NaN weight.
  if (!(f >= 0.0f)) f = 0.0f;
  return 1.0f - std::fabs(f);
}

}  // namespace

Matrix UnitLocalTransform(const Model& model, int motion, int unit) {
  if (motion < 0 || motion >= kMaxMotions || unit < 0 || unit >= kMaxUnits) return Identity();
  const Unit& u = model.units[unit];
  const Motion& m = model.motions[motion];
  const Vec3 p = u.basis_position;
  const Vec3 t = m.translation[unit];
  const Vec3 s = m.scale[unit];
  const int a0 = m.angle[0][unit], a1 = m.angle[1][unit], a2 = m.angle[2][unit];

  const Matrix to_origin = Translation(-p.x, -p.y, -p.z);
  const Matrix back = Translation(p.x + t.x, p.y + t.y, p.z + t.z);
  const Matrix scaling = Scaling(s.x, s.y, s.z);
  const Matrix rotation =
      u.basis_type == 1 ? RotationAxis(u.axis, DegreesToRadians(a0)) : RotationXYZ(a0, a1, a2);
  return Multiply(Multiply(Multiply(to_origin, scaling), rotation), back);
}

void EvaluatePose(Model& model, int motion) {
  const int parts = UsablePartCount(model);
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  const int units = model.unit_count();
  for (int p = 0; p < parts; ++p) model.parts[p].pose_matrix = Identity();
  for (int u = 0; u < units; ++u) model.units[u].pose_matrix = Identity();
  RefreshSaveOrder(model);
  if (motion < 0 || motion >= kMaxMotions) return;

  // A Unit node whose index lies in the tables (a damaged parts_count could say otherwise).
  auto IsUnit = [&](int node) {
    return model.IsUnitNode(node) && model.UnitOfNode(node) >= 0 && model.UnitOfNode(node) < units;
  };
  std::array<Matrix, kMaxUnits> local;
  for (int u = 0; u < units; ++u) local[u] = UnitLocalTransform(model, motion, u);

  // chain[u] = L(u) * L(parent of u) * ... * L(top-level Unit), multiplied nearest-first from the
  // identity, which is the association (and so the rounding) of applying each Unit to its
  // descendants from the deepest Unit upwards. Every child of u is posed by chain[u].
  std::array<Matrix, kMaxUnits> chain;
  const UnitForest& forest = model.forest;
  for (int u = 0; u < units; ++u) {
    Matrix m = Identity();
    int node = model.NodeOfUnit(u);
    // A forest has no cycles; the bound only guards against a damaged one.
    for (int steps = 0; node != kTopLevel && steps < kForestCapacity; ++steps) {
      if (IsUnit(node)) m = Multiply(m, local[model.UnitOfNode(node)]);
      node = forest.ParentOf(node);
    }
    chain[u] = m;
  }

  auto owner_chain = [&](int node) -> const Matrix* {
    // Parts never hold children, so the nearest Unit above a node is its forest parent when that
    // is a Unit; a Part parent (never made by the editor) is passed over.
    int parent = forest.ParentOf(node);
    for (int steps = 0; parent != kTopLevel && steps < kForestCapacity; ++steps) {
      if (IsUnit(parent)) return &chain[model.UnitOfNode(parent)];
      parent = forest.ParentOf(parent);
    }
    return nullptr;
  };
  for (int p = 0; p < parts; ++p) {
    if (const Matrix* m = owner_chain(p)) model.parts[p].pose_matrix = *m;
  }
  for (int u = 0; u < units; ++u) {
    if (const Matrix* m = owner_chain(model.NodeOfUnit(u))) model.units[u].pose_matrix = *m;
  }
}

BlendMatrices PartBlendMatrices(const Model& model, int part) {
  const int owner = model.parent[part];
  const bool owned = model.IsUnitNode(owner) && model.UnitOfNode(owner) < kMaxUnits;
  return {owned ? model.units[model.UnitOfNode(owner)].pose_matrix : Identity(),
          model.parts[part].pose_matrix};
}

void UpdateUnitAxis(Model& model, int unit) {
  if (unit < 0 || unit >= kMaxUnits) return;
  DeriveAxis(model, unit);
}

void ComputeBlendWeights(Model& model) {
  const int unit = model.selected_unit;
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  if (unit < 0 || unit >= model.unit_count()) return;
  const Unit& u = model.units[unit];
  const int axis = u.blend_param[0];
  if (axis < 0 || axis > 2) return;
  const int node = model.NodeOfUnit(unit);
  const float pivot = u.basis_position[axis];
  for (int p = 0; p < UsablePartCount(model); ++p) {
    if (model.parent[p] != node) continue;
    const IndexRange range = PartVertexRange(model, p);
    for (uint32_t v = range.begin; v < range.end; ++v) {
      model.blend[v] = BlendWeight(std::fabs(model.positions[v][axis] - pivot), u.blend_param);
    }
  }
}

}  // namespace vorna
