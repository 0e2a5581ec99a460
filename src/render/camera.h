// The view's device, its fixed render state, the camera (six axis-aligned directions or the free
// camera the mouse steers; orthographic while the model stands still unless perspective is
// chosen, perspective while an anim plays), the one directional light, and RenderFrame, which
// draws one complete frame on demand.
//
// Everything a frame needs beyond the Model and the ViewState lives in a RenderContext that the
// caller owns: the device, the fixed meshes, the camera last drawn, the marker size and the
// texture preview's settings. Nothing here keeps state of its own.
#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "maths/matrix.h"
#include "maths/vector.h"
#include "model/model.h"
#include "render/device.h"
#include "render/mesh_drawing.h"
#include "render/view_state.h"

namespace vorna {

// Shown (caption "VORNA", OK only) when InitDevice fails; the window then asks whether to quit.
inline constexpr std::string_view kDeviceInitFailedMessage = "D3D9の初期化に失敗しました";

// The camera settings a frame was drawn with. The view is recomputed when any of them changes;
// the target height is part of it so that a newly loaded model of another height is not shown
// with the previous model's camera.
struct CameraSettings {
  float view_pitch = 0.0f;
  float view_yaw = 0.0f;
  float target_height = 0.0f;
  FreeCamera free_camera;
  bool perspective = false;  // the projection drawn: the toggle, or playback

  friend bool operator==(const CameraSettings&, const CameraSettings&) = default;
};

struct RenderContext {
  std::unique_ptr<Device> device;  // null until InitDevice succeeds
  FixedMeshes meshes;
  Vec3 eye_position;           // set by SetupView, read by the depth sort
  CameraSettings last_camera;  // both angles 0 at start, so the first frame sets the view
  // The unit markers' size relative to their built size (SetMarkerScale).
  float marker_scale = 1.0f;
  Material default_material;  // the colour look's material (SetDefaultMaterial)
  TexturePreviewSettings preview;
  // Frames start fully transparent instead of opaque black (pictures meant to sit on any
  // background, such as file thumbnails); what is drawn stays opaque.
  bool transparent_background = false;
  uint64_t frames_drawn = 0;  // by RenderFrame; lets a view tell how often it really redrew
};

// Creates the device with a width x height back buffer, builds the fixed meshes and sets the
// fixed state (SetupDeviceState). Returns false, leaving the device null, when the device cannot
// be created: a side of 0 or below, beyond Device::kMaxSide, or no memory for the buffers.
bool InitDevice(RenderContext& context, const ViewState& view, int width, int height);

// Gives the back buffer the view's new size and sets the projection for it; the caller draws the
// next frame. False (nothing changes) without a device or for a size InitDevice would refuse.
bool ResizeView(RenderContext& context, const ViewState& view, int width, int height);

// The fixed state: projection, counter-clockwise culling, depth test, the viewer at infinity,
// one-weight vertex blending, the texture stage (colour texture * diffuse, alpha texture +
// diffuse - 0.5), linear filtering with linear mip blending, source-alpha blending for
// everything, and the default grey material.
void SetupDeviceState(RenderContext& context, const ViewState& view);

// Orthographic, 2.0 wide and as high as the view's aspect gives, while not playing and not
// switched to perspective; perspective with a 45 degree vertical field of view otherwise. Near
// 0.01, far 10. The free camera scales the orthographic width by its distance / 2.7 and moves
// the far plane out with its eye.
void SetupProjection(RenderContext& context, const ViewState& view);

// The eye 2.7 from the model's centre height on the chosen direction: horizontal views from
// view_yaw, vertical ones from view_pitch (then a tiny z offset keeps the look direction off the
// up vector). The free camera's eye instead (see FreeCamera). Sets eye_position and the view
// transform.
void SetupView(RenderContext& context, const Model& model, const ViewState& view);

// Light 0: a white-ish directional light from above and to the side of the current direction,
// enabled, with the ambient level 0x60. With the headlight on, while the camera is free or the
// weight display shows, the light comes from the eye, a little from above and to the left, so
// the faces turned to the viewer are lit (and show their colours) whichever way the camera looks.
void SetupLight(Device& device, const ViewState& view);

// The free camera's frame: where the eye is and which way the view's right, up and forward point.
struct CameraBasis {
  Vec3 eye;
  Vec3 right;
  Vec3 up;
  Vec3 forward;
};

// True when frames are drawn with the perspective projection.
bool UsesPerspective(const ViewState& view);

// The basis of `camera`; `perspective` places the eye at the camera's distance, the orthographic
// view at the fixed views' 2.7.
CameraBasis FreeCameraBasis(const FreeCamera& camera, bool perspective);

// A free camera showing what the chosen fixed direction shows: target at the model's centre
// height on the vertical axis, the direction's angles, distance 2.7. The view state's own free
// camera when it is already active.
FreeCamera CurrentFreeCamera(const Model& model, const ViewState& view);

// Turns the camera about its target: yaw by `yaw_degrees` (wrapped to 0 .. 360), the elevation by
// `elevation_degrees` (held within -90 .. 90, where the view looks straight down or up).
void OrbitCamera(FreeCamera& camera, float yaw_degrees, float elevation_degrees);

// Moves the target across the view so that what was under the cursor follows it: (dx, dy) in
// pixels of a width x height view, y down.
void PanCamera(FreeCamera& camera, bool perspective, float dx, float dy, int width, int height);

// Scales the distance by `factor` (below 1 comes closer), keeping the point under the cursor
// (x, y pixels of a width x height view) where it is on screen. The distance stays within 0.01
// .. 100.
void ZoomCamera(FreeCamera& camera, bool perspective, float factor, float x, float y, int width,
                int height);

// The point of the last drawn frame under pixel (x, y), from its depth buffer and the transforms
// it was drawn with; nothing over the background or outside the view, or without a device.
std::optional<Vec3> PickPoint(const RenderContext& context, int x, int y);

// Diffuse and ambient (r, g, b, 0), no specular, emissive or power, and specular highlights on.
// The colour look draws with this material.
void SetDefaultMaterial(RenderContext& context, float r, float g, float b);

// Sets the marker size for a model of size `model_size` (ModelSize in model/bounds.h), the
// load's and the size dialog's hook. The markers follow the model's size rather than growing
// with every application: applying the same size twice leaves them as they are.
void SetMarkerScale(RenderContext& context, double model_size);

// What a frame shows, decided by the view state alone.
enum class FrameBranch {
  kPlaying,         // the pose the playback tick evaluated: parts and ground
  kTexturePreview,  // the texture page of the texture dialog: its preview only
  kModel,           // current_motion evaluated: markers, parts and ground
};

struct FramePlan {
  FrameBranch branch = FrameBranch::kModel;
  bool markers = false;  // every unit's marker, before the parts
  bool ground = false;
  PartLook look = PartLook::kColour;

  friend bool operator==(const FramePlan&, const FramePlan&) = default;
};

FramePlan PlanFrame(const ViewState& view);

// Draws one frame into the back buffer: clears it to opaque black (or to transparent, see
// RenderContext), recomputes the view when the
// camera settings changed, and draws as PlanFrame says (evaluating current_motion's pose in the
// kModel branch). Returns false, drawing nothing, without a device. The back buffer holds the
// finished frame afterwards; presenting it is the caller's.
bool RenderFrame(RenderContext& context, Model& model, const ViewState& view);

// The drawing steps' view of the context, for calling them outside RenderFrame.
DrawingContext MakeDrawingContext(RenderContext& context);

// Builders of the fixed-function camera matrices (left-handed, row vectors).
Matrix OrthoLH(float width, float height, float near_plane, float far_plane);
Matrix PerspectiveFovLH(float fov_y, float aspect, float near_plane, float far_plane);
Matrix LookAtLH(Vec3 eye, Vec3 at, Vec3 up);

}  // namespace vorna
