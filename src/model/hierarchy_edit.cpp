#include "model/hierarchy_edit.h"

#include <algorithm>
#include <cassert>
#include <cstdio>

#include "model/hierarchy.h"
#include "model/name_text.h"

namespace vorna {

namespace {

constexpr int kMaxListedUnits = 20;

int MotionLimit(const Model& model) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  return model.motion_count;
}

// Ticked Unit nodes, every Unit after all of its descendants (the breadth-first order reversed).
std::vector<int> TickedUnitsDeepestFirst(const Model& model) {
  std::vector<int> ticked;
  for (int node : model.forest.CollectDescendants(kTopLevel)) {
    if (model.IsUnitNode(node) && model.forest.at(node).ticked) ticked.push_back(node);
  }
  std::reverse(ticked.begin(), ticked.end());
  return ticked;
}

// A re-created tree item starts unticked and collapsed.
void ResetItemState(UnitForest& forest, int node) {
  forest.at(node).ticked = false;
  forest.at(node).expanded = false;
}

// Moves Unit record `from` into slot `to` with its Motion values. blend_param moves too: it is
// saved with the Unit, so leaving it in the slot would hand every later Unit its neighbour's
// settings.
void MoveUnitRecord(Model& model, int from, int to) {
  Unit& target = model.units[to];
  const Unit& source = model.units[from];
  target.basis_type = source.basis_type;
  target.tree_expanded = source.tree_expanded;
  target.axis_angle = source.axis_angle;
  target.axis = source.axis;
  target.basis_position = source.basis_position;
  target.blend_param = source.blend_param;
  for (int m = 0; m < MotionLimit(model); ++m) {
    Motion& motion = model.motions[m];
    for (int k = 0; k < 3; ++k) motion.angle[k][to] = motion.angle[k][from];
    motion.translation[to] = motion.translation[from];
    motion.scale[to] = motion.scale[from];
  }
}

}  // namespace

int NodeOfItem(const Model& model, int item) {
  assert(model.parts_count >= 0 && model.parts_count <= model.node_count &&
         model.node_count <= kMaxNodes);
  if (item < 0 || item >= model.node_count) return -1;
  return model.forest.Contains(item) ? item : -1;
}

int FindNodeByName(const Model& model, std::string_view name) {
  assert(model.node_count <= kMaxNodes);
  for (int n = 0; n < model.node_count; ++n) {
    if (model.node_name[n] == name) return n;
  }
  return -1;
}

void ClearTicks(Model& model) {
  for (int n = 0; n < kForestCapacity; ++n) model.forest.at(n).ticked = false;
}

void UpdateSelectionState(Model& model) {
  const int n = NodeOfItem(model, model.forest.Selected());
  if (n < 0) return;
  model.selected_unit = model.IsUnitNode(n) ? model.UnitOfNode(n) : -1;
}

bool IsHighlighted(const Model& model, int node) {
  const int selected = NodeOfItem(model, model.forest.Selected());
  if (selected < 0 || node < 0) return false;
  if (!model.IsUnitNode(selected)) return node == selected;
  // A forest has no cycles; the bound only guards against a damaged one.
  int above = model.forest.ParentOf(node);
  for (int steps = 0; above != kTopLevel && steps < kForestCapacity; ++steps) {
    if (above == selected) return true;
    above = model.forest.ParentOf(above);
  }
  return false;
}

bool CreateUnitNode(Model& model) {
  const int n = model.node_count;
  if (model.parts_count < 0 || n < model.parts_count || n >= kMaxCount) return false;
  if (model.forest.Contains(n)) return false;
  const int u = n - model.parts_count;
  model.forest.InsertSorted(n, kTopLevel, model.node_name);
  ResetItemState(model.forest, n);
  model.parent[n] = kTopLevel;

  Unit& unit = model.units[u];
  unit.basis_type = 1;
  unit.basis_position = {static_cast<float>(u % 7) * 0.15f - 0.7f, 0.7f, 0.0f};
  // The axis is always derived from axis_angle; a fresh slot would otherwise hold (0, 0, 0), which
  // turns a tilt-axis rotation into a shrink.
  DeriveAxis(model, u);
  for (Motion& motion : model.motions) {
    if (!motion.in_use) continue;
    for (int k = 0; k < 3; ++k) motion.angle[k][u] = 0;
    motion.translation[u] = {0.0f, 0.0f, 0.0f};
    motion.scale[u] = {1.0f, 1.0f, 1.0f};
  }
  model.node_count = n + 1;
  return true;
}

bool AddUnit(Model& model, Host& host) {
  if (model.node_count >= kMaxCount || model.parts_count < 0 ||
      model.node_count < model.parts_count) {
    host.Message("これ以上追加できません", MessageIcon::kNone);
    return false;
  }
  for (int number = 1; number <= 256; ++number) {
    char name[24];  // room for any int: the compiler cannot see that numbers stop at 256
    std::snprintf(name, sizeof name, "Unit_%03d", number);
    bool taken = false;
    for (int node = model.parts_count; node < model.node_count && !taken; ++node) {
      taken = model.node_name[node] == name;
    }
    if (!taken) {
      model.node_name[model.node_count] = name;
      break;
    }
  }
  const int unit = model.node_count - model.parts_count;
  if (!CreateUnitNode(model)) return false;
  model.selected_unit = unit;

  model.forest.Select(kTopLevel);
  model.forest.SortChildren(kTopLevel, model.node_name);
  for (int node = model.parts_count; node < model.node_count; ++node) {
    model.forest.SortChildren(node, model.node_name);
  }
  UpdateSelectionState(model);
  return true;
}

DeleteUnitsQuestion BuildDeleteUnitsQuestion(const Model& model) {
  DeleteUnitsQuestion question;
  std::string list;
  const int selected = NodeOfItem(model, model.forest.Selected());
  if (selected >= 0 && model.IsUnitNode(selected) && !model.forest.at(selected).ticked) {
    list += Cp932ToUtf8(model.node_name[selected]) + "\n";
    question.count = 1;
  }
  bool cut = false;
  assert(model.parts_count >= 0 && model.parts_count <= model.node_count &&
         model.node_count <= kMaxNodes);
  for (int node = model.parts_count; node < model.node_count; ++node) {
    if (!model.forest.Contains(node) || !model.forest.at(node).ticked) continue;
    if (question.count < kMaxListedUnits) {
      list += Cp932ToUtf8(model.node_name[node]) + "\n";
    } else {
      cut = true;
    }
    ++question.count;
  }
  if (cut) list += "･･･\n";
  question.text =
      list + "\n以上の" + std::to_string(question.count) + "個のユニットを削除しますか？";
  return question;
}

bool DeleteUnitsCommand(Model& model, Host& host) {
  const DeleteUnitsQuestion question = BuildDeleteUnitsQuestion(model);
  if (question.count <= 0) return false;
  if (host.Question(question.text, Buttons::kYesNo, MessageIcon::kNone) != Answer::kYes) {
    return false;
  }
  DeleteTickedUnits(model);
  return true;
}

void DeleteTickedUnits(Model& model) {
  const int selected = NodeOfItem(model, model.forest.Selected());
  if (selected >= 0) model.forest.at(selected).ticked = true;
  std::vector<int> doomed = TickedUnitsDeepestFirst(model);
  for (size_t i = 0; i < doomed.size(); ++i) {
    const int node = doomed[i];
    DeleteUnitNode(model, node);
    // Every node behind the deleted one moved down one place.
    for (size_t j = i + 1; j < doomed.size(); ++j) {
      if (doomed[j] > node) --doomed[j];
    }
  }
  RecomputeParents(model);
  UpdateSelectionState(model);
  RestoreExpansion(model);
  ClearTicks(model);
}

void DeleteUnitNode(Model& model, int node) {
  if (NodeOfItem(model, node) < 0 || !model.IsUnitNode(node)) return;
  const int unit = model.UnitOfNode(node);
  const int old_node_count = model.node_count;
  const int old_unit_count = model.unit_count();
  assert(old_unit_count <= kMaxUnits);
  model.units[unit].basis_type = 0;

  // Children move up one level; every re-created item is inserted sorted, so each sibling list
  // below comes out ordered by name.
  UnitForest& forest = model.forest;
  const std::vector<int> below = forest.CollectDescendants(node);
  std::vector<int> old_parent;
  old_parent.reserve(below.size());
  for (int d : below) old_parent.push_back(forest.ParentOf(d));
  const int up = forest.ParentOf(node);
  const int selected = forest.Selected();
  forest.RemoveSubtree(node);
  for (size_t i = 0; i < below.size(); ++i) {
    forest.InsertSorted(below[i], old_parent[i] == node ? up : old_parent[i], model.node_name);
  }
  if (selected == node) {
    forest.Select(up);
  } else if (selected != kTopLevel && forest.Contains(selected)) {
    forest.Select(selected);
  }

  // Close the gap: the nodes and Unit records behind the deleted one move down one place.
  std::array<int, kForestCapacity> new_number;
  for (int n = 0; n < kForestCapacity; ++n) new_number[n] = n < node ? n : n - 1;
  new_number[node] = -1;
  forest.Renumber(new_number);
  for (int n = node; n + 1 < old_node_count; ++n) model.node_name[n] = model.node_name[n + 1];
  model.node_name[old_node_count - 1].clear();
  model.parent[old_node_count - 1] = 0;
  for (int u = unit; u + 1 < old_unit_count; ++u) MoveUnitRecord(model, u + 1, u);
  model.units[old_unit_count - 1].basis_type = 0;

  if (model.selected_unit == unit) {
    model.selected_unit = -1;
  } else if (model.selected_unit > unit) {
    --model.selected_unit;
  }
  model.node_count = old_node_count - 1;
  RecomputeParents(model);
}

namespace {

// Moves `node` with its subtree under the node that `target` names: the top level for kTopLevel,
// the target's parent for a Part target, the target itself for a Unit. A target that is the node
// itself or lies below it, or is no node of the forest, changes nothing.
void MoveNode(Model& model, int node, int target) {
  if (NodeOfItem(model, node) < 0) return;
  if (target != kTopLevel && NodeOfItem(model, target) < 0) return;
  UnitForest& forest = model.forest;
  if (target != kTopLevel && forest.IsInSubtree(target, node)) return;
  int new_parent = kTopLevel;
  if (target != kTopLevel) new_parent = model.IsUnitNode(target) ? target : forest.ParentOf(target);

  const std::vector<int> below = forest.CollectDescendants(node);
  forest.Detach(node);
  forest.InsertSorted(node, new_parent, model.node_name);
  // The node and its subtree are re-created: unticked, collapsed, each sibling list in name order.
  ResetItemState(forest, node);
  forest.SortChildren(node, model.node_name);
  for (int d : below) {
    ResetItemState(forest, d);
    forest.SortChildren(d, model.node_name);
  }
}

}  // namespace

void DropTickedNodes(Model& model, int dragged, int target) {
  UnitForest& forest = model.forest;
  if (NodeOfItem(model, dragged) >= 0) forest.at(dragged).ticked = true;
  assert(model.parts_count >= 0 && model.parts_count <= model.node_count &&
         model.node_count <= kMaxNodes);
  const int parts_count = model.parts_count;
  for (int part = 0; part < parts_count; ++part) {
    if (forest.Contains(part) && forest.at(part).ticked) MoveNode(model, part, target);
  }
  for (int unit_node : TickedUnitsDeepestFirst(model)) MoveNode(model, unit_node, target);

  forest.Select(NodeOfItem(model, target));
  forest.SortChildren(kTopLevel, model.node_name);
  RecomputeParents(model);
  ClearTicks(model);
  if (NodeOfItem(model, target) >= 0 && model.IsUnitNode(target)) {
    model.units[model.UnitOfNode(target)].tree_expanded = 2;
    forest.at(target).expanded = true;
  }
  UpdateSelectionState(model);
}

void RestoreExpansion(Model& model) {
  assert(model.parts_count >= 0 && model.parts_count <= model.node_count &&
         model.node_count <= kMaxNodes);
  for (int node = model.parts_count; node < model.node_count; ++node) {
    if (model.forest.Contains(node)) {
      model.forest.at(node).expanded = model.units[model.UnitOfNode(node)].tree_expanded == 2;
    }
  }
  // The selected node stays in sight: every Unit above it opens.
  int above = model.forest.ParentOf(NodeOfItem(model, model.forest.Selected()));
  for (int steps = 0; model.IsUnitNode(above) && steps < kForestCapacity; ++steps) {
    model.forest.at(above).expanded = true;
    model.units[model.UnitOfNode(above)].tree_expanded = 2;
    above = model.forest.ParentOf(above);
  }
}

bool GroupRootNodes(Model& model, Host& host) {
  // The forest's top level rather than the parent table: a loaded table may hold a parent the
  // forest could not use (a Part, a later node), and such a node hangs at the top level too.
  ClearTicks(model);
  for (int node : model.forest.ChildrenOf(kTopLevel)) model.forest.at(node).ticked = true;
  if (!AddUnit(model, host)) {
    ClearTicks(model);
    return false;
  }
  const int group = model.node_count - 1;
  const int unit = model.UnitOfNode(group);
  model.units[unit] = Unit{};
  model.units[unit].blend_param = {0, 0, 0, 0};
  model.units[unit].basis_type = 1;
  model.units[unit].axis_angle[2] = 90;
  DeriveAxis(model, unit);
  DropTickedNodes(model, kTopLevel, group);
  return true;
}

}  // namespace vorna
