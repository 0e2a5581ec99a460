#include "model/unit_forest.h"

#include <algorithm>

namespace vorna {

namespace {
const std::vector<int> kNoChildren;
}

void UnitForest::Clear() {
  for (ForestNode& n : nodes_) n = ForestNode{};
  roots_.clear();
  selected_ = kTopLevel;
}

const std::vector<int>& UnitForest::ChildrenOf(int parent) const {
  if (parent == kTopLevel) return roots_;
  return Contains(parent) ? nodes_[parent].children : kNoChildren;
}

void UnitForest::Link(int node, int parent, size_t position) {
  std::vector<int>& siblings = ChildrenRef(parent);
  position = std::min(position, siblings.size());
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(position), node);
  ForestNode& n = nodes_[node];
  n.present = true;
  n.parent = parent;
}

bool UnitForest::InsertAppended(int node, int parent) {
  if (!CanInsert(node, parent)) return false;
  Link(node, parent, ChildrenRef(parent).size());
  return true;
}

bool UnitForest::InsertAt(int node, int parent, size_t position) {
  if (!CanInsert(node, parent)) return false;
  Link(node, parent, position);
  return true;
}

bool UnitForest::Detach(int node) {
  if (!Contains(node)) return false;
  std::vector<int>& siblings = ChildrenRef(nodes_[node].parent);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
  nodes_[node].present = false;
  nodes_[node].parent = kTopLevel;
  return true;
}

void UnitForest::RemoveSubtree(int node) {
  if (!Contains(node)) return;
  const std::vector<int> below = CollectDescendants(node);
  if (IsInSubtree(selected_, node)) selected_ = kTopLevel;
  Detach(node);
  nodes_[node] = ForestNode{};
  for (int d : below) nodes_[d] = ForestNode{};
}

bool UnitForest::IsInSubtree(int node, int ancestor) const {
  // Bounded walk: a well-formed forest has no cycles, but never trust that blindly.
  for (int steps = 0; Contains(node) && steps <= kForestCapacity; ++steps) {
    if (node == ancestor) return true;
    node = nodes_[node].parent;
  }
  return false;
}

std::vector<int> UnitForest::CollectDescendants(int node) const {
  std::vector<int> list;
  if (node != kTopLevel && !Contains(node)) return list;
  const std::vector<int>& first = ChildrenOf(node);
  list.insert(list.end(), first.begin(), first.end());
  for (size_t i = 0; i < list.size() && list.size() <= kForestCapacity; ++i) {
    const std::vector<int>& children = nodes_[list[i]].children;
    list.insert(list.end(), children.begin(), children.end());
  }
  return list;
}

void UnitForest::Renumber(const std::array<int, kForestCapacity>& new_number) {
  std::array<ForestNode, kForestCapacity> renumbered{};
  auto map = [&](int n) { return n == kTopLevel ? kTopLevel : new_number[n]; };
  for (int n = 0; n < kForestCapacity; ++n) {
    if (!nodes_[n].present || new_number[n] < 0) continue;
    ForestNode moved = std::move(nodes_[n]);
    moved.parent = map(moved.parent);
    for (int& child : moved.children) child = map(child);
    renumbered[new_number[n]] = std::move(moved);
  }
  for (int& root : roots_) root = map(root);
  nodes_ = std::move(renumbered);
  if (selected_ != kTopLevel)
    selected_ = new_number[selected_] < 0 ? kTopLevel : new_number[selected_];
}

}  // namespace vorna
