// The sample model drawn as the editor draws it, compared with reference images we made.
//
// The references live in tests/data/render. After a deliberate change to the drawing, look at the
// new images and regenerate them with
//   VORNA_UPDATE_RENDER_REFERENCES=1 vorna_tests_render --gtest_filter='ReferenceImageTest.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "animation/pose.h"
#include "formats/registry.h"
#include "images/decode.h"
#include "images/encode.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "render/camera.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";
const std::string kReferenceDir = std::string(VORNA_TEST_DATA_DIR) + "/render/";

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

bool Updating() { return std::getenv("VORNA_UPDATE_RENDER_REFERENCES") != nullptr; }

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

TEST(ReferenceImageTest, SampleModelLooksAsBefore) {
  for (const Shot& shot : kShots) {
    SCOPED_TRACE(shot.name);
    const Image image = Render(shot);
    ASSERT_TRUE(image.valid());
    const std::string path = kReferenceDir + shot.name + ".png";
    if (Updating()) {
      ASSERT_TRUE(SaveImageFile(image, *FindEncoder("image/png"), path));
      continue;
    }
    Image reference;
    ASSERT_TRUE(DecodeImageFile(path, &reference))
        << path << " is missing; see the top of this file";
    ASSERT_EQ(reference.width, image.width);
    ASSERT_EQ(reference.height, image.height);
    // Rounding may move a few edge pixels or shades; anything larger is a change of the drawing.
    int differing = 0, lit = 0;
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        const uint8_t* a = image.Pixel(x, y);
        const uint8_t* b = reference.Pixel(x, y);
        int largest = 0;
        for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a[c] - b[c]));
        if (largest > 3) ++differing;
        if (a[0] != 0 || a[1] != 0 || a[2] != 0) ++lit;
      }
    }
    EXPECT_LE(differing, image.width * image.height / 200) << "pixels that differ";
    EXPECT_GT(lit, image.width * image.height / 50) << "the model is missing";
  }
}

}  // namespace
}  // namespace vorna
