#include "editor/unit_backup.h"

#include <algorithm>

#include "animation/pose.h"

namespace vorna {

UnitBackup BackupUnits(const Model& model, bool with_blend) {
  UnitBackup backup;
  const int motion = model.current_motion;
  backup.motion = motion >= 0 && motion < kMaxMotions ? motion : -1;
  for (int u = 0; u < kMaxUnits; ++u) {
    UnitValues& values = backup.units[u];
    if (backup.motion >= 0) {
      const Motion& pose = model.motions[backup.motion];
      for (int k = 0; k < 3; ++k) values.angle[k] = pose.angle[k][u];
      values.translation = pose.translation[u];
      values.scale = pose.scale[u];
    }
    const Unit& unit = model.units[u];
    values.basis_type = unit.basis_type;
    values.axis_angle = unit.axis_angle;
    values.basis_position = unit.basis_position;
    values.blend_param = unit.blend_param;
  }
  backup.with_blend = with_blend;
  if (with_blend) backup.blend = model.blend;
  return backup;
}

void RestoreUnits(Model& model, const UnitBackup& backup) {
  for (int u = 0; u < kMaxUnits; ++u) {
    const UnitValues& values = backup.units[u];
    if (backup.motion >= 0) {
      Motion& pose = model.motions[backup.motion];
      for (int k = 0; k < 3; ++k) pose.angle[k][u] = values.angle[k];
      pose.translation[u] = values.translation;
      pose.scale[u] = values.scale;
    }
    Unit& unit = model.units[u];
    unit.basis_type = values.basis_type;
    unit.axis_angle = values.axis_angle;
    unit.basis_position = values.basis_position;
    unit.blend_param = values.blend_param;
    UpdateUnitAxis(model, u);
  }
  if (backup.with_blend) {
    const size_t count = std::min(backup.blend.size(), model.blend.size());
    std::copy_n(backup.blend.begin(), count, model.blend.begin());
  }
}

}  // namespace vorna
