// The ordered forest of a Model's nodes (Parts and Units). It is the authority for the order of
// siblings; the Model's `parent` table mirrors its links. Units may hold Units and Parts; Parts
// hold nothing. The editor's tree widget mirrors this forest, including ticks and expansion.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

inline constexpr int kForestCapacity = 256;
// The parent of a top-level node.
inline constexpr int kTopLevel = -1;

struct ForestNode {
  bool present = false;
  int parent = kTopLevel;
  std::vector<int> children;
  bool ticked = false;
  bool expanded = false;
  friend bool operator==(const ForestNode&, const ForestNode&) = default;
};

class UnitForest {
 public:
  void Clear();

  bool Contains(int node) const { return Valid(node) && nodes_[node].present; }
  bool Empty() const { return roots_.empty(); }
  // kTopLevel for a top-level node or for a node not in the forest.
  int ParentOf(int node) const { return Contains(node) ? nodes_[node].parent : kTopLevel; }
  // The ordered children of `parent`; kTopLevel gives the top-level nodes.
  const std::vector<int>& ChildrenOf(int parent) const;
  ForestNode& at(int node) { return nodes_[node]; }
  const ForestNode& at(int node) const { return nodes_[node]; }

  // Inserts `node` under `parent` (kTopLevel or a node already present) before the first sibling
  // whose name compares greater byte by byte, so equal names keep their insertion order. Returns
  // false (and changes nothing) when `node` is present already or `parent` is not in the forest.
  template <typename Names>
  bool InsertSorted(int node, int parent, const Names& names) {
    if (!CanInsert(node, parent)) return false;
    std::vector<int>& siblings = ChildrenRef(parent);
    size_t position = 0;
    while (position < siblings.size() &&
           !(std::string_view(names[node]) < std::string_view(names[siblings[position]]))) {
      ++position;
    }
    Link(node, parent, position);
    return true;
  }
  // Orders the children of `parent` (kTopLevel: the top level) by name byte by byte, as
  // InsertSorted compares; equal names keep their order. One level only.
  template <typename Names>
  void SortChildren(int parent, const Names& names) {
    if (parent != kTopLevel && !Contains(parent)) return;
    std::vector<int>& siblings = ChildrenRef(parent);
    std::stable_sort(siblings.begin(), siblings.end(), [&](int a, int b) {
      return std::string_view(names[a]) < std::string_view(names[b]);
    });
  }

  // The selected node, kTopLevel when nothing is selected. Selecting a node not in the forest
  // clears the selection.
  int Selected() const { return selected_; }
  void Select(int node) { selected_ = Contains(node) ? node : kTopLevel; }

  // Inserts `node` under `parent` after its last child.
  bool InsertAppended(int node, int parent);
  // Inserts `node` under `parent` at `position` among the siblings (clamped to the end).
  bool InsertAt(int node, int parent, size_t position);

  // Takes `node` out of its siblings; its children stay attached to it. Returns false when it is
  // not present.
  bool Detach(int node);
  // Removes `node` and its whole subtree from the forest (and the selection when it lay there).
  void RemoveSubtree(int node);
  // True when `node` is `ancestor` or lies below it.
  bool IsInSubtree(int node, int ancestor) const;

  // Breadth-first list of every node below `node` (kTopLevel: the whole forest), never `node`.
  std::vector<int> CollectDescendants(int node) const;

  // Renumbers the nodes: node n becomes new_number[n]; nodes mapped to -1 must have been removed.
  void Renumber(const std::array<int, kForestCapacity>& new_number);

  friend bool operator==(const UnitForest&, const UnitForest&) = default;

 private:
  static bool Valid(int node) { return node >= 0 && node < kForestCapacity; }
  bool CanInsert(int node, int parent) const {
    return Valid(node) && !nodes_[node].present && (parent == kTopLevel || Contains(parent));
  }
  std::vector<int>& ChildrenRef(int parent) {
    return parent == kTopLevel ? roots_ : nodes_[parent].children;
  }
  void Link(int node, int parent, size_t position);

  std::array<ForestNode, kForestCapacity> nodes_{};
  std::vector<int> roots_;
  int selected_ = kTopLevel;
};

}  // namespace vorna
