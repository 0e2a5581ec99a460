#include "animation/keyframes.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "animation/motion_list.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

// `count` Motions in use, Motion m marked by angle[0][0] = m + 1.
std::unique_ptr<Model> MarkedMotions(int count) {
  auto model = test::NewModel();
  model->node_count = 1;
  model->motion_count = count;
  for (int m = 0; m < count; ++m) {
    model->motions[m].in_use = 1;
    model->motions[m].angle[0][0] = m + 1;
  }
  return model;
}

std::vector<int> AnglesAt(const Model& model, int first, int count) {
  std::vector<int> angles;
  for (int m = first; m < first + count; ++m) angles.push_back(model.motions[m].angle[0][0]);
  return angles;
}

TEST(GenerateKeyframesTest, InterpolatesAnglesBetweenTwoKeys) {
  struct Case {
    int from, to, n;
    bool curve;
    std::vector<int> expected;
  } cases[] = {
      {350, 10, 1, false, {0}},         // the short way up through 0
      {10, 350, 1, false, {0}},         // the short way down through 0
      {0, -100, 2, false, {327, 294}},  // negative results get 360 added
      {0, 90, 3, false, {22, 44, 66}},  // the step is truncated before it is multiplied
      {0, 90, 3, true, {14, 45, 75}},   // 14.15625 and 75.84375 truncated
      {10, 340, 1, false, {355}},       // -5 + 360
      {10, 340, 1, true, {-5}},         // the curve adds no 360
      {100, 150, 1, false, {125}},      // less than half a turn apart: straight between
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from << " -> " << c.to << (c.curve ? " curve" : ""));
    auto model = MarkedMotions(2);
    model->motions[0].angle[0][0] = c.from;
    model->motions[1].angle[0][0] = c.to;
    ScriptedHost host;
    ASSERT_EQ(GenerateKeyframes(*model, host, {c.n, 0, 1, false, c.curve}),
              KeyframeResult::kGenerated);
    EXPECT_TRUE(host.entries.empty());
    EXPECT_EQ(model->motion_count, 2 + c.n);
    EXPECT_EQ(AnglesAt(*model, 1, c.n), c.expected);
    EXPECT_EQ(model->motions[0].angle[0][0], c.from);
    EXPECT_EQ(model->motions[c.n + 1].angle[0][0], c.to);
  }
  // Translations step evenly between the keys.
  auto model = MarkedMotions(2);
  model->motions[1].translation[0] = {4, -8, 12};
  ScriptedHost host;
  ASSERT_EQ(GenerateKeyframes(*model, host, {3, 0, 1, false, false}), KeyframeResult::kGenerated);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(model->motions[i].translation[0], (Vec3{1.0f * i, -2.0f * i, 3.0f * i})) << i;
    EXPECT_EQ(model->motions[i].in_use, 1u);  // as every Motion of the table
  }
}

TEST(GenerateKeyframesTest, RefusalsChangeNothing) {
  struct Case {
    int motions, start, end, n;
    KeyframeResult result;
    const char* message;
  } cases[] = {
      {1, 0, 0, 1, KeyframeResult::kTooFewMotions, "少なくとも2コマ必要です"},
      {3, 1, 1, 1, KeyframeResult::kSameKeys, "開始番号と終了番号に同じ数字は使えません"},
      // 250 + 4 keys * 2 = 258: counted per key even without loop.
      {250, 0, 3, 2, KeyframeResult::kTooManyMotions,
       "モーションの総数が 256 個を超えるので作れません"},
      {3, 0, 3, 1, KeyframeResult::kInvalidRequest, nullptr},  // no Motion 3
      {3, 0, 1, 0, KeyframeResult::kInvalidRequest, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.motions << " " << c.start << ".." << c.end);
    auto model = MarkedMotions(c.motions);
    model->motions[1].angle[0][0] = 7;
    ScriptedHost host;
    EXPECT_EQ(GenerateKeyframes(*model, host, {c.n, c.start, c.end, false, true}), c.result);
    if (c.message) {
      EXPECT_EQ(host.Texts(), std::vector<std::string>{c.message});
    } else {
      EXPECT_TRUE(host.entries.empty());
    }
    EXPECT_EQ(model->motion_count, c.motions);
    EXPECT_EQ(model->motions[1].angle[0][0], 7);
  }
}

// The dialog opens on the current Anim's keys, kept to the Motions there are.
TEST(GenerateKeyframesTest, DialogDefaultsFollowTheCurrentAnim) {
  auto model = MarkedMotions(4);
  model->anim_count = 1;
  model->anims[0] = {1, 0, 1, "walk"};
  model->current_anim = 0;
  KeyframeRequest request = KeyframeDialogDefaults(*model, true);
  EXPECT_EQ(std::tuple(request.start, request.end, request.loop, request.curve),
            std::tuple(1, 0, true, true));
  model->anims[0] = {-2, 9, 0, "walk"};
  request = KeyframeDialogDefaults(*model, false);
  EXPECT_EQ(std::tuple(request.start, request.end, request.loop), std::tuple(0, 3, false));
}

TEST(ApplyStripOrderTest, FollowsTheButtonsAndMakesTheLastCurrent) {
  struct Case {
    std::vector<int> order;
    std::vector<int> marks;
  } cases[] = {
      {{1, 2, 0}, {2, 3, 1}},  // Motion 1 dragged behind Motion 3
      {{2, 0}, {3, 1}},        // Motion 2 removed
      {{}, {0}},               // every button removed: one neutral Motion
      {{0, 7, 0}, {1, 0, 0}},  // positions naming no remaining Motion come out neutral
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.order));
    auto model = MarkedMotions(3);
    ASSERT_TRUE(ApplyStripOrder(*model, 3, c.order));
    EXPECT_EQ(AnglesAt(*model, 0, model->motion_count), c.marks);
    EXPECT_EQ(model->current_motion, model->motion_count - 1);
    for (int m = 0; m < model->motion_count; ++m) EXPECT_EQ(model->motions[m].in_use, 1u);
    const Motion& freed = model->motions[model->motion_count];  // neutral and free
    EXPECT_EQ(freed.in_use, 0u);
    EXPECT_EQ(freed.angle[0][0], 0);
    EXPECT_EQ(freed.scale[0], (Vec3{1, 1, 1}));
  }
}

}  // namespace
}  // namespace vorna
