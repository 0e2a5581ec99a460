// The projection, whole frames, and the free camera: orbit limits, the pick, zoom and pan holding
// what is under the cursor, the headlight and the weight display.
#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "animation/pose.h"
#include "render/frame_scene.h"

namespace vorna {
namespace {

using test::FaceModel;
using test::FrontContext;
using test::IsBlack;
using test::Pixel;
using test::Square;

void ExpectNear(Vec3 a, Vec3 b, float tolerance) {
  EXPECT_LE(Length(a - b), tolerance)
      << a.x << " " << a.y << " " << a.z << " vs " << b.x << " " << b.y << " " << b.z;
}

TEST(FreeCameraTest, OrbitWrapsTheYawAndStopsAtThePoles) {
  FreeCamera camera{true, {}, 350.0f, 80.0f, 2.0f};
  OrbitCamera(camera, 20.0f, 30.0f);
  EXPECT_NEAR(camera.yaw, 10.0f, 1e-4f);
  EXPECT_EQ(camera.elevation, 90.0f);
  OrbitCamera(camera, -40.0f, -200.0f);
  EXPECT_NEAR(camera.yaw, 330.0f, 1e-4f);
  EXPECT_EQ(camera.elevation, -90.0f);
  // Straight down or up the view is still well defined.
  EXPECT_NEAR(Length(FreeCameraBasis(camera, true).up), 1.0f, 1e-5f);
}

// A square filling the middle of the view at depth `z`; the free camera started from the front.
struct PickScene {
  std::unique_ptr<Model> model;
  ViewState view;
  RenderContext context;

  PickScene(bool perspective, float z) : model(FaceModel({Square(-0.8f, -0.8f, 0.8f, 0.8f, z)})) {
    view.perspective = perspective;
    view.free_camera = CurrentFreeCamera(*model, view);
    context = FrontContext(view, 32);
    Draw();
  }
  void Draw() { ASSERT_TRUE(RenderFrame(context, *model, view)); }
};

TEST(FreeCameraTest, PickFindsThePointOnTheFaceUnderThePixel) {
  for (bool perspective : {false, true}) {
    SCOPED_TRACE(perspective);
    PickScene scene(perspective, 0.3f);
    const std::optional<Vec3> point = PickPoint(scene.context, 16, 16);
    ASSERT_TRUE(point.has_value());
    // The pixel's centre lies half a pixel off the view's centre; along its row only x changes.
    EXPECT_NEAR(point->z, 0.3f, 0.01f);
    EXPECT_LT(std::hypot(point->x, point->y), 0.06f);
    EXPECT_NEAR(PickPoint(scene.context, 12, 16).value_or(Vec3{0, 9, 0}).y, point->y, 1e-3f);
    EXPECT_FALSE(PickPoint(scene.context, 0, 0).has_value());  // background
    EXPECT_FALSE(PickPoint(scene.context, 32, 16).has_value());
  }
}

TEST(FreeCameraTest, ZoomAndPanKeepThePointUnderTheCursor) {
  for (bool perspective : {false, true}) {
    SCOPED_TRACE(perspective);
    PickScene scene(perspective, 0.0f);
    const std::optional<Vec3> before = PickPoint(scene.context, 10, 20);
    ASSERT_TRUE(before.has_value());
    ZoomCamera(scene.view.free_camera, perspective, 0.5f, 10.5f, 20.5f, 32, 32);
    EXPECT_NEAR(scene.view.free_camera.distance, 1.35f, 1e-5f);
    scene.Draw();
    const std::optional<Vec3> zoomed = PickPoint(scene.context, 10, 20);
    ASSERT_TRUE(zoomed.has_value());
    ExpectNear(*zoomed, *before, 0.02f);
    // Dragged 5 pixels right and 3 up, the same point is 5 right and 3 up.
    PanCamera(scene.view.free_camera, perspective, 5.0f, -3.0f, 32, 32);
    scene.Draw();
    const std::optional<Vec3> panned = PickPoint(scene.context, 15, 17);
    ASSERT_TRUE(panned.has_value());
    ExpectNear(*panned, *before, 0.02f);
  }
}

TEST(FreeCameraTest, HeadlightLightsTheFacesTurnedToTheViewer) {
  // The fixed light grazes a face seen head-on (ambient only); the headlight comes from the eye.
  PickScene scene(false, 0.0f);
  const int unlit = Pixel(scene.context, 16, 16)[0];
  scene.view.headlight = false;
  scene.Draw();
  EXPECT_GT(unlit, Pixel(scene.context, 16, 16)[0] + 40);
}

TEST(WeightDisplayTest, ColoursEachVertexByTheSelectedUnitsShare) {
  auto model = FaceModel({Square(-0.9f, -0.9f, -0.1f, 0.9f), Square(0.1f, -0.9f, 0.9f, 0.9f),
                          Square(-0.1f, -0.1f, 0.1f, 0.1f, 0.5f)});
  const int upper = test::AddUnit(*model, {}, {0, 1});
  const int lower = test::AddUnit(*model, {}, {2});
  model->parent[model->NodeOfUnit(lower)] = model->NodeOfUnit(upper);
  BuildHierarchy(*model);
  for (int v = 0; v < 4; ++v) model->blend[v] = 1.0f;  // part 0 stays with the parent
  struct Case {
    int part, unit;
    float blend, share;
  };
  const Case cases[] = {{0, upper, 0.25f, 0.75f}, {1, upper, 0.0f, 1.0f}, {2, upper, 0.6f, 1.0f},
                        {2, lower, 0.6f, 0.4f},   {0, lower, 0.0f, 0.0f}, {0, -1, 0.0f, 0.0f}};
  for (const Case& k : cases) {
    EXPECT_FLOAT_EQ(ShareOfUnit(*model, k.part, k.unit).Of(k.blend), k.share)
        << k.part << " " << k.unit;
  }
  EXPECT_EQ(WeightColour(0.0f), 0xFF0000FFu);
  EXPECT_EQ(WeightColour(1.0f), 0xFFFF0000u);
  EXPECT_EQ(WeightColour(0.5f), 0xFF80007Fu);
  EXPECT_EQ(WeightColour(NAN), 0xFF0000FFu);
  EXPECT_EQ(WeightColour(7.0f), 0xFFFF0000u);

  // Drawn in a fixed view, lit from the eye so that the colours show on faces seen head-on.
  model->selected_unit = upper;
  ViewState view;
  view.weight_display = true;
  RenderContext context = FrontContext(view, 32);
  // Part 0 (share 0) blue, part 1 (share 1) red.
  EXPECT_EQ(test::Drawn(context, *model, view, "weights"), "");
}

TEST(CameraTest, ProjectionFollowsTheViewSizeAndPlayback) {
  ViewState view;
  RenderContext context;
  ASSERT_TRUE(InitDevice(context, view, 800, 400));
  // Stopped: an orthographic volume 2.0 wide and 1.0 high, depth 0.01 .. 10.
  Matrix p = context.device->GetTransform(TransformState::kProjection);
  EXPECT_FLOAT_EQ(p.m[0][0], 1.0f);
  EXPECT_FLOAT_EQ(p.m[1][1], 2.0f);
  EXPECT_NEAR(p.m[2][2], 0.1001001f, 1e-7f);
  EXPECT_NEAR(p.m[3][2], -0.001001001f, 1e-9f);
  // Playing: 45 degrees vertically, aspect 2.
  view.playing = true;
  SetupProjection(context, view);
  p = context.device->GetTransform(TransformState::kProjection);
  EXPECT_NEAR(p.m[1][1], 2.4142136f, 1e-6f);
  EXPECT_NEAR(p.m[0][0], 2.4142136f / 2.0f, 1e-6f);
  EXPECT_NEAR(p.m[2][2], 1.0010010f, 1e-6f);
  EXPECT_NEAR(p.m[3][2], -0.01001001f, 1e-8f);
  // A resize takes the new aspect; an empty view has no device.
  view.playing = false;
  ASSERT_TRUE(ResizeView(context, view, 400, 400));
  EXPECT_FLOAT_EQ(context.device->GetTransform(TransformState::kProjection).m[1][1], 1.0f);
  EXPECT_FALSE(ResizeView(context, view, 0, 400));
  RenderContext none;
  EXPECT_FALSE(InitDevice(none, view, 0, 480));
  EXPECT_EQ(none.device, nullptr);
  EXPECT_FALSE(RenderFrame(none, *test::NewModel(), view));
}

TEST(RenderFrameTest, FramesStartBlackAndEndInTheFixedState) {
  ViewState view;
  view.fill_mode = kFillWireframe;
  view.ground_on = true;
  RenderContext context = FrontContext(view);
  auto model = FaceModel({Square(-0.5f, -0.5f, 0.5f, 0.5f)});
  const RenderStates fixed = context.device->render_states();
  EXPECT_EQ(test::Drawn(context, *model, view, "wireframe"), "");
  RenderStates after = context.device->render_states();
  after.ambient = fixed.ambient;  // the light's, set by every frame
  EXPECT_EQ(after, fixed);
  view.ground_on = false;
  RenderFrame(context, *test::NewModel(), view);
  EXPECT_TRUE(IsBlack(Pixel(context, 8, 8)));
  // Nor does the device keep the last texture drawn: one the model lets go of is freed.
  model->parts[0].texture = Texture::FromImage(Image{1, 1, {255, 0, 0, 255}});
  const std::weak_ptr<const Texture> watch = model->parts[0].texture;
  view.texture_colour_on = true;
  RenderFrame(context, *model, view);
  model->parts[0].texture.reset();
  EXPECT_TRUE(watch.expired());
}

// While playing, the frame draws the pose the tick evaluated; otherwise it evaluates
// current_motion itself.
TEST(RenderFrameTest, PlaybackDrawsThePoseItWasGiven) {
  ViewState view;
  RenderContext context = FrontContext(view);
  auto model = FaceModel({Square(-0.25f, -0.25f, 0.25f, 0.25f)});
  const int unit = test::AddUnit(*model, {0.0f, 0.8f, 0.0f}, {0});
  model->motion_count = 2;
  model->motions[1].translation[unit] = {0.5f, 0.0f, 0.0f};
  model->current_motion = 1;
  EXPECT_EQ(test::Drawn(context, *model, view, "motion_1"), "");  // 8 pixels right
  view.playing = true;
  model->parts[0].pose_matrix = Identity();  // as if the tick had evaluated Motion 0
  RenderFrame(context, *model, view);
  EXPECT_FALSE(IsBlack(Pixel(context, 14, 16)));
}

}  // namespace
}  // namespace vorna
