#include "editor/view_backup.h"

namespace vorna {

ViewBackup BorrowView(ViewState& view) {
  const ViewBackup backup{view.part_alpha, view.fill_mode,  view.texture_colour_on, view.ground_on,
                          view.view_yaw,   view.view_pitch, view.free_camera};
  view.free_camera.active = false;
  return backup;
}

void RestoreView(const ViewBackup& backup, ViewState& view) {
  view.part_alpha = backup.part_alpha;
  view.fill_mode = backup.fill_mode;
  view.texture_colour_on = backup.texture_colour_on;
  view.ground_on = backup.ground_on;
  view.view_yaw = backup.view_yaw;
  view.view_pitch = backup.view_pitch;
  view.free_camera = backup.free_camera;
}

}  // namespace vorna
