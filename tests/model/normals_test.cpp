#include "model/normals.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry_fixtures.h"
#include "model/bounds.h"
#include "model/model_edits.h"

namespace vorna {
namespace {

using test::ExpectNear;
using test::ModelOfParts;
using test::Quad;
using test::Tri;

const std::vector<Vec3> kUnitSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

TEST(NormalsTest, OddRecordsStayInsideTheArrays) {
  auto model = ModelOfParts({{kUnitSquare, {Quad(0, 1, 2, 3), Tri(0, 9, 1), Quad(0, 1, 2, 77)}},
                             {{}, {}},
                             {{{0, 0, 0}}, {Tri(0, 0, 0)}}});
  model->parts[3].first_vertex = 1000;  // the sentinel claims more vertices than there are
  model->parts[3].first_face = 1000;
  RebuildFaces(*model, false);
  for (const Vec3& n : model->normals) {
    EXPECT_TRUE(std::isfinite(n.x) && std::isfinite(n.y) && std::isfinite(n.z));
  }
  ExpectNear(model->normals[3], {0, 0, 1});
  RebuildFaces(*model, true);
  EXPECT_EQ(model->total_face_count, static_cast<int>(model->faces.size()));
}

// A Part large enough to be shared between two threads gets, to the bit, the normals the same
// surface gets as quads on one thread: a quad counts as its fan, in the same order.
TEST(NormalsTest, ALargePartGetsTheNormalsOfOneThread) {
  constexpr uint32_t kSide = 190;  // 35,721 quads, 71,442 triangles
  std::vector<Vec3> grid;
  for (uint32_t j = 0; j < kSide; ++j) {
    for (uint32_t i = 0; i < kSide; ++i) {
      grid.push_back({i * 0.01f, std::sin(i * 0.05f) * std::cos(j * 0.07f) * 0.1f, j * 0.01f});
    }
  }
  std::vector<Face> quads, triangles;
  for (uint32_t a = 0; a + kSide + 1 < kSide * kSide; ++a) {
    if (a % kSide == kSide - 1) continue;
    quads.push_back(Quad(a, a + 1, a + kSide + 1, a + kSide));
    triangles.push_back(Tri(a, a + 1, a + kSide + 1));
    triangles.push_back(Tri(a, a + kSide + 1, a + kSide));
  }
  auto by_quads = ModelOfParts({{grid, quads}});
  auto by_triangles = ModelOfParts({{grid, triangles}});
  ComputeNormals(*by_quads);
  ComputeNormals(*by_triangles);
  EXPECT_EQ(by_triangles->normals, by_quads->normals);
  EXPECT_NEAR(Length(by_triangles->normals.back()), 1.0f, 1e-6f);
}

TEST(TriangulationTest, QuadsBecomeFansAndPartsAreRenumbered) {
  auto model = ModelOfParts({{kUnitSquare, {Quad(0, 1, 2, 3), Tri(2, 1, 0)}},
                             {kUnitSquare, {Quad(3, 2, 1, 0), Quad(0, 1, 2, 3)}},
                             {kUnitSquare, {}}});
  for (Vec3& n : model->normals) n = {0, 1, 0};
  ScriptedHost host;
  ConvertToTriangles(*model, host);
  const std::vector<Face> expected = {Tri(0, 1, 2), Tri(0, 2, 3), Tri(2, 1, 0), Tri(3, 2, 1),
                                      Tri(3, 1, 0), Tri(0, 1, 2), Tri(0, 2, 3)};
  EXPECT_EQ(model->faces, expected);
  EXPECT_EQ(model->total_face_count, 7);
  EXPECT_EQ(model->parts[1].first_face, 3u);
  EXPECT_EQ(model->parts[2].first_face, 7u);
  EXPECT_EQ(model->parts[3].first_face, 7u);
  EXPECT_EQ(model->all_triangles, 1);
  EXPECT_EQ(model->normals[0], (Vec3{0, 1, 0}));  // kept
  EXPECT_EQ(host.wait_depth, 0);
}

TEST(BoundsTest, BoxesCentresAndTotals) {
  auto model = ModelOfParts(
      {{{{0, 0, 0}, {0.1f, 0, 0}, {0.2f, 0, 0}, {4, -2, 1}}, {}}, {{}, {}}, {{{-1, 3, 0.5f}}, {}}});
  model->parts[1].center = {5, 5, 5};  // as a file stored it
  RecomputeBounds(*model);
  EXPECT_EQ(model->parts[0].corner_min, (Vec3{0, -2, 0}));
  EXPECT_EQ(model->parts[0].corner_max, (Vec3{4, 0, 1}));
  EXPECT_EQ(model->parts[0].center, (Vec3{2, -1, 0.5f}));  // the box's middle, not the mean
  EXPECT_EQ(model->parts[1].center, (Vec3{0, 0, 0}));      // no vertices: an empty box
  EXPECT_EQ(model->parts[2].corner_min, (Vec3{-1, 3, 0.5f}));
  EXPECT_EQ(model->total_corner_min, (Vec3{-1, -2, 0}));
  EXPECT_EQ(model->total_corner_max, (Vec3{4, 3, 1}));
  EXPECT_EQ(model->total_center, (Vec3{1.5f, 0.5f, 0.5f}));
  model->total_corner_min.z = -11;  // the largest extent, over 1.2, whichever axis it lies on
  EXPECT_NEAR(ModelSize(*model), 10.0, 1e-6);

  // Without Part records, or without vertices, everything sits at the origin.
  model = test::NewModel();
  RecomputeBounds(*model);
  EXPECT_EQ(model->total_center, (Vec3{}));
  model = ModelOfParts({{{}, {}}});
  model->total_corner_max = {3, 3, 3};
  RecomputeBounds(*model);
  EXPECT_EQ(model->total_corner_max, (Vec3{}));
}

TEST(ModelEditsTest, SizeAndPositionMovesThenScales) {
  // The box (0, 0, 0)..(2, 3, 1) as one Part, with two Units and two Motions.
  auto model = ModelOfParts({{{{0, 0, 0}, {2, 3, 1}, {1, 1, 1}}, {Tri(0, 1, 2)}}});
  model->node_count = 3;
  model->units[0].basis_position = {1, 1, 1};
  model->units[1].basis_position = {0, 2, 0};
  model->units[2].basis_position = {5, 5, 5};  // past the Units: untouched
  model->motion_count = 2;
  model->motions[1].translation[1] = {1, 2, 3};
  RecomputeBounds(*model);
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
