#include "model/hierarchy.h"

#include <algorithm>
#include <cassert>

namespace vorna {

void BuildHierarchy(Model& model) {
  model.forest.Clear();
  assert(model.parts_count >= 0 && model.parts_count <= model.node_count &&
         model.node_count <= kMaxNodes);
  const int node_count = model.node_count;
  const int parts_count = model.parts_count;
  // A usable parent is a Unit already placed in the forest.
  auto usable_parent = [&](int node) {
    const int parent = model.parent[node];
    if (parent <= 0 || parent >= node_count || parent == node) return kTopLevel;
    if (parent < parts_count || !model.forest.Contains(parent)) return kTopLevel;
    return parent;
  };
  for (int n = parts_count; n < node_count; ++n) {
    const int parent = usable_parent(n);
    if (parent == kTopLevel) {
      model.forest.InsertAppended(n, kTopLevel);
    } else {
      model.forest.InsertSorted(n, parent, model.node_name);
    }
  }
  for (int p = 0; p < parts_count; ++p) {
    model.forest.InsertSorted(p, usable_parent(p), model.node_name);
  }
  for (int n = parts_count; n < node_count; ++n) {
    if (model.forest.Contains(n)) {
      model.forest.at(n).expanded = model.units[n - parts_count].tree_expanded == 2;
    }
  }
}

std::vector<int> CollectDescendants(const Model& model, int node) {
  return model.forest.CollectDescendants(node);
}

void RecomputeParents(Model& model) {
  for (int n = 0; n < model.node_count && n < kMaxNodes; ++n) {
    model.parent[n] = model.forest.ParentOf(n);
  }
}

void RefreshSaveOrder(Model& model) {
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  const int unit_count = model.unit_count();
  std::array<bool, kMaxUnits> placed{};
  int position = 0;
  for (int node : model.forest.CollectDescendants(kTopLevel)) {
    if (!model.IsUnitNode(node)) continue;
    const int unit = model.UnitOfNode(node);
    if (unit >= unit_count || placed[unit]) continue;
    placed[unit] = true;
    model.units[position++].save_order = static_cast<uint32_t>(unit);
  }
  for (int unit = 0; unit < unit_count; ++unit) {
    if (!placed[unit]) model.units[position++].save_order = static_cast<uint32_t>(unit);
  }
}

int ParentRemap(const Model& model, int node) {
  const int parent = model.forest.ParentOf(node);
  if (parent == kTopLevel || !model.IsUnitNode(parent)) return 0;
  const uint32_t parent_unit = static_cast<uint32_t>(model.UnitOfNode(parent));
  for (int k = 0; k < model.unit_count() && k < kMaxUnits; ++k) {
    if (model.units[k].save_order == parent_unit) return model.parts_count + k;
  }
  return 0;
}

}  // namespace vorna
