#include "model/model.h"

#include <gtest/gtest.h>

#include "model/hierarchy.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

// A model opened after another must not inherit any of its tables.
TEST(ResetTest, ClearsWhatTheLastModelLeft) {
  auto model = test::NewModel();
  AllocateParts(*model, 2);
  model->motions[200].scale[17] = {2, 3, 4};
  model->units[250].blend_param = {1, 2, 3, 4};
  model->units[3].save_order = 9;
  model->node_name[5] = "name";
  model->parent[5] = 3;
  model->current_anim = 1;
  model->forest.InsertAppended(0, kTopLevel);
  Reset(*model);
  EXPECT_EQ(model->parts_count, 0);
  EXPECT_EQ(model->current_anim, -1);
  EXPECT_TRUE(model->forest.Empty());
  EXPECT_EQ(model->motions[200].scale[17], (Vec3{1, 1, 1}));
  EXPECT_EQ(model->units[250].blend_param, (std::array<int32_t, 4>{0, 0, 0, 20}));
  EXPECT_EQ(model->units[3].save_order, 3u);
  EXPECT_EQ(model->node_name[5], "");
  EXPECT_EQ(model->parent[5], 0);
}

TEST(ModelTest, DeriveAxisTurnsTheXAxis) {
  auto model = test::NewModel();
  model->units[0].axis_angle = {0, 0, 0};
  model->units[1].axis_angle = {45, 90, 0};  // the X tilt has no effect on the direction
  for (int u = 0; u < 2; ++u) DeriveAxis(*model, u);
  EXPECT_EQ(model->units[0].axis, (Vec3{1, 0, 0}));
  EXPECT_NEAR(model->units[1].axis.z, -1.0f, 1e-6f);
}

TEST(ModelTest, OnlyTheNoCornerMarkMakesATriangle) {
  auto model = test::NewModel();
  AllocateFaces(*model, 2);
  model->faces[0] = Face{{0, 1, 2, kNoCorner}};
  model->faces[1] = Face{{0, 1, 2, kNoCorner}};
  CheckTriangles(*model);
  EXPECT_EQ(model->all_triangles, 1);
  model->faces[1].corner[3] = 0;  // a fourth index of 0 is a quad
  CheckTriangles(*model);
  EXPECT_EQ(model->all_triangles, 0);
}

}  // namespace
}  // namespace vorna
