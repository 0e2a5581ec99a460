// What an editing dialog that borrows the view puts back when it closes: the look, the ground and
// the camera as they were at its opening. Every such dialog keeps one of these rather than its
// own list of fields, so a new view setting is saved by all of them or none.
#pragma once

#include <cstdint>

#include "render/view_state.h"

namespace vorna {

struct ViewBackup {
  int32_t part_alpha = 255;
  int32_t fill_mode = kFillSolid;
  bool texture_colour_on = false;
  bool ground_on = false;
  float view_yaw = 0.0f;
  float view_pitch = -1.0f;
  FreeCamera free_camera;
};

// Saves the view and leaves the free camera: a dialog's preview and its direction items work on
// the fixed directions.
ViewBackup BorrowView(ViewState& view);
// Puts every saved setting back; the dialog pages and other flags are the caller's.
void RestoreView(const ViewBackup& backup, ViewState& view);

}  // namespace vorna
