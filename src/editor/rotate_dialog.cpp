#include "editor/rotate_dialog.h"

#include <algorithm>
#include <climits>
#include <new>

#include "io/number_text.h"
#include "model/bounds.h"
#include "model/model_edits.h"

namespace vorna {

std::unique_ptr<RotateDialogSession> RotateDialogSession::Open(Model& model) {
  try {
    std::unique_ptr<RotateDialogSession> session(new RotateDialogSession(model));
    session->positions_ = model.positions;
    session->normals_ = model.normals;
    session->total_center_ = model.total_center;
    session->total_corner_min_ = model.total_corner_min;
    session->total_corner_max_ = model.total_corner_max;
    session->part_boxes_.reserve(model.parts.size());
    for (const Part& part : model.parts) {
      session->part_boxes_.push_back({part.center, part.corner_min, part.corner_max});
    }
    session->unit_places_.reserve(kMaxUnits);
    for (const Unit& unit : model.units) {
      session->unit_places_.push_back({unit.axis, unit.basis_position});
    }
    return session;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void RotateDialogSession::SetAngleText(int axis, std::string_view text) {
  SetAngle(axis, ParseWholeNumber(text));
}

void RotateDialogSession::SetAngle(int axis, int degrees) {
  if (!open_ || axis < 0 || axis > 2) return;
  std::array<int, 3> wanted = applied_;
  wanted[axis] = degrees;
  // The difference in 64 bits: typed angles may lie anywhere in the int range.
  std::array<int, 3> step{};
  for (int k = 0; k < 3; ++k) {
    const long long difference = static_cast<long long>(wanted[k]) - applied_[k];
    // Whole turns change nothing, so a difference beyond the int range can drop them.
    const bool fits = difference >= INT_MIN && difference <= INT_MAX;
    step[k] = static_cast<int>(fits ? difference : difference % 360);
  }
  RotateModelVertices(model_, step[0], step[1], step[2]);
  RecomputeBounds(model_);
  RotateModelUnits(model_, step[0], step[1], step[2]);
  applied_ = wanted;
}

void RotateDialogSession::Ok() {
  if (!open_) return;
  model_.modified = 1;
  open_ = false;
}

void RotateDialogSession::Cancel() {
  if (!open_) return;
  // The geometry arrays keep their sizes while the dialog is open; copy what both still hold.
  std::copy_n(positions_.begin(), std::min(positions_.size(), model_.positions.size()),
              model_.positions.begin());
  std::copy_n(normals_.begin(), std::min(normals_.size(), model_.normals.size()),
              model_.normals.begin());
  model_.total_center = total_center_;
  model_.total_corner_min = total_corner_min_;
  model_.total_corner_max = total_corner_max_;
  for (size_t p = 0; p < std::min(part_boxes_.size(), model_.parts.size()); ++p) {
    model_.parts[p].center = part_boxes_[p].center;
    model_.parts[p].corner_min = part_boxes_[p].corner_min;
    model_.parts[p].corner_max = part_boxes_[p].corner_max;
  }
  for (size_t u = 0; u < unit_places_.size(); ++u) {
    model_.units[u].axis = unit_places_[u].axis;
    model_.units[u].basis_position = unit_places_[u].basis_position;
  }
  open_ = false;
}

}  // namespace vorna
