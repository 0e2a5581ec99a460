#include "animation/motion_list.h"

#include <gtest/gtest.h>

#include <vector>

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

std::vector<int> Marks(const Model& model) {
  std::vector<int> marks;
  for (int m = 0; m < model.motion_count; ++m) marks.push_back(model.motions[m].angle[0][0]);
  return marks;
}

void ExpectNeutralAndFree(const Motion& motion) {
  EXPECT_EQ(motion.in_use, 0u);
  EXPECT_EQ(motion.angle[0][0], 0);
  EXPECT_EQ(motion.scale[0], (Vec3{1, 1, 1}));
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
    EXPECT_EQ(Marks(*model), c.marks);
    EXPECT_EQ(model->current_motion, model->motion_count - 1);
    for (int m = 0; m < model->motion_count; ++m) EXPECT_EQ(model->motions[m].in_use, 1u);
    ExpectNeutralAndFree(model->motions[model->motion_count]);
  }
}

}  // namespace
}  // namespace vorna
