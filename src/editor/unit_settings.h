// The unit settings dialog without its widgets: the value slots with their slider ranges and text
// formats, the pages and the axis type, the reset commands, the blend-weight tool, the direction
// lock and the view state while the dialog is open, and the backup that Cancel restores.
//
// The dialog edits the Unit model.selected_unit in model.current_motion; every function here
// does nothing when selected_unit names no Unit. After each change the caller redraws.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "editor/unit_backup.h"
#include "editor/view_backup.h"
#include "model/model.h"
#include "render/view_state.h"

namespace vorna {

// Slots: 0 rotation angle and 1..3 axis tilt X, Y, Z (tilt-axis page), 4..6 centre (tilt-axis
// page), 7..9 rotation X, Y, Z (XYZ-axes page), 10..12 centre (XYZ-axes page), 13..15
// translation, 16..18 scale.
inline constexpr int kUnitSlotCount = 19;

enum class SlotQuantity { kAngle, kAxisTilt, kCentre, kTranslation, kScale };

struct SlotInfo {
  SlotQuantity quantity = SlotQuantity::kAngle;
  int component = 0;     // 0 X (or the tilt-axis angle), 1 Y, 2 Z
  int page = 0;          // unit_dialog_page showing it: 1 tilt axis, 2 XYZ axes, 3 translation,
                         // 4 scale; 0 for a slot number outside the table
  int max_position = 0;  // slider and spin run from 0 to here
  int tick = 0;          // slider tick spacing
};

SlotInfo UnitSlot(int slot);

// Slider position of the Unit's current value in `slot`: degrees for angles, value * 1000 + 1000
// for centre and translation, value * 1000 for scale, truncated toward zero and held within the
// slider range (a value typed beyond it leaves the slider at its end).
int SlotPosition(const Model& model, int slot);

// The edit text the slot shows: "%d" for angles, "%.3f" for coordinates.
std::string SlotText(const Model& model, int slot);

// The edit text for slider position `position` (after the slider moved or the spin stepped).
std::string SlotTextAtPosition(int slot, int position);

// A spin step: the new position when position + delta lies within the slot's range, else none.
std::optional<int> StepSlotSpin(int slot, int position, int delta);

// The slot's edit text changed: stores the value as typed (whole degrees for angles, decimal for
// coordinates; text that is not a number stores 0; nothing is clamped), derives the Unit's axis,
// and returns the slider position for the stored value.
int StoreSlotText(Model& model, int slot, std::string_view text);

// unit_dialog_page for a Unit of `basis_type`: 1 for a tilt axis, 2 for XYZ axes and for every
// other type it is evaluated as, except 0 (type not chosen yet), which shows no page until a tab
// is chosen.
int32_t UnitDialogPageFor(uint32_t basis_type);

// Shows page `page_index` (0 tilt axis, 1 XYZ axes, 2 translation, 3 scale; -1 none):
// unit_dialog_page becomes page_index + 1, and the rotation pages set the Unit's basis_type to
// 1 or 2. The caller then fills the page's slots.
void ShowUnitPage(Model& model, int page_index, int32_t& unit_dialog_page);

// Page index for tab 0 (rotation: the tilt-axis page for a tilt-axis Unit, else the XYZ-axes
// page), 1 (translation) or 2 (scale); -1 for another tab.
int PageIndexForTab(const Model& model, int tab);

// The axis-type radio buttons: clicking "傾き指定軸" on an XYZ-axes Unit gives page 0, "XYZ軸" on a
// tilt-axis Unit page 1; any other click changes nothing.
std::optional<int> PageIndexForAxisRadio(const Model& model, bool tilt_axis_clicked);

// Choosing another Unit in the dialog's unit list: selects its node in the tree (selected_unit and
// the highlights follow), and a rotation page switches to the page of the new Unit's type.
void ChooseDialogUnit(Model& model, ViewState& view, int unit);

// The reset command on the current page: rotation pages zero the angles, the translation page
// the translation, the scale page sets the scale to 1, each for the Unit and every Unit below it.
void ResetUnitPose(Model& model, int32_t unit_dialog_page);

// The "ﾘｾｯﾄ" button: the Unit's angles, axis tilt, centre, translation and scale become neutral
// (its descendants are not touched). While the blend group's "変更" box is ticked the weight
// factor becomes 0 as well and the blend weights are recomputed.
void NeutraliseUnit(Model& model, bool blend_change_ticked);

// The blend group: store all four settings (the "変更" box ticked) or one of them (a combo box or
// an edit changed while ticked), then recompute the weights of the Unit's own Parts.
void StoreBlendSettings(Model& model, const std::array<int32_t, 4>& blend_param);
void StoreBlendParam(Model& model, int index, int32_t value);

// The "初期化" step: moves the pivot to the next corner of the boxes of the Parts bound to the
// Unit (corner_min, then corner_max of each Part in node order) and sets the weight factor so
// that the weight falls to 0 across that Part's extent along the blend axis (10 / extent for
// "y=ax", 1000 * extent for "x=ay^2"). `corner_counter` lives as long as the program and steps
// through the corners. Nothing changes when no Part is bound to the Unit.
void FitBlendToPart(Model& model, int& corner_counter);
// The "初期化" button: FitBlendToPart, then the weights are recomputed.
void InitialiseBlendWeights(Model& model, int& corner_counter);
// The "重み0" button: every vertex of the Unit's own Parts gets weight 0.
void ZeroBlendWeights(Model& model);

// The coordinate along the line of sight (0 X, 1 Y, 2 Z) for a view direction: Z seen from the
// front or back, X from the left or right, Y from above, below or any other direction.
int LineOfSightCoordinate(float view_yaw, float view_pitch);
// True for the centre, translation and scale slots of that coordinate, which the dialog greys.
bool SlotLockedByView(int slot, int line_of_sight);

// What the dialog saved when it opened.
struct UnitSettingsSession {
  UnitBackup backup;
  ViewBackup view;
};

// Opening (after the caller stopped playback): backs up every Unit and the blend weights, saves
// the view, turns semi-transparent (part_alpha 128) without textures, colours or ground, and sets
// unit_dialog_page for the Unit's type.
UnitSettingsSession OpenUnitSettings(const Model& model, ViewState& view);
// OK: keeps every change and sets `modified`; the view returns to how it was, page 0. The caller
// regenerates the current Motion's thumbnail.
void AcceptUnitSettings(Model& model, ViewState& view, const UnitSettingsSession& session);
// Cancel: every Unit and the blend weights as they were at opening, the view as it was, page 0.
void CancelUnitSettings(Model& model, ViewState& view, const UnitSettingsSession& session);

}  // namespace vorna
