// Editing the unit hierarchy: adding, deleting, moving and grouping nodes, and the selection's
// effect on the Model. The forest (model.forest) holds the ticks, the selection and the expansion;
// the tree widget only mirrors it. In this layer a tree item is its node number.
//
// Every structural change ends with the `parent` table read back from the forest. None of these
// set `modified`: tree edits are not counted as unsaved changes. The caller draws a frame
// afterwards where the user should see the result.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// `item` when it is one of the first node_count nodes and in the forest, else -1.
int NodeOfItem(const Model& model, int item);

// First node (0 .. node_count - 1) whose name equals `name` byte for byte, else -1.
int FindNodeByName(const Model& model, std::string_view name);

// From the forest's selection: a selected Unit becomes selected_unit, a selected Part sets it to
// -1. Without a selection selected_unit keeps its value.
void UpdateSelectionState(Model& model);

// Whether the tree's selection highlights `node`, read from the selection itself whenever it is
// drawn: every node below a selected Unit (not the Unit itself), or the selected Part.
bool IsHighlighted(const Model& model, int node);

// Adds a Unit named "Unit_%03d" with the first number from 1 that no Unit carries, at the top
// level, makes it selected_unit with no item selected, and sorts the top level and each Unit's
// children. With node_count at 255 or more it shows "これ以上追加できません" and returns false.
bool AddUnit(Model& model, Host& host);

// Creates Unit node node_count with the name already in node_name[node_count]: inserted sorted at
// the top level, tilt-axis basis, pivot ((u mod 7) * 0.15 - 0.7, 0.7, 0), its axis derived from
// the slot's axis_angle, neutral values in every Motion in use. Other record fields keep what the
// slot holds. Returns false (nothing changed) when node_count is already 255 or more.
bool CreateUnitNode(Model& model);

// The question the delete command asks: the selected Unit first when it is not ticked, then the
// ticked Units in node order, 20 names at most followed by "･･･", and the number to delete.
struct DeleteUnitsQuestion {
  std::string text;
  int count = 0;
};
DeleteUnitsQuestion BuildDeleteUnitsQuestion(const Model& model);

// The delete command: asks the question when there is something to delete and, on Yes, deletes
// the ticked Units and the selected one (DeleteTickedUnits). Returns true when Units were deleted.
bool DeleteUnitsCommand(Model& model, Host& host);

// Ticks the selected node, deletes every ticked Unit deepest first (ticked Parts stay), reads the
// parents back, updates the selection state, restores the expansion and clears every tick.
void DeleteTickedUnits(Model& model);

// Deletes Unit node `node`: its children move up under its parent (inserted sorted), deeper
// levels keep their shape; the nodes and Unit records behind it move down one place with their
// names, records and Motion values, and node_count drops by one. A selected_unit that pointed
// behind the deleted Unit follows its Unit; one that pointed at it becomes -1. Not a Unit: nothing.
void DeleteUnitNode(Model& model, int node);

// Ends a drag: ticks `dragged` (kTopLevel: none), moves every ticked Part, then every ticked Unit
// deepest first, onto `target`; selects the target, sorts the top level, reads the parents back,
// clears every tick and updates the selection state. A Unit target is marked expanded.
void DropTickedNodes(Model& model, int dragged, int target);

// Every Unit node expanded exactly when its tree_expanded is 2, and the Units above the selected
// node expanded (and marked so).
void RestoreExpansion(Model& model);

// Hangs every top-level node under one new Unit (tilt axis turned to (0, 1, 0), record otherwise
// cleared). Returns false, after AddUnit's message, when no Unit can be added.
bool GroupRootNodes(Model& model, Host& host);

// Clears the tick of every node.
void ClearTicks(Model& model);

}  // namespace vorna
