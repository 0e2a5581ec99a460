#include "editor/unit_settings.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <vector>

#include "animation/pose.h"
#include "io/number_text.h"
#include "model/hierarchy.h"
#include "model/hierarchy_edit.h"
#include "model/part_range.h"

namespace vorna {

namespace {

constexpr int kAngleRange = 360;
constexpr int kCoordinateRange = 2000;
// Centre and translation sliders put the value 0 in the middle of their range.
constexpr int kCoordinateOffset = 1000;

bool IsAngle(SlotQuantity quantity) {
  return quantity == SlotQuantity::kAngle || quantity == SlotQuantity::kAxisTilt;
}

int OffsetOf(SlotQuantity quantity) {
  return quantity == SlotQuantity::kScale ? 0 : kCoordinateOffset;
}

// The Unit the dialog edits, or -1.
int EditedUnit(const Model& model) {
  const int unit = model.selected_unit;
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  return unit >= 0 && unit < model.unit_count() ? unit : -1;
}

// The Motion whose pose the dialog edits, or null.
Motion* EditedMotion(Model& model) {
  const int motion = model.current_motion;
  return motion >= 0 && motion < kMaxMotions ? &model.motions[motion] : nullptr;
}

template <typename V>  // Vec3 or const Vec3
auto* ComponentOf(V& vector, int component) {
  return component == 0 ? &vector.x : (component == 1 ? &vector.y : &vector.z);
}

// The stored value a slot shows, for a Model or a const Model; null when the slot's Motion does
// not exist.
template <typename M>
auto AngleField(M& model, int unit, const SlotInfo& info)
    -> decltype(&model.units[unit].axis_angle[0]) {
  if (info.quantity == SlotQuantity::kAxisTilt)
    return &model.units[unit].axis_angle[info.component];
  const int motion = model.current_motion;
  if (motion < 0 || motion >= kMaxMotions) return nullptr;
  return &model.motions[motion].angle[info.component][unit];
}

template <typename M>
auto CoordinateField(M& model, int unit, const SlotInfo& info)
    -> decltype(&model.units[unit].basis_position.x) {
  if (info.quantity == SlotQuantity::kCentre) {
    return ComponentOf(model.units[unit].basis_position, info.component);
  }
  const int motion = model.current_motion;
  if (motion < 0 || motion >= kMaxMotions) return nullptr;
  auto& pose = model.motions[motion];
  return ComponentOf(
      info.quantity == SlotQuantity::kScale ? pose.scale[unit] : pose.translation[unit],
      info.component);
}

int ClampPosition(double position, int max_position) {
  if (std::isnan(position)) return 0;
  return static_cast<int>(std::clamp(position, 0.0, static_cast<double>(max_position)));
}

int32_t TruncateSaturated(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int32_t>(std::clamp(value, double{std::numeric_limits<int32_t>::min()},
                                         double{std::numeric_limits<int32_t>::max()}));
}

// Parts in node order whose parent is the node of `unit`.
std::vector<int> BoundParts(const Model& model, int unit) {
  std::vector<int> parts;
  const int node = model.NodeOfUnit(unit);
  for (int p = 0; p < UsablePartCount(model); ++p) {
    if (model.parent[p] == node) parts.push_back(p);
  }
  return parts;
}

// The Unit and every Unit below it.
std::vector<int> UnitAndUnitsBelow(const Model& model, int unit) {
  std::vector<int> units{unit};
  for (int node : CollectDescendants(model, model.NodeOfUnit(unit))) {
    if (!model.IsUnitNode(node)) continue;
    const int below = model.UnitOfNode(node);
    if (below < kMaxUnits) units.push_back(below);
  }
  return units;
}

void RestoreView(ViewState& view, const UnitSettingsSession& session) {
  RestoreView(session.view, view);
  view.unit_dialog_page = 0;
}

}  // namespace

SlotInfo UnitSlot(int slot) {
  if (slot == 0) return {SlotQuantity::kAngle, 0, 1, kAngleRange, 90};
  if (slot >= 1 && slot <= 3) return {SlotQuantity::kAxisTilt, slot - 1, 1, kAngleRange, 90};
  if (slot >= 4 && slot <= 6) return {SlotQuantity::kCentre, slot - 4, 1, kCoordinateRange, 500};
  if (slot >= 7 && slot <= 9) return {SlotQuantity::kAngle, slot - 7, 2, kAngleRange, 90};
  if (slot >= 10 && slot <= 12) {
    return {SlotQuantity::kCentre, slot - 10, 2, kCoordinateRange, 500};
  }
  if (slot >= 13 && slot <= 15) {
    return {SlotQuantity::kTranslation, slot - 13, 3, kCoordinateRange, 500};
  }
  if (slot >= 16 && slot <= 18) return {SlotQuantity::kScale, slot - 16, 4, kCoordinateRange, 500};
  return {};
}

int SlotPosition(const Model& model, int slot) {
  const SlotInfo info = UnitSlot(slot);
  const int unit = EditedUnit(model);
  if (info.page == 0 || unit < 0) return 0;
  if (IsAngle(info.quantity)) {
    const int32_t* angle = AngleField(model, unit, info);
    return angle ? ClampPosition(*angle, info.max_position) : 0;
  }
  const float* value = CoordinateField(model, unit, info);
  if (!value) return 0;
  // In single precision like the stored value, so that 0.7 gives 1700 and not 1699.
  const float position = *value * 1000.0f + static_cast<float>(OffsetOf(info.quantity));
  return ClampPosition(position, info.max_position);
}

std::string SlotText(const Model& model, int slot) {
  const SlotInfo info = UnitSlot(slot);
  const int unit = EditedUnit(model);
  if (IsAngle(info.quantity)) {
    const int32_t* angle = info.page != 0 && unit >= 0 ? AngleField(model, unit, info) : nullptr;
    return FormatWholeNumber(angle ? *angle : 0);
  }
  const float* value = info.page != 0 && unit >= 0 ? CoordinateField(model, unit, info) : nullptr;
  return FormatFixed(value ? *value : 0.0f, 3);
}

std::string SlotTextAtPosition(int slot, int position) {
  const SlotInfo info = UnitSlot(slot);
  if (IsAngle(info.quantity)) return FormatWholeNumber(position);
  return FormatFixed((position - OffsetOf(info.quantity)) / 1000.0, 3);
}

std::optional<int> StepSlotSpin(int slot, int position, int delta) {
  const SlotInfo info = UnitSlot(slot);
  const int64_t stepped = int64_t{position} + delta;
  if (info.page == 0 || stepped < 0 || stepped > info.max_position) return std::nullopt;
  return static_cast<int>(stepped);
}

int StoreSlotText(Model& model, int slot, std::string_view text) {
  const SlotInfo info = UnitSlot(slot);
  const int unit = EditedUnit(model);
  if (info.page == 0 || unit < 0) return 0;
  if (IsAngle(info.quantity)) {
    if (int32_t* angle = AngleField(model, unit, info)) *angle = ParseWholeNumber(text);
  } else if (float* value = CoordinateField(model, unit, info)) {
    // Beyond the float range the coordinate is 0, as text that is no number.
    const auto stored = static_cast<float>(ParseDecimal(text));
    *value = std::isfinite(stored) ? stored : 0.0f;
  }
  UpdateUnitAxis(model, unit);
  return SlotPosition(model, slot);
}

int32_t UnitDialogPageFor(uint32_t basis_type) {
  if (basis_type == 0) return 0;
  return basis_type == 1 ? 1 : 2;
}

void ShowUnitPage(Model& model, int page_index, int32_t& unit_dialog_page) {
  if (page_index < 0 || page_index > 3) return;
  unit_dialog_page = page_index + 1;
  const int unit = EditedUnit(model);
  if (unit < 0) return;
  if (page_index == 0) model.units[unit].basis_type = 1;
  if (page_index == 1) model.units[unit].basis_type = 2;
}

int PageIndexForTab(const Model& model, int tab) {
  if (tab == 1) return 2;
  if (tab == 2) return 3;
  if (tab != 0) return -1;
  const int unit = EditedUnit(model);
  return unit >= 0 && model.units[unit].basis_type == 1 ? 0 : 1;
}

std::optional<int> PageIndexForAxisRadio(const Model& model, bool tilt_axis_clicked) {
  const int unit = EditedUnit(model);
  if (unit < 0) return std::nullopt;
  const uint32_t type = model.units[unit].basis_type;
  if (tilt_axis_clicked && type == 2) return 0;
  if (!tilt_axis_clicked && type == 1) return 1;
  return std::nullopt;
}

void ChooseDialogUnit(Model& model, ViewState& view, int unit) {
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  if (unit < 0 || unit >= model.unit_count()) return;
  model.forest.Select(model.NodeOfUnit(unit));
  UpdateSelectionState(model);
  model.selected_unit = unit;
  if (view.unit_dialog_page == 1 || view.unit_dialog_page == 2) {
    view.unit_dialog_page = UnitDialogPageFor(model.units[unit].basis_type);
  }
}

void ResetUnitPose(Model& model, int32_t unit_dialog_page) {
  const int unit = EditedUnit(model);
  Motion* motion = EditedMotion(model);
  if (unit < 0 || !motion) return;
  for (int u : UnitAndUnitsBelow(model, unit)) {
    switch (unit_dialog_page) {
      case 1:
      case 2:
        for (auto& angles : motion->angle) angles[u] = 0;
        break;
      case 3:
        motion->translation[u] = {0.0f, 0.0f, 0.0f};
        break;
      case 4:
        motion->scale[u] = {1.0f, 1.0f, 1.0f};
        break;
      default:
        return;
    }
  }
}

void NeutraliseUnit(Model& model, bool blend_change_ticked) {
  const int unit = EditedUnit(model);
  if (unit < 0) return;
  if (Motion* motion = EditedMotion(model)) {
    for (auto& angles : motion->angle) angles[unit] = 0;
    motion->translation[unit] = {0.0f, 0.0f, 0.0f};
    motion->scale[unit] = {1.0f, 1.0f, 1.0f};
  }
  Unit& record = model.units[unit];
  record.axis_angle = {0, 0, 0};
  record.basis_position = {0.0f, 0.0f, 0.0f};
  UpdateUnitAxis(model, unit);
  if (blend_change_ticked) {
    record.blend_param[1] = 0;
    ComputeBlendWeights(model);
  }
}

void StoreBlendSettings(Model& model, const std::array<int32_t, 4>& blend_param) {
  const int unit = EditedUnit(model);
  if (unit < 0) return;
  model.units[unit].blend_param = blend_param;
  ComputeBlendWeights(model);
}

void StoreBlendParam(Model& model, int index, int32_t value) {
  const int unit = EditedUnit(model);
  if (unit < 0 || index < 0 || index > 3) return;
  model.units[unit].blend_param[index] = value;
  ComputeBlendWeights(model);
}

void FitBlendToPart(Model& model, int& corner_counter) {
  const int unit = EditedUnit(model);
  if (unit < 0) return;
  const std::vector<int> parts = BoundParts(model, unit);
  if (parts.empty()) return;
  const int corners = 2 * static_cast<int>(parts.size());
  const int i = (corner_counter % corners + corners) % corners;
  const Part& part = model.parts[parts[i / 2]];
  Unit& record = model.units[unit];
  record.basis_position = i % 2 == 0 ? part.corner_min : part.corner_max;

  const int axis = record.blend_param[0];
  if (axis >= 0 && axis <= 2) {
    const double extent = std::fabs(double{part.corner_max[axis]} - part.corner_min[axis]);
    if (record.blend_param[2] == 0) {
      record.blend_param[1] = extent == 0.0 ? 0 : TruncateSaturated(10.0 / extent);
    } else if (record.blend_param[2] == 1) {
      record.blend_param[1] = TruncateSaturated(1000.0 * extent);
    }
  }
  // Kept below the number of corners, which walks the corners in the same order as counting on
  // and restarting at that number would.
  corner_counter = (i + 1) % corners;
}

void InitialiseBlendWeights(Model& model, int& corner_counter) {
  FitBlendToPart(model, corner_counter);
  ComputeBlendWeights(model);
}

void ZeroBlendWeights(Model& model) {
  const int unit = EditedUnit(model);
  if (unit < 0) return;
  for (int p : BoundParts(model, unit)) {
    const IndexRange range = PartVertexRange(model, p);
    std::fill(model.blend.begin() + range.begin, model.blend.begin() + range.end, 0.0f);
  }
}

int LineOfSightCoordinate(float view_yaw, float view_pitch) {
  if (view_pitch == -1.0f && (view_yaw == 0.0f || view_yaw == 180.0f)) return 2;
  if (view_pitch == -1.0f && (view_yaw == 270.0f || view_yaw == 90.0f)) return 0;
  return 1;
}

bool SlotLockedByView(int slot, int line_of_sight) {
  const SlotInfo info = UnitSlot(slot);
  return info.page != 0 && !IsAngle(info.quantity) && info.component == line_of_sight;
}

UnitSettingsSession OpenUnitSettings(const Model& model, ViewState& view) {
  UnitSettingsSession session;
  session.backup = BackupUnits(model, true);
  session.view = BorrowView(view);
  if (view.part_alpha == 255) view.part_alpha = 128;
  view.texture_colour_on = false;
  view.ground_on = false;
  const int unit = EditedUnit(model);
  view.unit_dialog_page = unit >= 0 ? UnitDialogPageFor(model.units[unit].basis_type) : 0;
  return session;
}

void AcceptUnitSettings(Model& model, ViewState& view, const UnitSettingsSession& session) {
  model.modified = 1;
  RestoreView(view, session);
}

void CancelUnitSettings(Model& model, ViewState& view, const UnitSettingsSession& session) {
  RestoreUnits(model, session.backup);
  RestoreView(view, session);
}

}  // namespace vorna
