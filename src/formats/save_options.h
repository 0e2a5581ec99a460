// What a save may be told beyond the path: one set of options that every format's writer takes,
// each reading the part that concerns it, so that the editor's dialogs and the command line fill
// them in without knowing which writer runs.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "io/progress.h"

namespace vorna {

// The X file service's own encoding codes.
enum class XFileFormat : uint32_t { kBinary = 0, kText = 1, kCompressedBinary = 2 };

// One interval per entry of the X export dialog's list (the Motions of each Anim, plus one for
// its loop). Entries past the table's end have no slot of their own and use its last slot.
inline constexpr int kKeyIntervalSlots = 999;
// What the X export dialog and the command line accept: ticks from one key to the next and
// ticks per second, each from 1, with their defaults.
inline constexpr uint32_t kMaxXKeyInterval = 1000;
inline constexpr uint32_t kMaxXTicksPerSecond = 4800000;
inline constexpr uint32_t kDefaultXKeyInterval = 30;
inline constexpr uint32_t kDefaultXTicksPerSecond = 240;

// The .x export's choices, as its dialog opens: text, no skin, no loop, speed 240, every
// interval 30.
struct XOptions {
  uint8_t loop = 0;  // the "ALL" set repeats its first Motion as a last key (no Anim only)
  uint8_t skin = 0;  // skinned meshes, one per root Unit, instead of one mesh per Unit
  std::array<uint32_t, kKeyIntervalSlots> key_intervals = FilledIntervals(kDefaultXKeyInterval);
  uint32_t ticks_per_second = kDefaultXTicksPerSecond;
  XFileFormat format = XFileFormat::kText;

  static std::array<uint32_t, kKeyIntervalSlots> FilledIntervals(uint32_t ticks) {
    std::array<uint32_t, kKeyIntervalSlots> a;
    a.fill(ticks);
    return a;
  }
};

// The glTF export's choices. Keys closer than a millisecond or further apart than a minute are
// refused: times that far out lose the keys' order or precision in single-precision floats.
inline constexpr double kMinGltfKeyInterval = 0.001;
inline constexpr double kMaxGltfKeyInterval = 60.0;
struct GltfOptions {
  double key_interval = 0.125;  // seconds between two keys of an animation
};

// What a save did beside the model that the user is told: texture files copied from the
// model's old folder, and files written under another name because another file had theirs.
struct BesideReport {
  std::vector<std::string> copied;
  std::vector<std::pair<std::string, std::string>> renamed;  // the name taken, the one written
  bool any() const { return !copied.empty() || !renamed.empty(); }
};

// All on for an overwrite save; the save-format dialogs' "なし" boxes turn the first four off.
struct SaveOptions {
  bool skin = true;         // blend weights and blend settings
  bool translation = true;  // the Motions' translations
  bool scale = true;        // the Motions' scales
  bool anim = true;         // the Anims
  XOptions x;
  GltfOptions gltf;
  // Told the bytes written to the temporary file; a stop before the rename leaves the old file
  // as it was and fails the save.
  ProgressCallback progress;
  // Filled by a save that did something beside the model the user should hear of (may be null).
  BesideReport* beside = nullptr;
};

}  // namespace vorna
