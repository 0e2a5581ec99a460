// The copy of every Unit's editable values that the unit dialogs take when they open and put
// back on Cancel: the pose in the current Motion and the Unit's own settings, and optionally the
// per-vertex blend weights.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "maths/vector.h"
#include "model/model.h"

namespace vorna {

struct UnitValues {
  // In the backed-up Motion.
  std::array<int32_t, 3> angle{};
  Vec3 translation;
  Vec3 scale{1.0f, 1.0f, 1.0f};
  // The Unit's own.
  uint32_t basis_type = 0;
  std::array<int32_t, 3> axis_angle{};
  Vec3 basis_position;
  std::array<int32_t, 4> blend_param{0, 0, 0, 20};
};

struct UnitBackup {
  int motion = -1;  // the Motion whose pose was taken; -1 when current_motion named none
  std::array<UnitValues, kMaxUnits> units{};
  bool with_blend = false;
  std::vector<float> blend;
};

// Takes the values of all kMaxUnits Unit slots in current_motion, and a copy of the blend weights
// when `with_blend`.
UnitBackup BackupUnits(const Model& model, bool with_blend);

// Puts every slot's values back (the pose into the Motion they were taken from), derives every
// axis again, and restores the blend weights when they were taken (as far as the arrays still
// match).
void RestoreUnits(Model& model, const UnitBackup& backup);

}  // namespace vorna
