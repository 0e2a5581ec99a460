// What the readers of model files do beyond parsing.
#pragma once

#include <string>
#include <vector>

#include "io/progress.h"

namespace vorna {

// What a reader that keeps what it could read of a damaged file could not read. Both lists name
// records by their keys.
struct ReadDamage {
  std::vector<std::string> cut;      // records the file ends inside ("" for one not named yet)
  std::vector<std::string> missing;  // records every file holds that never came
  bool any() const { return !cut.empty() || !missing.empty(); }
};

struct ReadOptions {
  // Decode the texture files the model names. Off for fuzzing and quick inspection.
  bool load_textures = true;
  // Told the bytes read (of the decompressed size for compressed files); a stop fails the read
  // with ReadErrorKind::kCancelled.
  ProgressCallback progress;
  // Filled by the binary VRN and VR2 readers when they keep a damaged file (may be null).
  ReadDamage* damage = nullptr;
};

}  // namespace vorna
