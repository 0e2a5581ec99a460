#include "render/camera.h"

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

float Radians(float degrees) { return degrees * kPi / 180.0f; }

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
  const Matrix projection = view.playing
                                ? PerspectiveFovLH(kFieldOfView, aspect, kNearPlane, kFarPlane)
                                : OrthoLH(kOrthoWidth, kOrthoWidth / aspect, kNearPlane, kFarPlane);
  context.device->SetTransform(TransformState::kProjection, projection);
}

void SetupView(RenderContext& context, const Model& model, const ViewState& view) {
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
  if (view.view_pitch == -1.0f) {
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
    plan.parts = true;
    plan.ground = view.ground_on;
  } else if (view.texture_dialog_page == 1) {
    plan.branch = FrameBranch::kTexturePreview;
  } else {
    plan.branch = FrameBranch::kModel;
    plan.markers = view.texture_dialog_page == 0 && view.unit_dialog_page != 3 &&
                   !view.unit_copy_open && !view.texture_colour_on;
    plan.parts = true;
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
  const CameraSettings camera{view.view_pitch, view.view_yaw, model.total_center.y};
  const bool camera_changed = !(camera == context.last_camera);
  context.last_camera = camera;

  ++context.frames_drawn;
  if (context.transparent_background) {
    device.Clear(kClearTarget | kClearAlpha | kClearDepth, 0x00000000u, 1.0f);
  } else {
    device.Clear(kClearTarget | kClearDepth, 0xFF000000u, 1.0f);
  }
  if (device.BeginScene()) {
    if (camera_changed) SetupView(context, model, view);
    const FramePlan plan = PlanFrame(view);
    DrawingContext drawing = MakeDrawingContext(context);
    if (plan.branch == FrameBranch::kTexturePreview) {
      DrawTexturePreview(drawing, model, view, context.preview);
    } else {
      // While playing, the tick has evaluated the Motion it shows before drawing.
      if (plan.branch == FrameBranch::kModel) EvaluatePose(model, model.current_motion);
      if (plan.markers) {
        for (int unit = 0; unit < model.unit_count(); ++unit) {
          DrawUnitMarker(drawing, model, view, unit);
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
