// The unit hierarchy's rules over a Model: building the forest from the `parent` table after a
// load, mirroring it back, and the breadth-first order (save_order) that pose evaluation and
// every writer use.
#pragma once

#include <vector>

#include "model/model.h"

namespace vorna {

// Builds model.forest from the `parent` table, whichever format the model came from: the Units
// in node order (under a Unit parent sorted, at the top level appended), then the Parts in node
// order, sorted. A parent that is not an earlier Unit already in the forest (a Part, itself, a
// later node, a number outside the nodes, 0 as readers without Units leave it) puts the node at
// the top level, so any table gives a usable forest and a model without Units shows every Part.
void BuildHierarchy(Model& model);

// Breadth-first descendants of `node` (kTopLevel: every node), never `node` itself.
std::vector<int> CollectDescendants(const Model& model, int node);

// parent[n] = the forest parent of n, -1 at the top level, for every node.
void RecomputeParents(Model& model);

// save_order[k] = unit index at position k of the breadth-first order. Units missing from the
// forest follow in unit order, so save_order is always a permutation of the Units.
void RefreshSaveOrder(Model& model);

// The parent number node `node` gets in a written file (Parts in drawing order, then Units in
// save_order): 0 without a parent Unit, else parts_count + the parent's save_order position.
// Needs a current save_order.
int ParentRemap(const Model& model, int node);

}  // namespace vorna
