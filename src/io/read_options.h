// What the readers of model files do beyond parsing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "io/progress.h"

namespace vorna {

struct SkeletonReport;  // animation/skeleton_import.h

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
  // Skeletons, skins and animations become Units, blend weights, Motions and Anims in the
  // formats that carry them; unset: the format's own default (glTF yes, .x no).
  std::optional<bool> skeleton;
  // Seconds between the Motions sampled from other tools' animations (skeleton_import.h).
  double import_interval = 0.1;
  // Filled by a read that went through the skeletal import (may be null).
  SkeletonReport* skeleton_report = nullptr;
};

}  // namespace vorna
