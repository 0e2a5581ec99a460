// The camera, the projection and RenderFrame's choices.
#include <gtest/gtest.h>

#include <cmath>

#include "render/camera.h"
#include "render/frame_scene.h"

namespace vorna {
namespace {

using test::FaceModel;
using test::FrontContext;
using test::IsBlack;
using test::Pixel;
using test::Square;

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

TEST(RenderFrameTest, PlanFollowsTheViewState) {
  struct Case {
    void (*set)(ViewState&);
    FramePlan plan;
  };
  using B = FrameBranch;
  const PartLook colour = PartLook::kColour, texture = PartLook::kTexture;
  const Case cases[] = {
      {[](ViewState&) {}, {B::kModel, true, true, false, colour}},
      {[](ViewState& v) { v.ground_on = true; }, {B::kModel, true, true, true, colour}},
      {[](ViewState& v) { v.texture_colour_on = true; }, {B::kModel, false, true, false, texture}},
      {[](ViewState& v) { v.unit_dialog_page = 3; }, {B::kModel, false, true, false, colour}},
      {[](ViewState& v) { v.unit_dialog_page = 4; }, {B::kModel, true, true, false, colour}},
      {[](ViewState& v) { v.unit_copy_open = true; }, {B::kModel, false, true, false, colour}},
      {[](ViewState& v) { v.texture_dialog_page = 2; }, {B::kModel, false, true, false, texture}},
      {[](ViewState& v) {
         v.texture_dialog_page = 1;
         v.ground_on = true;
       },
       {B::kTexturePreview, false, false, false, texture}},
      {[](ViewState& v) { v.playing = v.ground_on = true; },
       {B::kPlaying, false, true, true, colour}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    ViewState view;
    cases[i].set(view);
    EXPECT_EQ(PlanFrame(view), cases[i].plan) << "case " << i;
  }
}

TEST(RenderFrameTest, TheViewIsRecomputedOnlyWhenTheCameraChanges) {
  ViewState view;
  RenderContext context = FrontContext(view);
  auto model = FaceModel({Square(-0.5f, -0.5f, 0.5f, 0.5f)});
  RenderFrame(context, *model, view);
  const Matrix front = context.device->GetTransform(TransformState::kView);
  // A view set behind the frame's back survives frames with the same camera...
  context.device->SetTransform(TransformState::kView, Identity());
  RenderFrame(context, *model, view);
  EXPECT_EQ(context.device->GetTransform(TransformState::kView), Identity());
  // ... but not a change of direction, nor a model of another centre height.
  view.view_yaw = 90.0f;
  RenderFrame(context, *model, view);
  view.view_yaw = 0.0f;
  RenderFrame(context, *model, view);
  EXPECT_EQ(context.device->GetTransform(TransformState::kView), front);
  model->total_center.y = 0.25f;
  RenderFrame(context, *model, view);
  EXPECT_NEAR(context.eye_position.y, 0.25f, 1e-6f);
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

TEST(RenderFrameTest, MarkerScaleFollowsTheModelSizeWithoutCompounding) {
  RenderContext context;
  for (const double size : {2.0, 2.0, 0.5}) {
    SetMarkerScale(context, size);
    EXPECT_EQ(context.marker_scale, static_cast<float>(size));
  }
  SetMarkerScale(context, std::nan(""));
  EXPECT_EQ(context.marker_scale, 1.0f);
}

}  // namespace
}  // namespace vorna
