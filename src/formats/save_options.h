// What the writers of our own formats leave out on request.
#pragma once

#include "io/progress.h"

namespace vorna {

// All on for an overwrite save; the save-format dialogs' "なし" boxes turn them off.
struct SaveOptions {
  bool skin = true;         // blend weights and blend settings
  bool translation = true;  // the Motions' translations
  bool scale = true;        // the Motions' scales
  bool anim = true;         // the Anims
  // Told the bytes written to the temporary file; a stop before the rename leaves the old file
  // as it was and fails the save.
  ProgressCallback progress;
};

}  // namespace vorna
