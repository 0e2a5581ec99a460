#include "render/camera.h"

#include <algorithm>
#include <cmath>

#include "animation/pose.h"

namespace vorna {

namespace {

constexpr float kNearPlane = 0.01f;
constexpr float kFarPlane = 10.0f;
constexpr float kOrthoWidth = 2.0f;
constexpr float kFieldOfView = 0.7853982f;  // pi / 4
constexpr float kEyeDistance = 2.7f;
// Keeps the look direction of the vertical views off the up vector, so the view stays finite.
constexpr float kVerticalEyeOffset = 0.000001f;
constexpr uint32_t kAmbientLevel = 0x00606060;
constexpr float kDefaultGrey = 0.7f;

constexpr float kMinDistance = 0.01f;
constexpr float kMaxDistance = 100.0f;

float Radians(float degrees) { return degrees * kPi / 180.0f; }
float Degrees(float radians) { return radians * 180.0f / kPi; }

// Half the width and height the view shows in the plane through the camera's target.
void VisibleHalfSize(const FreeCamera& camera, bool perspective, int width, int height,
                     float& half_width, float& half_height) {
  const float aspect = static_cast<float>(width) / static_cast<float>(std::max(height, 1));
  if (perspective) {
    half_height = camera.distance * std::tan(kFieldOfView / 2.0f);
    half_width = half_height * aspect;
  } else {
    half_width = kOrthoWidth / 2.0f * camera.distance / kEyeDistance;
    half_height = half_width / aspect;
  }
}

// The free camera's angles and distance for the fixed direction chosen (its target is the
// caller's).
FreeCamera FixedDirectionCamera(const ViewState& view) {
  FreeCamera camera;
  camera.active = true;
  camera.distance = kEyeDistance;
  if (view.view_pitch == -1.0f) {
    camera.yaw = view.view_yaw;
    camera.elevation = 0.0f;
  } else {
    // The vertical views' tiny z offset puts the eye on the +z side: seen from yaw 180.
    camera.yaw = 180.0f;
    camera.elevation =
        std::clamp(Degrees(-std::asin(std::sin(Radians(view.view_pitch)))), -90.0f, 90.0f);
  }
  return camera;
}

}  // namespace

Matrix OrthoLH(float width, float height, float near_plane, float far_plane) {
  Matrix m = Identity();
  m.m[0][0] = 2.0f / width;
  m.m[1][1] = 2.0f / height;
  m.m[2][2] = 1.0f / (far_plane - near_plane);
  m.m[3][2] = -near_plane / (far_plane - near_plane);
  return m;
}

Matrix PerspectiveFovLH(float fov_y, float aspect, float near_plane, float far_plane) {
  Matrix m;
  const float ys = 1.0f / std::tan(fov_y / 2.0f);
  m.m[0][0] = ys / aspect;
  m.m[1][1] = ys;
  m.m[2][2] = far_plane / (far_plane - near_plane);
  m.m[2][3] = 1.0f;
  m.m[3][2] = -near_plane * far_plane / (far_plane - near_plane);
  return m;
}

Matrix LookAtLH(Vec3 eye, Vec3 at, Vec3 up) {
  const Vec3 z = Normalize(at - eye);
  const Vec3 x = Normalize(Cross(up, z));
  const Vec3 y = Cross(z, x);
  Matrix m;
  m.m[0][0] = x.x;
  m.m[0][1] = y.x;
  m.m[0][2] = z.x;
  m.m[1][0] = x.y;
  m.m[1][1] = y.y;
  m.m[1][2] = z.y;
  m.m[2][0] = x.z;
  m.m[2][1] = y.z;
  m.m[2][2] = z.z;
  m.m[3][0] = -Dot(x, eye);
  m.m[3][1] = -Dot(y, eye);
  m.m[3][2] = -Dot(z, eye);
  m.m[3][3] = 1.0f;
  return m;
}

bool InitDevice(RenderContext& context, const ViewState& view, int width, int height) {
  context.device = Device::Create(width, height);
  if (context.device == nullptr) return false;
  context.meshes = BuildFixedMeshes();
  SetupDeviceState(context, view);
  return true;
}

bool ResizeView(RenderContext& context, const ViewState& view, int width, int height) {
  if (context.device == nullptr || !context.device->Resize(width, height)) return false;
  SetupProjection(context, view);
  return true;
}

void SetupDeviceState(RenderContext& context, const ViewState& view) {
  if (context.device == nullptr) return;
  SetupProjection(context, view);
  RenderStates& states = context.device->render_states();
  states.cull_mode = CullMode::kCounterClockwise;
  states.depth_enable = true;
  states.local_viewer = false;
  states.vertex_blend = VertexBlend::kOneWeight;
  states.alpha_operation = AlphaOperation::kAddSigned;
  states.mag_filter = TextureFilter::kLinear;
  states.min_filter = TextureFilter::kLinear;
  states.mip_filter = TextureFilter::kLinear;
  states.alpha_blend_enable = true;
  states.source_blend = BlendFactor::kSourceAlpha;
  states.destination_blend = BlendFactor::kInverseSourceAlpha;
  SetDefaultMaterial(context, kDefaultGrey, kDefaultGrey, kDefaultGrey);
}

void SetupProjection(RenderContext& context, const ViewState& view) {
  if (context.device == nullptr) return;
  const float aspect =
      static_cast<float>(context.device->width()) / static_cast<float>(context.device->height());
  const FreeCamera& free = view.free_camera;
  Matrix projection;
  if (UsesPerspective(view)) {
    // The eye backs away with the distance; the far plane follows so the model stays inside.
    const float far_plane =
        free.active ? std::max(kFarPlane, free.distance - kEyeDistance + kFarPlane) : kFarPlane;
    projection = PerspectiveFovLH(kFieldOfView, aspect, kNearPlane, far_plane);
  } else {
    const float width = free.active ? kOrthoWidth * free.distance / kEyeDistance : kOrthoWidth;
    projection = OrthoLH(width, width / aspect, kNearPlane, kFarPlane);
  }
  context.device->SetTransform(TransformState::kProjection, projection);
}

bool UsesPerspective(const ViewState& view) { return view.playing || view.perspective; }

CameraBasis FreeCameraBasis(const FreeCamera& camera, bool perspective) {
  const float yaw = Radians(camera.yaw);
  const float elevation = Radians(camera.elevation);
  CameraBasis basis;
  basis.forward = {std::sin(yaw) * std::cos(elevation), -std::sin(elevation),
                   std::cos(yaw) * std::cos(elevation)};
  // Right stays horizontal, so the view never rolls and looking straight down is well defined.
  basis.right = {std::cos(yaw), 0.0f, -std::sin(yaw)};
  basis.up = Cross(basis.forward, basis.right);
  basis.eye = camera.target - basis.forward * (perspective ? camera.distance : kEyeDistance);
  return basis;
}

FreeCamera CurrentFreeCamera(const Model& model, const ViewState& view) {
  if (view.free_camera.active) return view.free_camera;
  FreeCamera camera = FixedDirectionCamera(view);
  camera.target = {0.0f, model.total_center.y, 0.0f};
  return camera;
}

void OrbitCamera(FreeCamera& camera, float yaw_degrees, float elevation_degrees) {
  if (!std::isfinite(yaw_degrees) || !std::isfinite(elevation_degrees)) return;
  camera.yaw = std::fmod(camera.yaw + yaw_degrees, 360.0f);
  if (camera.yaw < 0.0f) camera.yaw += 360.0f;
  camera.elevation = std::clamp(camera.elevation + elevation_degrees, -90.0f, 90.0f);
}

void PanCamera(FreeCamera& camera, bool perspective, float dx, float dy, int width, int height) {
  if (width <= 0 || height <= 0 || !std::isfinite(dx) || !std::isfinite(dy)) return;
  float half_width = 0.0f, half_height = 0.0f;
  VisibleHalfSize(camera, perspective, width, height, half_width, half_height);
  const CameraBasis basis = FreeCameraBasis(camera, perspective);
  camera.target = camera.target -
                  basis.right * (dx / static_cast<float>(width) * 2.0f * half_width) +
                  basis.up * (dy / static_cast<float>(height) * 2.0f * half_height);
}

void ZoomCamera(FreeCamera& camera, bool perspective, float factor, float x, float y, int width,
                int height) {
  if (width <= 0 || height <= 0 || !(factor > 0.0f) || !std::isfinite(factor)) return;
  const float distance = std::clamp(camera.distance * factor, kMinDistance, kMaxDistance);
  const float scale = distance / camera.distance;
  float half_width = 0.0f, half_height = 0.0f;
  VisibleHalfSize(camera, perspective, width, height, half_width, half_height);
  const CameraBasis basis = FreeCameraBasis(camera, perspective);
  // The point under the cursor in the target's plane; the view shrinks or grows about it.
  const float sx = 2.0f * x / static_cast<float>(width) - 1.0f;
  const float sy = 1.0f - 2.0f * y / static_cast<float>(height);
  const Vec3 cursor =
      camera.target + basis.right * (sx * half_width) + basis.up * (sy * half_height);
  camera.target = cursor + (camera.target - cursor) * scale;
  camera.distance = distance;
}

std::optional<Vec3> PickPoint(const RenderContext& context, int x, int y) {
  if (context.device == nullptr) return std::nullopt;
  const Device& device = *context.device;
  if (x < 0 || y < 0 || x >= device.width() || y >= device.height()) return std::nullopt;
  const float depth = device.DepthAt(x, y);
  if (depth >= 1.0f) return std::nullopt;  // the background keeps the cleared far depth
  const Matrix& p = device.GetTransform(TransformState::kProjection);
  const Matrix& v = device.GetTransform(TransformState::kView);
  const float nx =
      2.0f * (static_cast<float>(x) + 0.5f) / static_cast<float>(device.width()) - 1.0f;
  const float ny =
      1.0f - 2.0f * (static_cast<float>(y) + 0.5f) / static_cast<float>(device.height());
  // Undo the projection into view space: the orthographic one is affine in z, the perspective
  // one divides by it.
  const bool perspective = p.m[2][3] != 0.0f;
  const float vz = perspective ? p.m[3][2] / (depth - p.m[2][2]) : (depth - p.m[3][2]) / p.m[2][2];
  const float w = perspective ? vz : 1.0f;
  const float vx = nx * w / p.m[0][0];
  const float vy = ny * w / p.m[1][1];
  // The view transform is a rotation and a translation: its columns are the camera's axes.
  const Vec3 right{v.m[0][0], v.m[1][0], v.m[2][0]};
  const Vec3 up{v.m[0][1], v.m[1][1], v.m[2][1]};
  const Vec3 forward{v.m[0][2], v.m[1][2], v.m[2][2]};
  const Vec3 eye = (right * v.m[3][0] + up * v.m[3][1] + forward * v.m[3][2]) * -1.0f;
  const Vec3 point = eye + right * vx + up * vy + forward * vz;
  if (!std::isfinite(point.x) || !std::isfinite(point.y) || !std::isfinite(point.z)) {
    return std::nullopt;
  }
  return point;
}

void SetupView(RenderContext& context, const Model& model, const ViewState& view) {
  if (view.free_camera.active) {
    const CameraBasis basis = FreeCameraBasis(view.free_camera, UsesPerspective(view));
    context.eye_position = basis.eye;
    if (context.device == nullptr) return;
    context.device->SetTransform(TransformState::kView,
                                 LookAtLH(basis.eye, view.free_camera.target, basis.up));
    return;
  }
  const float c = model.total_center.y;
  if (view.view_pitch == -1.0f) {
    const float yaw = Radians(view.view_yaw);
    context.eye_position = {-kEyeDistance * std::sin(yaw), c, -kEyeDistance * std::cos(yaw)};
  } else {
    const float pitch = Radians(view.view_pitch);
    context.eye_position = {0.0f, c - kEyeDistance * std::sin(pitch), kVerticalEyeOffset};
  }
  if (context.device == nullptr) return;
  context.device->SetTransform(
      TransformState::kView,
      LookAtLH(context.eye_position, Vec3{0.0f, c, 0.0f}, Vec3{0.0f, 1.0f, 0.0f}));
}

void SetupLight(Device& device, const ViewState& view) {
  DirectionalLight light;
  light.diffuse = {0.8f, 0.8f, 0.8f, 0.0f};
  light.specular = {1.0f, 1.0f, 1.0f, 0.0f};
  light.ambient = {};
  if (view.headlight && (view.free_camera.active || view.weight_display)) {
    const FreeCamera& camera =
        view.free_camera.active ? view.free_camera : FixedDirectionCamera(view);
    const CameraBasis basis = FreeCameraBasis(camera, false);
    light.direction = basis.forward + basis.right * 0.5f - basis.up * 0.5f;
  } else if (view.view_pitch == -1.0f) {
    const float yaw = Radians(view.view_yaw);
    light.direction = {0.866025f * std::cos(yaw), -0.5f, -0.866025f * std::sin(yaw)};
  } else {
    const float q = Radians(view.view_pitch + 120.0f);
    light.direction = {0.866025f, -0.5f * std::cos(q), -0.866025f * std::sin(q)};
  }
  light.direction = Normalize(light.direction);
  device.SetLight(light);
  device.EnableLight(true);
  device.render_states().lighting = true;
  device.render_states().ambient = kAmbientLevel;
}

void SetDefaultMaterial(RenderContext& context, float r, float g, float b) {
  Material material;
  material.diffuse = {r, g, b, 0.0f};
  material.ambient = {r, g, b, 0.0f};
  material.specular = {};
  material.emissive = {};
  material.power = 0.0f;
  context.default_material = material;
  if (context.device == nullptr) return;
  context.device->SetMaterial(material);
  context.device->render_states().specular_enable = true;
}

void SetMarkerScale(RenderContext& context, double model_size) {
  context.marker_scale =
      std::isfinite(model_size) && model_size > 0.0 ? static_cast<float>(model_size) : 1.0f;
}

FramePlan PlanFrame(const ViewState& view) {
  FramePlan plan;
  plan.look = LookOf(view);
  if (view.playing) {
    plan.branch = FrameBranch::kPlaying;
    plan.ground = view.ground_on;
  } else if (view.texture_dialog_page == 1) {
    plan.branch = FrameBranch::kTexturePreview;
  } else {
    plan.branch = FrameBranch::kModel;
    plan.markers = view.texture_dialog_page == 0 && view.unit_dialog_page != 3 &&
                   !view.unit_copy_open && !view.texture_colour_on;
    plan.ground = view.ground_on;
  }
  return plan;
}

DrawingContext MakeDrawingContext(RenderContext& context) {
  return DrawingContext{*context.device, context.meshes, context.eye_position, context.marker_scale,
                        context.default_material};
}

bool RenderFrame(RenderContext& context, Model& model, const ViewState& view) {
  if (context.device == nullptr) return false;
  Device& device = *context.device;
  const CameraSettings camera{view.view_pitch, view.view_yaw, model.total_center.y,
                              view.free_camera.active ? view.free_camera : FreeCamera{},
                              UsesPerspective(view)};
  const bool camera_changed = !(camera == context.last_camera);
  context.last_camera = camera;

  ++context.frames_drawn;
  if (context.transparent_background) {
    device.Clear(kClearTarget | kClearAlpha | kClearDepth, 0x00000000u, 1.0f);
  } else {
    device.Clear(kClearTarget | kClearDepth, 0xFF000000u, 1.0f);
  }
  if (device.BeginScene()) {
    if (camera_changed) {
      SetupProjection(context, view);
      SetupView(context, model, view);
    }
    const FramePlan plan = PlanFrame(view);
    DrawingContext drawing = MakeDrawingContext(context);
    if (plan.branch == FrameBranch::kTexturePreview) {
      DrawTexturePreview(drawing, model, view, context.preview);
    } else {
      // While playing, the tick has evaluated the Motion it shows before drawing.
      if (plan.branch == FrameBranch::kModel) EvaluatePose(model, model.current_motion);
      if (plan.markers) {
        for (int unit = 0; unit < model.unit_count(); ++unit) {
          DrawUnitMarker(drawing, model, unit);
        }
      }
      SetupLight(device, view);
      DrawParts(drawing, model, view, plan.look);
      if (plan.ground) DrawGround(drawing, model, view);
    }
    device.EndScene();
    device.SetTexture(nullptr);
  }
  // Our device is never lost, so there is no reset to attempt and no second drawing here: the
  // back buffer already holds the finished frame.
  return true;
}

}  // namespace vorna
