#include "model/model_edits.h"

#include <gtest/gtest.h>

#include "geometry_fixtures.h"
#include "model/bounds.h"

namespace vorna {
namespace {

using test::ExpectNear;
using test::ModelOfParts;
using test::Quad;
using test::Tri;

// The box (0, 0, 0)..(2, 3, 1) as one Part, with two Units and two Motions.
std::unique_ptr<Model> BoxModel() {
  auto model = ModelOfParts({{{{0, 0, 0}, {2, 3, 1}, {1, 1, 1}}, {Tri(0, 1, 2)}}});
  model->node_count = 3;
  model->units[0].basis_position = {1, 1, 1};
  model->units[1].basis_position = {0, 2, 0};
  model->units[2].basis_position = {5, 5, 5};  // past the Units: untouched
  model->motion_count = 2;
  model->motions[1].translation[1] = {1, 2, 3};
  RecomputeBounds(*model);
  return model;
}

TEST(ModelEditsTest, SizeAndPositionMovesThenScales) {
  auto model = BoxModel();
  double marker_scale = 0;
  ApplySizeAndPosition(*model, {-1, -1.5f, -0.5f}, {0.4f, 0.4f, 0.4f},
                       [&](double size) { marker_scale = size; });
  ExpectNear(model->total_corner_min, {-0.4f, -0.6f, -0.2f});
  ExpectNear(model->total_corner_max, {0.4f, 0.6f, 0.2f});
  ExpectNear(model->total_center, {0, 0, 0});
  ExpectNear(model->units[0].basis_position, {0, -0.2f, 0.2f});
  ExpectNear(model->units[1].basis_position, {-0.4f, 0.2f, -0.2f});
  EXPECT_EQ(model->units[2].basis_position, (Vec3{5, 5, 5}));
  // Motion translations are scaled, not moved.
  ExpectNear(model->motions[1].translation[1], {0.4f, 0.8f, 1.2f});
  EXPECT_EQ(model->modified, 1);
  EXPECT_NEAR(marker_scale, 1.0, 1e-6);  // the new height 1.2 over 1.2
}

TEST(ModelEditsTest, RotationsTurnVerticesNormalsAndUnitsButNotAngles) {
  auto model = BoxModel();
  model->normals[0] = {0, 0, 1};
  model->units[0].axis_angle = {0, 0, 90};
  DeriveAxis(*model, 0);
  RotateModelVertices(*model, 90, 0, 0);
  RotateModelUnits(*model, 90, 0, 0);
  ExpectNear(model->positions[1], {2, -1, 3});
  ExpectNear(model->normals[0], {0, -1, 0});
  ExpectNear(model->units[0].axis, {0, 0, 1});
  ExpectNear(model->units[0].basis_position, {1, -1, 1});
  EXPECT_EQ(model->units[0].axis_angle, (std::array<int32_t, 3>{0, 0, 90}));
  // The next derivation brings the old axis back; an X tilt leaves the direction alone.
  DeriveAxis(*model, 0);
  ExpectNear(model->units[0].axis, {0, 1, 0});
  model->units[1].axis_angle = {45, 90, 0};
  DeriveAxis(*model, 1);
  ExpectNear(model->units[1].axis, {0, 0, -1});
}

TEST(ModelEditsTest, FlipCullingReversesWindingAndNormals) {
  auto model = ModelOfParts(
      {{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {Quad(0, 1, 2, 3), Tri(0, 1, 2)}}});
  const std::vector<Face> before = model->faces;
  ScriptedHost host;
  FlipCulling(*model, host);
  EXPECT_EQ(model->faces[0], Quad(0, 3, 2, 1));
  EXPECT_EQ(model->faces[1], Tri(0, 2, 1));
  ExpectNear(model->normals[2], {0, 0, -1});
  FlipCulling(*model, host);
  EXPECT_EQ(model->faces, before);
  ExpectNear(model->normals[2], {0, 0, 1});
  EXPECT_EQ(host.wait_depth, 0);
}

TEST(ModelEditsTest, ShiftFaceCornersCyclesBackToTheStart) {
  auto model = ModelOfParts(
      {{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {Tri(0, 1, 2), Quad(0, 1, 2, 3)}}});
  ShiftFaceCorners(*model);
  EXPECT_EQ(model->faces[0], Tri(2, 0, 1));
  EXPECT_EQ(model->faces[1], Quad(3, 0, 1, 2));
  ShiftFaceCorners(*model);
  ShiftFaceCorners(*model);
  EXPECT_EQ(model->faces[0], Tri(0, 1, 2));  // three shifts restore a triangle
  ShiftFaceCorners(*model);
  EXPECT_EQ(model->faces[1], Quad(0, 1, 2, 3));  // four restore a quad
}

}  // namespace
}  // namespace vorna
