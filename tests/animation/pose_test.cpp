#include "animation/pose.h"

#include <gtest/gtest.h>

#include "animation/freeze_pose.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy.h"

namespace vorna {
namespace {

using test::ExpectNear;

// `parts` Parts, then Units, named by their node numbers; parent[n] as given (-1: top level).
std::unique_ptr<Model> ModelWithNodes(int parts, const std::vector<int>& parents) {
  std::vector<std::string> names;
  for (size_t n = 0; n < parents.size(); ++n) names.push_back(std::to_string(n));
  return test::Loaded({names.begin(), names.begin() + parts}, {names.begin() + parts, names.end()},
                      parents);
}

TEST(PoseTest, ScalingAndTranslationHappenAboutThePivot) {
  auto model = ModelWithNodes(1, {1, -1});
  model->units[0].basis_position = {1, 1, 1};
  model->motions[0].scale[0] = {2, 2, 2};
  model->motions[0].translation[0] = {0, 0, 5};
  EvaluatePose(*model, 0);
  ExpectNear(TransformCoord({2, 1, 1}, model->parts[0].pose_matrix), {3, 1, 6});
  ExpectNear(TransformCoord({1, 1, 1}, model->parts[0].pose_matrix), {1, 1, 6});
}

TEST(PoseTest, TiltAxisUsesOnlyTheFirstAngle) {
  auto model = ModelWithNodes(1, {1, -1});
  model->units[0].basis_type = 1;
  model->units[0].axis_angle = {0, 0, 90};
  UpdateUnitAxis(*model, 0);
  ExpectNear(model->units[0].axis, {0, 1, 0});
  model->motions[0].angle[0][0] = 90;
  model->motions[0].angle[1][0] = 33;  // ignored with a tilt axis
  model->motions[0].angle[2][0] = -71;
  EvaluatePose(*model, 0);
  ExpectNear(TransformCoord({1, 0, 0}, model->parts[0].pose_matrix), {0, 0, -1});
}

// Freezing turns normals with the vertices: a quarter turn about x takes y into z.
TEST(PoseTest, FreezingTurnsNormalsWithTheVertices) {
  auto model = ModelWithNodes(1, {1, -1});
  model->motions[0].angle[0][0] = 90;
  model->positions[0] = {0, 2, 0};
  model->normals[0] = {0, 1, 0};
  ASSERT_TRUE(FreezePose(*model, 0));
  ExpectNear(model->positions[0], {0, 0, 2});
  ExpectNear(model->normals[0], {0, 0, 1});
  EXPECT_EQ(model->unit_count(), 0);
  EXPECT_EQ(model->selected_unit, -1);
  EXPECT_EQ(model->parent[0], -1);
  EXPECT_EQ(model->modified, 1);
}

// P (node 0) under C (node 5) under B (node 4) under A (node 3); Q (node 1) under B; R (node 2)
// at the top level. Each pose applies the deepest Unit first; a Unit's own pose holds only the
// Units above it.
TEST(PoseTest, NestedUnitsApplyTheDeepestFirst) {
  auto model = ModelWithNodes(3, {5, 4, -1, -1, 3, 4});
  model->units[0].basis_position = {0, 1, 0};
  model->motions[0].angle[0][0] = 90;            // A turns y into z about its pivot
  model->motions[0].translation[1] = {0, 1, 0};  // B moves up
  model->motions[0].scale[2] = {2, 2, 2};        // C doubles about the origin
  EvaluatePose(*model, 0);
  const Vec3 p{0, 2, 0};
  ExpectNear(TransformCoord(p, model->parts[0].pose_matrix), {0, 1, 4});  // C, B, A
  ExpectNear(TransformCoord(p, model->parts[1].pose_matrix), {0, 1, 2});  // B, A
  EXPECT_EQ(model->parts[2].pose_matrix, Identity());
  EXPECT_EQ(model->units[0].pose_matrix, Identity());
  ExpectNear(TransformCoord(p, model->units[1].pose_matrix), {0, 1, 1});  // A
  ExpectNear(TransformCoord(p, model->units[2].pose_matrix), {0, 1, 2});  // B, A
}

TEST(PoseTest, OutOfRangeIndicesGiveTheIdentity) {
  auto model = ModelWithNodes(1, {1, -1});
  model->motions[0].angle[0][0] = 45;
  EXPECT_EQ(UnitLocalTransform(*model, -1, 0), Identity());
  EXPECT_EQ(UnitLocalTransform(*model, kMaxMotions, 0), Identity());
  EXPECT_EQ(UnitLocalTransform(*model, 0, kMaxUnits), Identity());
  EvaluatePose(*model, 0);
  EXPECT_NE(model->parts[0].pose_matrix, Identity());
  EvaluatePose(*model, 999);  // a stale pose from the last evaluation is not kept
  EXPECT_EQ(model->parts[0].pose_matrix, Identity());
  UpdateUnitAxis(*model, -3);  // ignored

  // Damaged counts: a negative parts_count would put unit indices past the tables.
  model->parts_count = -3;
  model->node_count = 250;
  EvaluatePose(*model, 0);
  model->selected_unit = 200;
  ComputeBlendWeights(*model);
}

// One Part (node 0) of five vertices along x under Unit node 2, a second Part (node 1) under a
// child Unit (node 3); pivot at x = 1.
std::unique_ptr<Model> BlendModel() {
  std::vector<Vec3> positions;
  for (float x : {1.015f, 1.5f, 3.0f, 0.5f, 1.0625f}) positions.push_back({x, 9.0f, -4.0f});
  auto model = test::ModelOfParts({{positions, {}}, {{{1.5f, 0, 0}, {1.5f, 0, 0}}, {}}});
  model->blend[5] = model->blend[6] = 0.125f;
  model->node_count = 4;
  model->parent[0] = 2;
  model->parent[1] = 3;
  model->parent[3] = 2;
  model->units[0].basis_position = {1.0f, 0.0f, 0.0f};
  model->selected_unit = 0;
  return model;
}

TEST(BlendWeightTest, FormulasAndRanges) {
  struct Case {
    const char* name;
    std::array<int32_t, 4> param;
    std::array<float, 5> expected;  // distances 0.015, 0.5, 2.0, 0.5 (other side), 0.0625
  };
  const Case cases[] = {
      {"linear a=1, range 20", {0, 10, 0, 20}, {1.0f, 0.5f, 0.0f, 0.5f, 0.9375f}},
      {"linear factor 0", {0, 0, 0, 20}, {1, 1, 1, 1, 1}},
      {"root a=0.25, range 0", {0, 250, 1, 0}, {1.0f - 0.244949f, 0.0f, 0.0f, 0.0f, 0.5f}},
      {"root factor 0, even in range", {0, 0, 1, 1000}, {0, 0, 0, 0, 0}},
      {"other formula uses d", {0, 10, 7, 0}, {0.985f, 0.5f, 0.0f, 0.5f, 0.9375f}},
      {"negative factor stays in 0..1", {0, -250, 1, 0}, {1, 1, 1, 1, 1}},
      {"negative linear factor", {0, -10, 0, 0}, {1, 1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto model = BlendModel();
    model->units[0].blend_param = c.param;
    ComputeBlendWeights(*model);
    for (int v = 0; v < 5; ++v) EXPECT_NEAR(model->blend[v], c.expected[v], 1e-5f) << v;
    // The child Unit's Part is not touched.
    EXPECT_EQ(model->blend[5], 0.125f);
  }
}

TEST(BlendWeightTest, AxisChoiceAndItsOddValues) {
  auto model = BlendModel();
  model->units[0].basis_position = {0, 8.5f, 0};
  model->units[0].blend_param = {1, 10, 0, 0};  // along y: every vertex 0.5 away
  ComputeBlendWeights(*model);
  for (int v = 0; v < 5; ++v) EXPECT_FLOAT_EQ(model->blend[v], 0.5f);

  for (int32_t axis : {3, -1, 1000}) {
    model->blend[0] = 0.25f;
    model->units[0].blend_param[0] = axis;
    ComputeBlendWeights(*model);
    EXPECT_EQ(model->blend[0], 0.25f) << axis;
  }

  model->units[0].blend_param = {0, 10, 0, 0};
  model->units[0].basis_position = {1, 0, 0};
  model->parts[1].first_vertex = 100;  // a damaged record: the range is cut at the arrays
  ComputeBlendWeights(*model);
  EXPECT_FLOAT_EQ(model->blend[1], 0.5f);
  model->blend[0] = 0.25f;
  model->selected_unit = -1;  // a Part is selected: nothing to do
  ComputeBlendWeights(*model);
  EXPECT_EQ(model->blend[0], 0.25f);
  model->selected_unit = 5;  // past the Units
  ComputeBlendWeights(*model);
  EXPECT_EQ(model->blend[0], 0.25f);
}

}  // namespace
}  // namespace vorna
