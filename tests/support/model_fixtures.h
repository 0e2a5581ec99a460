// Building Models in tests.
#pragma once

#include <memory>

#include "model/model.h"

namespace vorna::test {

// A reset Model on the heap (the fixed tables are too large for a test's stack).
inline std::unique_ptr<Model> NewModel() {
  auto model = std::make_unique<Model>();
  Reset(*model);
  return model;
}

}  // namespace vorna::test
