// Building Models in tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/hierarchy.h"
#include "model/model.h"

namespace vorna::test {

// A reset Model on the heap (the fixed tables are too large for a test's stack).
inline std::unique_ptr<Model> NewModel() {
  auto model = std::make_unique<Model>();
  Reset(*model);
  return model;
}

// A loaded VRN model: the Parts (one vertex each), then the Units of `basis_type`, with the given
// parent nodes (-1: top level), one Motion in use.
inline std::unique_ptr<Model> Loaded(const std::vector<std::string>& parts,
                                     const std::vector<std::string>& units,
                                     const std::vector<int>& parents, uint32_t basis_type = 2) {
  const int part_count = static_cast<int>(parts.size());
  auto model = NewModel();
  AllocateParts(*model, part_count);
  AllocateVertices(*model, part_count);
  for (int p = 0; p <= part_count; ++p) model->parts[p].first_vertex = static_cast<uint32_t>(p);
  model->node_count = static_cast<int>(parts.size() + units.size());
  for (size_t n = 0; n < parts.size() + units.size(); ++n) {
    model->node_name[n] = n < parts.size() ? parts[n] : units[n - parts.size()];
    model->parent[n] = parents[n];
  }
  for (int u = 0; u < model->unit_count(); ++u) model->units[u].basis_type = basis_type;
  model->motion_count = 1;
  model->motions[0].in_use = 1;
  BuildHierarchy(*model);
  return model;
}

}  // namespace vorna::test
