// What the glTF export writes of the unit hierarchy and the Motions: the joints as the forest
// holds them, and each Unit's transform at the keys of an animation, mirrored into glTF's
// right-handed space (z negated) exactly as pose evaluation builds it.
#pragma once

#include <vector>

#include "maths/vector.h"
#include "model/model.h"

namespace vorna::gltf {

inline constexpr int kNoUnit = -1;

// Who owns what, read from the forest the way pose evaluation reads it: the nearest Unit above a
// node, passing over anything else.
struct Skeleton {
  int units = 0;
  std::vector<int> parent_unit;               // per Unit: its nearest Unit above, or kNoUnit
  std::vector<std::vector<int>> child_units;  // per Unit + 1 (the last entry: top level)
  std::vector<int> part_owner;                // per Part: its Unit, or kNoUnit
};

// Units missing from the forest hang at the top level, so every Unit keeps its joint.
Skeleton ReadSkeleton(const Model& model);

inline Vec3 Mirrored(Vec3 v) { return {v.x, v.y, -v.z}; }

// The rest translation of a Unit's joint: its pivot relative to its parent's, mirrored.
Vec3 RestTranslation(const Model& model, const Skeleton& s, int unit);

// The Motions an animation runs through, in key order: every Motion without an Anim; an Anim's
// range (only its first when the range is reversed) and, when it loops, its first again.
std::vector<int> KeyMotions(const Model& model, const Anim* anim);

// One Unit's joint at each key: translation, rotation (x, y, z, w, each key on the hemisphere of
// the one before, so that interpolation takes the short way) and scale, and whether each of them
// ever leaves its rest value.
struct JointKeys {
  std::vector<float> translation, rotation, scale;
  bool moves = false, turns = false, scales = false;
};
JointKeys SampleJoint(const Model& model, const Skeleton& s, int unit,
                      const std::vector<int>& keys);

}  // namespace vorna::gltf
