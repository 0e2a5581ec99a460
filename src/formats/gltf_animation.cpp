#include "formats/gltf_animation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "animation/scene_transform.h"
#include "maths/matrix.h"

namespace vorna::gltf {

namespace {

struct Quaternion {
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
};

// The rotation of a row-vector matrix, mirrored in z, as a unit quaternion.
Quaternion MirroredRotation(const Matrix& r) {
  // Column-vector matrix of the mirrored rotation: c_i c_j R[j][i] with c = (1, 1, -1).
  double m[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double sign = ((i == 2) != (j == 2)) ? -1.0 : 1.0;
      m[i][j] = sign * r.m[j][i];
    }
  }
  const auto [x, y, z, w] = QuaternionOfRotation(m);
  const Quaternion q{x, y, z, w};
  const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (!(length > 0.0)) return {};
  return {q.x / length, q.y / length, q.z / length, q.w / length};
}

// The rotation part of a Unit's local transform, exactly as pose evaluation builds it.
Matrix UnitRotation(const Model& model, int motion, int unit) {
  const Unit& u = model.units[unit];
  const Motion& m = model.motions[motion];
  if (u.basis_type == 1) return RotationAxis(u.axis, DegreesToRadians(m.angle[0][unit]));
  return RotationXYZ(m.angle[0][unit], m.angle[1][unit], m.angle[2][unit]);
}

Vec3 PivotOf(const Model& model, int unit) {
  return unit == kNoUnit ? Vec3{} : model.units[unit].basis_position;
}

}  // namespace

Skeleton ReadSkeleton(const Model& model) {
  Skeleton s;
  assert(model.parts_count >= 0 && model.parts_count < kMaxParts);
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  s.units = model.unit_count();
  const int parts = model.parts_count;
  auto nearest_unit = [&](int node) {
    int parent = model.forest.ParentOf(node);
    for (int steps = 0; parent != kTopLevel && steps < kForestCapacity; ++steps) {
      const int unit = model.UnitOfNode(parent);
      if (model.IsUnitNode(parent) && unit < s.units) return unit;
      parent = model.forest.ParentOf(parent);
    }
    return kNoUnit;
  };
  s.parent_unit.resize(s.units);
  s.child_units.resize(s.units + 1);
  s.part_owner.resize(parts);
  for (int p = 0; p < parts; ++p) s.part_owner[p] = nearest_unit(p);
  for (int u = 0; u < s.units; ++u) s.parent_unit[u] = nearest_unit(model.NodeOfUnit(u));
  // Children in the forest's order: walk it depth first.
  std::vector<char> placed(s.units, 0);
  std::vector<int> stack(model.forest.ChildrenOf(kTopLevel).rbegin(),
                         model.forest.ChildrenOf(kTopLevel).rend());
  while (!stack.empty()) {
    const int node = stack.back();
    stack.pop_back();
    const int unit = model.UnitOfNode(node);
    if (model.IsUnitNode(node) && unit < s.units && !placed[unit]) {
      placed[unit] = 1;
      const int parent = s.parent_unit[unit];
      s.child_units[parent == kNoUnit ? s.units : parent].push_back(unit);
    }
    const std::vector<int>& children = model.forest.ChildrenOf(node);
    if (stack.size() < static_cast<size_t>(kForestCapacity) * kForestCapacity) {
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }
  // Units missing from the forest hang at the top level, so every Unit keeps its joint.
  for (int u = 0; u < s.units; ++u) {
    if (!placed[u]) {
      s.parent_unit[u] = kNoUnit;
      s.child_units[s.units].push_back(u);
    }
  }
  return s;
}

Vec3 RestTranslation(const Model& model, const Skeleton& s, int unit) {
  return Mirrored(PivotOf(model, unit) - PivotOf(model, s.parent_unit[unit]));
}

std::vector<int> KeyMotions(const Model& model, const Anim* anim) {
  const int last_motion = std::max(model.motion_count, 1) - 1;
  std::vector<int> keys;
  if (anim == nullptr) {
    for (int m = 0; m <= last_motion; ++m) keys.push_back(m);
    return keys;
  }
  const int first = std::clamp(anim->first_motion, 0, last_motion);
  const int last = std::clamp(anim->last_motion, 0, last_motion);
  // An Anim whose first Motion lies after its last plays only its first.
  for (int m = first; m <= std::max(first, last); ++m) keys.push_back(m);
  if (anim->loop != 0) keys.push_back(first);
  return keys;
}

JointKeys SampleJoint(const Model& model, const Skeleton& s, int unit,
                      const std::vector<int>& keys) {
  const size_t n = keys.size();
  JointKeys k;
  k.translation.resize(n * 3);
  k.rotation.resize(n * 4);
  k.scale.resize(n * 3);
  const Vec3 rest = RestTranslation(model, s, unit);
  Quaternion previous;
  for (size_t i = 0; i < n; ++i) {
    const Motion& motion = model.motions[keys[i]];
    const Vec3 t = rest + Mirrored(motion.translation[unit]);
    k.translation[i * 3] = t.x;
    k.translation[i * 3 + 1] = t.y;
    k.translation[i * 3 + 2] = t.z;
    k.moves = k.moves || !(t == rest);
    Quaternion q = MirroredRotation(UnitRotation(model, keys[i], unit));
    if (q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0.0) {
      q = {-q.x, -q.y, -q.z, -q.w};
    }
    previous = q;
    const float qf[4] = {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z),
                         static_cast<float>(q.w)};
    std::copy(qf, qf + 4, &k.rotation[i * 4]);
    k.turns = k.turns || !(qf[0] == 0.0f && qf[1] == 0.0f && qf[2] == 0.0f && qf[3] == 1.0f);
    const Vec3 scale = motion.scale[unit];
    k.scale[i * 3] = scale.x;
    k.scale[i * 3 + 1] = scale.y;
    k.scale[i * 3 + 2] = scale.z;
    k.scales = k.scales || !(scale == Vec3{1.0f, 1.0f, 1.0f});
  }
  return k;
}

}  // namespace vorna::gltf
