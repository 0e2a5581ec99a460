// What the user chose to see: fill mode, transparency, texture and ground toggles, playback and
// the camera (one of six fixed directions, or the free camera), with which editing dialog page is
// open (the tree's highlight is read from the model's selection when drawing). The editor owns one;
// drawing and the dialogs read it.
#pragma once

#include <array>
#include <cstdint>

#include "maths/vector.h"

namespace vorna {

enum FillMode : int32_t { kFillPoint = 1, kFillWireframe = 2, kFillSolid = 3 };

// The camera the mouse steers: it orbits about `target`, which starts at the model's centre. The
// fixed directions stay the start; the first gesture turns their view into this one.
struct FreeCamera {
  bool active = false;  // the view shows this camera rather than the fixed direction
  Vec3 target;
  float yaw = 0.0f;        // degrees about the vertical; 0 looks along +z as the front view does
  float elevation = 0.0f;  // degrees of the eye above the horizon, -90 .. 90
  // Eye to target. The orthographic view keeps the fixed views' eye distance and shows a width
  // of 2.0 * distance / 2.7 instead, so zooming means the same in both projections.
  float distance = 2.7f;

  friend bool operator==(const FreeCamera&, const FreeCamera&) = default;
};

struct ViewState {
  int32_t fill_mode = kFillSolid;
  int32_t part_alpha = 255;  // 128 while semi-transparent
  bool texture_colour_on = false;
  bool ground_on = false;
  bool playing = false;
  int32_t play_period_ms = 100;
  int32_t play_frame = 0;
  float view_yaw = 0.0f;            // degrees; -1 when a vertical view is chosen
  float view_pitch = -1.0f;         // degrees; -1 for a horizontal view
  int32_t texture_dialog_page = 0;  // 0 closed, 1 texture page, 2 material page
  int32_t unit_dialog_page = 0;     // 0 closed, 1 tilt, 2 XYZ, 3 translation, 4 scale
  bool unit_copy_open = false;
  FreeCamera free_camera;
  bool perspective = false;     // still frames too; playback always shows perspective
  bool headlight = true;        // while the camera is free (or weights show), light from the eye
  bool weight_display = false;  // parts coloured by the selected Unit's blend share
};

// The view state after a model reset: solid, opaque, 100 ms, front view, every toggle off. The
// projection and headlight choices are the user's way of looking and stay.
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
  view.free_camera = FreeCamera{};
  view.weight_display = false;
}

}  // namespace vorna
