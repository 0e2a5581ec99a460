// What every model reader promises, whatever the bytes: a Model it accepts holds together, and
// one it refuses is empty.
#pragma once

#include "model/model.h"
#include "model/model_check.h"

namespace vorna::fuzz {

inline void CheckReaderResult(bool accepted, const Model& model) {
  if (accepted) {
    if (!CheckModel(model, nullptr) || model.parts_count >= kMaxParts || model.parts_count <= 0 ||
        model.total_face_count <= 0) {
      __builtin_trap();
    }
  } else if (model.parts_count != 0 || !model.positions.empty()) {
    __builtin_trap();
  }
}

}  // namespace vorna::fuzz
