#include "animation/anim_list.h"

#include <gtest/gtest.h>

#include <vector>

#include "animation/playback.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

const std::string kLoop(kLoopLabel);

TEST(AnimEntryTest, EntriesReadBackWordByWordAndWellFormedOnesRoundTrip) {
  struct Case {
    std::string entry;
    int first, last;
    std::string name;
    int loop;
    bool round_trips;
  } cases[] = {
      {"001 004 wave ", 0, 3, "wave", 0, true},
      {"001 012 walk " + kLoop, 0, 11, "walk", 1, true},
      {"002 003 run fast " + kLoop, 1, 2, "run", 0, false},  // the second word hides the label
      {"001 002  " + kLoop, 0, 1, kLoop, 0, false},          // an empty looping name
      {"001 002  ", 0, 1, "", 0, true},
      {"junk", -1, -1, "", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const Anim anim = ParseAnimEntry(c.entry);
    EXPECT_EQ(anim.first_motion, c.first);
    EXPECT_EQ(anim.last_motion, c.last);
    EXPECT_EQ(anim.name, c.name);
    EXPECT_EQ(anim.loop, c.loop);
    if (c.round_trips) {
      EXPECT_EQ(FormatAnimEntry(anim), c.entry);
    }
  }
  EXPECT_EQ(AnimEntryFromControls(2, 4, std::string(80, 'n'), true),
            "003 005 " + std::string(kAnimNameInputLimit, 'n') + " " + kLoop);
}

TEST(ApplyAnimDialogTest, StoresTheEntriesAndKeepsASelectionThatExists) {
  struct Case {
    int current_before, entries, current_after;
  } cases[] = {{-1, 3, 0}, {2, 0, -1}, {1, 3, 1}, {5, 2, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.current_before << " with " << c.entries);
    auto model = test::NewModel();
    model->motion_count = 10;
    model->anim_count = 6;
    model->current_anim = c.current_before;
    EntryList list;
    for (int i = 0; i < c.entries; ++i) list.Append(AnimEntryFromControls(i, i + 2, "a", i == 1));
    ScriptedHost host;
    ASSERT_TRUE(ApplyAnimDialog(*model, host, list));
    EXPECT_EQ(model->anim_count, c.entries);
    EXPECT_EQ(model->current_anim, c.current_after);
    if (c.entries > 1) {
      EXPECT_EQ(model->anims[1].first_motion, 1);
      EXPECT_EQ(model->anims[1].last_motion, 3);
      EXPECT_EQ(model->anims[1].loop, 1);
    }
    EXPECT_EQ(model->anims[c.entries].name, "");  // the rest of the table is cleared
  }
}

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
    int anim_first, anim_last;  // -1, -1: no Anim selected
    std::vector<int> shown;
  } cases[] = {
      {-1, -1, {0, 1, 2, 3, 4, 5, 0, 1}}, {2, 4, {2, 3, 4, 2, 3, 4, 2, 3}},
      {4, 2, {4, 4, 4, 4, 4, 4, 4, 4}},   // first after last: the first Motion over and over
      {9, 12, {5, 5, 5, 5, 5, 5, 5, 5}},  // clamped to the last Motion when playback starts
      {-4, 2, {0, 1, 2, 0, 1, 2, 0, 1}},  // and to the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.anim_first << ".." << c.anim_last);
    auto model = test::NewModel();
    model->motion_count = 6;
    if (c.anim_last >= 0) {
      model->anim_count = 1;
      model->current_anim = 0;
      model->anims[0] = {c.anim_first, c.anim_last, 0, "a"};
    }
    EXPECT_EQ(Play(*model, 8), c.shown);
  }
}

}  // namespace
}  // namespace vorna
