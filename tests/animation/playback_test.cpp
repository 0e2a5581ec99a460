#include "animation/playback.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/model_fixtures.h"

namespace vorna {
namespace {

std::vector<int> Play(Model& model, int ticks) {
  bool playing = false;
  int32_t frame = -99;
  EXPECT_EQ(TogglePlayback(model, playing, frame), PlaybackToggle::kStarted);
  EXPECT_TRUE(playing);
  std::vector<int> shown;
  for (int t = 0; t < ticks; ++t) shown.push_back(PlaybackStep(model, frame));
  return shown;
}

TEST(PlaybackTest, CyclesOverTheAnimOrTheWholeList) {
  struct Case {
    int anim_first, anim_last;  // -1: no Anim selected
    std::vector<int> shown;
  } cases[] = {
      {-1, -1, {0, 1, 2, 3, 4, 5, 0, 1}},
      {2, 4, {2, 3, 4, 2, 3, 4, 2, 3}},
      {4, 2, {4, 4, 4, 4, 4, 4, 4, 4}},   // first after last: the first Motion over and over
      {9, 12, {5, 5, 5, 5, 5, 5, 5, 5}},  // clamped to the last Motion when playback starts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.anim_first << ".." << c.anim_last);
    auto model = test::NewModel();
    model->motion_count = 6;
    if (c.anim_first >= 0) {
      model->anim_count = 1;
      model->current_anim = 0;
      model->anims[0] = {c.anim_first, c.anim_last, 0, "a"};
    }
    EXPECT_EQ(Play(*model, 8), c.shown);
  }
}

}  // namespace
}  // namespace vorna
