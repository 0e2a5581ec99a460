// The sample model drawn as the editor draws it, compared with reference images we made (see
// ReferenceDifference for regenerating them).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "animation/pose.h"
#include "formats/registry.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "render/camera.h"
#include "render/device_scene.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";

struct Shot {
  const char* name;
  float yaw, pitch;
  int motion;
  void (*set)(ViewState&);
};

const Shot kShots[] = {
    {"walker_front", 0.0f, -1.0f, 0, [](ViewState&) {}},
    {"walker_left_ground_semi", 270.0f, -1.0f, 1,
     [](ViewState& v) {
       v.ground_on = true;
       v.part_alpha = 128;
     }},
    {"walker_top_wireframe", -1.0f, 270.0f, 2, [](ViewState& v) { v.fill_mode = kFillWireframe; }},
    {"walker_back_wave_playing", 180.0f, -1.0f, 4,
     [](ViewState& v) {
       v.playing = true;
       v.ground_on = true;
     }},
};

Image Render(const Shot& shot) {
  auto model = test::NewModel();
  ScriptedHost host;
  if (!ReadModelFile(*model, kSample, host, {}, nullptr)) return {};
  BuildHierarchy(*model);
  ViewState view;
  view.view_yaw = shot.yaw;
  view.view_pitch = shot.pitch;
  shot.set(view);
  RenderContext context;
  if (!InitDevice(context, view, 190, 120)) return {};
  model->current_motion = shot.motion;
  // While playing, the tick evaluates the Motion before the frame draws it.
  if (view.playing) EvaluatePose(*model, shot.motion);
  RenderFrame(context, *model, view);
  return context.device->back_buffer();
}

// Drawing is deterministic whatever the thread count, so every pixel must match.
TEST(ReferenceImageTest, SampleModelLooksAsBefore) {
  for (const Shot& shot : kShots) {
    SCOPED_TRACE(shot.name);
    const Image image = Render(shot);
    ASSERT_TRUE(image.valid());
    EXPECT_EQ(test::ReferenceDifference(image, shot.name), "");
  }
}

}  // namespace
}  // namespace vorna
