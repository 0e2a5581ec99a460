// The Anim list: range clamping, the text line a list box shows for one Anim and its read-back,
// the add-and-delete dialog's list operations and OK, and the choice of the Anim to play.
//
// Anim list entries are byte strings in the encoding of the names stored in models (Shift-JIS),
// like the names they contain, so that a dialog converts whole lines for display and a name read
// back from a line keeps the bytes stored files have always held.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// "[ﾙｰﾌﾟ]" in Shift-JIS: the label a looping Anim's entry ends with.
inline constexpr std::string_view kLoopLabel = "[\xD9\xB0\xCC\xDF]";

// Longest name the anim dialog accepts.
inline constexpr int kAnimNameInputLimit = 63;

// Brings every Anim's first_motion and last_motion into the Motion list: values at or beyond
// motion_count become the last Motion, negative ones the first. An Anim whose first Motion lies
// after its last stays so.
void ClampAnimRanges(Model& model);

// "%03d %03d %s %s" with first_motion + 1, last_motion + 1, the name and kLoopLabel or nothing:
// "001 012 walk [ﾙｰﾌﾟ]", or "001 012 walk " without loop.
std::string FormatAnimEntry(const Anim& anim);

// Reads an entry back word by word, as "%d %d %s %s" does: two numbers, then the name up to its
// first blank, then a fourth word; loop is set only when that word is kLoopLabel. So a name with a
// blank keeps its first word and loses the loop flag, and an empty looping name reads back as a
// name "[ﾙｰﾌﾟ]" without loop. Numbers that are missing read as 0 (Motion -1).
Anim ParseAnimEntry(std::string_view entry);

// A list box's entries with its selection (-1: none), as the anim dialog and the unit copy dialog
// edit them.
struct EntryList {
  std::vector<std::string> entries;
  int selected = -1;

  bool HasSelection() const { return selected >= 0 && selected < static_cast<int>(entries.size()); }
  // Appends `entry` and selects it.
  void Append(std::string entry);
  // Replaces the selected entry, keeping it selected; without a selection appends `entry` and
  // leaves nothing selected.
  void Replace(std::string entry);
  // Deletes the selected entry and selects the one now at its position, or the new last one.
  void DeleteSelected();
  // Moves the selected entry one place; nothing at the ends or without a selection.
  void MoveSelectedUp();
  void MoveSelectedDown();
};

// The entry the anim dialog's controls describe: the combo boxes' selected indices (Motion
// indices, -1 without a selection), the name box text (at most kAnimNameInputLimit bytes kept)
// and the loop box.
std::string AnimEntryFromControls(int first_index, int last_index, std::string_view name,
                                  bool loop);

// Opening the anim dialog: clamps the ranges and lists every Anim, the first one selected.
EntryList OpenAnimDialog(Model& model);

// The anim dialog's OK. With 256 or more entries shows "アニメの数が制限の 256 個を越えています\n
// いくつか削除してください" and returns false (the dialog stays open, the Anims untouched).
// Otherwise the Anim table becomes the entries read back with ParseAnimEntry, and current_anim
// is -1 without Anims, 0 when it was -1, else unchanged but never beyond the last Anim.
bool ApplyAnimDialog(Model& model, Host& host, const EntryList& list);

// Opening the choice dialog: clamps the ranges and lists every Anim.
std::vector<std::string> AnimChoiceEntries(Model& model);
// The entry to select at opening: current_anim when it names an Anim, else -1 (none).
int InitialAnimChoice(const Model& model);
// The choice dialog's OK: current_anim = `selected`, -1 when it names no Anim.
void ChooseAnim(Model& model, int selected);

}  // namespace vorna
