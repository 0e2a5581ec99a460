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

}  // namespace
}  // namespace vorna
