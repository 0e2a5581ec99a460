#include "animation/anim_list.h"

#include <gtest/gtest.h>

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

TEST(ClampAnimRangesTest, BringsRangesIntoTheMotionList) {
  auto model = test::NewModel();
  model->motion_count = 5;
  model->anim_count = 3;
  model->anims[0] = {7, 9, 0, "beyond"};
  model->anims[1] = {3, 1, 0, "backwards"};
  model->anims[2] = {-4, 2, 0, "negative"};
  model->anims[3] = {50, 60, 0, "unused"};
  ClampAnimRanges(*model);
  EXPECT_EQ(model->anims[0].first_motion, 4);
  EXPECT_EQ(model->anims[0].last_motion, 4);
  EXPECT_EQ(model->anims[1].first_motion, 3);  // first after last stays so
  EXPECT_EQ(model->anims[1].last_motion, 1);
  EXPECT_EQ(model->anims[2].first_motion, 0);
  EXPECT_EQ(model->anims[3].first_motion, 50);
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

}  // namespace
}  // namespace vorna
