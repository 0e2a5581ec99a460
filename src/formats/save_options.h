// What the writers of our own formats leave out on request.
#pragma once

namespace vorna {

// All on for an overwrite save; the save-format dialogs' "なし" boxes turn them off.
struct SaveOptions {
  bool skin = true;         // blend weights and blend settings
  bool translation = true;  // the Motions' translations
  bool scale = true;        // the Motions' scales
  bool anim = true;         // the Anims
};

// What the readers do beyond parsing.
struct ReadOptions {
  // Decode the texture files the model names. Off for fuzzing and quick inspection.
  bool load_textures = true;
};

}  // namespace vorna
