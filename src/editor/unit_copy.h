// The unit copy and exchange dialog without its widgets: pairs of Units (a source list and a
// target list of names) whose values are copied, copied mirrored across the plane X = 0, or whose
// angles are exchanged; adding listed Units and creating new target Units; and Cancel, which
// removes the Units created and puts every Unit back as it was at opening.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "animation/anim_list.h"
#include "editor/unit_backup.h"
#include "editor/view_backup.h"
#include "model/host.h"
#include "model/model.h"
#include "render/view_state.h"

namespace vorna {

enum class UnitCopyMode : int32_t { kCopy = 1, kMirroredCopy = 2, kExchange = 3 };

// What the dialog remembers for the life of the program: the operation chosen and the pairs of
// the last apply, as unit indices (-1 for a pair whose names named no Unit).
struct UnitCopyMemory {
  UnitCopyMode mode = UnitCopyMode::kCopy;
  int16_t pair_count = 0;
  std::array<int16_t, kMaxUnits> source{};
  std::array<int16_t, kMaxUnits> target{};
};

// The dialog while it is open.
struct UnitCopySession {
  int32_t node_count_at_open = 0;
  UnitBackup backup;
  ViewBackup view;
  EntryList source;  // Unit names
  EntryList target;
  bool changed = false;  // a pair was applied or a Unit created
};

// The first Unit whose name equals `name` byte for byte, as a unit index, or -1. Parts are not
// considered: a Part sharing a Unit's name must not be taken for a Unit.
int FindUnitByName(const Model& model, std::string_view name);

// Equal names when ASCII letters are compared without regard to case. Shift-JIS double-byte
// characters are compared exactly, so two characters whose second bytes happen to be ASCII
// letters of different case stay different.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// Opening (after the caller stopped playback): backs up every Unit, draws opaque while open,
// sets unit_copy_open, turns the view to the front, shows "ｺﾋﾟｰ" and makes copy the operation
// again, so that the operation in force is the one shown. The lists are refilled with the names
// of the saved pairs whose Units still exist.
UnitCopySession OpenUnitCopy(const Model& model, ViewState& view, UnitCopyMemory& memory);

// "適用": pairs source entry i with target entry i for every i below the shorter list's length
// and saves them as the remembered pairs. A pair is skipped when either name names no Unit.
// kCopy: the target takes the source's basis type, angles (the tilt-axis angle and axis tilt for
// a tilt-axis source), pivot, translation, scale and blend settings. kMirroredCopy: the same,
// then the second and third angles of an XYZ-axes target become 360 - a (a > 0), -a (a < 0) or
// stay 0; for a tilt-axis target the angle likewise when `mirror_tilt`, and the second and third
// axis tilts 360 - v (v >= 0) or -v; the pivot's x is negated; the translation is not mirrored.
// kExchange, only for Units of the same basis type: the first angles swap, for XYZ-axes Units
// the second and third become 360 minus the other's, and the blend settings swap. Every touched
// Unit's axis is derived again. Nothing is changed when current_motion names no Motion.
void ApplyUnitPairs(Model& model, UnitCopySession& session, UnitCopyMode mode, bool mirror_tilt,
                    UnitCopyMemory& memory);

// The add dialog's OK for the chosen Units (unit indices; taken in unit order): each name is
// appended to the source list (`to_target` false) or the target list, unless it already stands
// in either list (SameNameIgnoringCase). When any was refused, shows
// "既存のﾕﾆｯﾄは追加できません" and returns false; the others are added all the same.
bool AddUnitsToList(const Model& model, Host& host, UnitCopySession& session, bool to_target,
                    std::span<const int> units);

// The name the create dialog proposes: the source entry at the next target position when the
// source list is the longer, else empty.
std::string ProposedUnitName(const UnitCopySession& session);

// The create dialog's OK: refuses an empty name ("未入力です"), a name any Unit already has
// (SameNameIgnoringCase: "既存のﾕﾆｯﾄ名は使えません") and a full node table
// ("これ以上追加できません"); each refusal returns false and the dialog stays open. Otherwise
// creates the Unit at the top level with a tilt axis and the default pivot, named `name` (at most
// 63 bytes kept), appends it to the target list and returns true.
bool CreateTargetUnit(Model& model, Host& host, UnitCopySession& session, std::string_view name);

// OK: the Units created and the values changed stay, and mark the model as edited so that they
// are not dropped without the save question; the view returns to how it was.
void AcceptUnitCopy(Model& model, ViewState& view, const UnitCopySession& session);

// Cancel: removes the Units created since opening (always the last node), restores every Unit's
// values and the view.
void CancelUnitCopy(Model& model, ViewState& view, const UnitCopySession& session);

}  // namespace vorna
