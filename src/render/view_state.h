// What the user chose to see: fill mode, transparency, texture and ground toggles, playback and
// the camera direction, with the tree's highlight and which editing dialog page is open. The
// editor owns one; drawing and the dialogs read it.
#pragma once

#include <array>
#include <cstdint>

namespace vorna {

enum FillMode : int32_t { kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3 };

struct ViewState {
  int32_t fill_mode = kFillSolid;
  int32_t part_alpha = 255;  // 128 while semi-transparent
  bool texture_colour_on = false;
  bool ground_on = false;
  bool playing = false;
  int32_t play_period_ms = 100;
  int32_t play_frame = 0;
  float view_yaw = 0.0f;     // degrees; -1 when a vertical view is chosen
  float view_pitch = -1.0f;  // degrees; -1 for a horizontal view
  // One flag per node: the node lies under the selected tree item.
  std::array<uint8_t, 256> node_highlight{};
  int32_t texture_dialog_page = 0;  // 0 closed, 1 texture page, 2 material page
  int32_t unit_dialog_page = 0;     // 0 closed, 1 tilt, 2 XYZ, 3 translation, 4 scale
  bool unit_copy_open = false;
};

// The view state after a model reset: solid, opaque, 100 ms, front view, every toggle off.
inline void ResetViewState(ViewState& view) {
  view.fill_mode = kFillSolid;
  view.part_alpha = 255;
  view.play_period_ms = 100;
  view.view_yaw = 0.0f;
  view.view_pitch = -1.0f;
  view.texture_colour_on = false;
  view.ground_on = false;
  view.playing = false;
  view.play_frame = 0;
}

}  // namespace vorna
