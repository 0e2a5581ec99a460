// The rotate dialog without its widgets: it keeps copies of everything a rotation changes, applies
// each change of an angle as one step by the difference to the angles already applied, and puts
// the copies back on cancel.
#pragma once

#include <array>
#include <memory>
#include <string_view>
#include <vector>

#include "model/model.h"

namespace vorna {

class RotateDialogSession {
 public:
  // Takes the copies: positions and normals, the total box and centre, every Part's box and
  // centre, every Unit's axis and basis_position. Returns null, touching nothing, when the copies
  // cannot be allocated (the dialog then does not open).
  static std::unique_ptr<RotateDialogSession> Open(Model& model);

  // The text of the edit box for `axis` (0 X, 1 Y, 2 Z) changed: its value, read as a whole
  // number (0 when it is none), becomes that axis's angle, and the model turns by the differences
  // to the applied angles: vertices, then boxes and centres, then Units. Steps compose, so X then
  // Y is another rotation than Y then X.
  void SetAngleText(int axis, std::string_view text);
  void SetAngle(int axis, int degrees);
  int angle(int axis) const { return applied_[axis]; }

  // Keeps the rotation and sets `modified`. The session is finished afterwards.
  void Ok();
  // Puts every copy back. The session is finished afterwards.
  void Cancel();

 private:
  explicit RotateDialogSession(Model& model) : model_(model) {}

  struct PartBox {
    Vec3 center, corner_min, corner_max;
  };
  struct UnitPlace {
    Vec3 axis, basis_position;
  };

  Model& model_;
  bool open_ = true;
  std::array<int, 3> applied_{};
  std::vector<Vec3> positions_;
  std::vector<Vec3> normals_;
  Vec3 total_center_, total_corner_min_, total_corner_max_;
  std::vector<PartBox> part_boxes_;
  std::vector<UnitPlace> unit_places_;
};

}  // namespace vorna
