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

TEST(NormalsTest, QuadGetsItsFaceNormalAndKeepsItsFace) {
  std::vector<Vec3> positions = kUnitSquare;
  positions.push_back({5, 5, 5});  // used by no face: a stale normal must not survive
  auto model = ModelOfParts({{positions, {Quad(0, 1, 2, 3)}}});
  model->normals[4] = {1, 1, 1};
  RebuildFaces(*model, false);
  for (int v = 0; v < 4; ++v) ExpectNear(model->normals[v], {0, 0, 1});
  EXPECT_EQ(model->normals[4], (Vec3{0, 0, 0}));
  ASSERT_EQ(model->faces.size(), 1u);
  EXPECT_EQ(model->faces[0], Quad(0, 1, 2, 3));
  EXPECT_EQ(model->total_face_count, 1);
  EXPECT_EQ(model->parts[1].first_face, 1u);
}

// Part 1 (vertex indices local, normals one further on): its vertex 0 is the corner of a right
// angle in z = 0 and of a 45-degree angle in x = 0, so weighted by angle its normal leans twice as
// far towards +z as towards +x (by area or by count it would lean equally). Vertex 4 lies on
// vertex 0 but is another index and takes only its own face; the degenerate face adds nothing,
// so vertex 1's opposite faces cancel to zero.
TEST(NormalsTest, CornersWeighTheirFacesByAngle) {
  auto model = ModelOfParts({{{{9, 9, 9}}, {}},
                             {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 0}},
                              {Tri(0, 1, 2), Tri(0, 2, 3), Tri(0, 0, 1), Tri(4, 2, 1)}}});
  RebuildFaces(*model, false);
  ExpectNear(model->normals[1], {0.4472136f, 0, 0.8944272f});
  ExpectNear(model->normals[2], {0, 0, 0});
  ExpectNear(model->normals[4], {1, 0, 0});
  ExpectNear(model->normals[5], {0, 0, -1});
}

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
  RecomputeBounds(*model);
  EXPECT_EQ(model->parts[0].corner_min, (Vec3{0, -2, 0}));
  EXPECT_EQ(model->parts[0].corner_max, (Vec3{4, 0, 1}));
  EXPECT_EQ(model->parts[0].center, (Vec3{2, -1, 0.5f}));  // the box's middle, not the mean
  EXPECT_EQ(model->parts[1].center, (Vec3{0, 0, 0}));      // no vertices: an empty box
  EXPECT_EQ(model->parts[2].corner_min, (Vec3{-1, 3, 0.5f}));
  EXPECT_EQ(model->total_corner_min, (Vec3{-1, -2, 0}));
  EXPECT_EQ(model->total_corner_max, (Vec3{4, 3, 1}));
  EXPECT_EQ(model->total_center, (Vec3{1.5f, 0.5f, 0.5f}));

  // Without Part records, or without vertices, everything sits at the origin.
  model = test::NewModel();
  RecomputeBounds(*model);
  EXPECT_EQ(model->total_center, (Vec3{}));
  model = ModelOfParts({{{}, {}}});
  model->total_corner_max = {3, 3, 3};
  RecomputeBounds(*model);
  EXPECT_EQ(model->total_corner_max, (Vec3{}));
}

TEST(BoundsTest, ModelSize) {
  struct Case {
    Vec3 low, high;
    double size;
  };
  const Case cases[] = {
      {{0, 0, 0}, {2.4f, 1, 1}, 2.0},
      {{0, 0, 0}, {2, 3, 1}, 3.0f / static_cast<double>(1.2f)},
      {{-0.6f, 0, 0}, {0.6f, 0, 0}, 1.0},
      {{1, 1, 1}, {1, 1, 1}, 1.0},
      {{0, 0, 0}, {0, 0, 5}, 5.0f / static_cast<double>(1.2f)},
      {{0, 0, 0}, {INFINITY, 0, 0}, 1.0},
      {{0, 0, 0}, {NAN, NAN, NAN}, 1.0},
  };
  for (const Case& c : cases) {
    auto model = test::NewModel();
    model->total_corner_min = c.low;
    model->total_corner_max = c.high;
    EXPECT_DOUBLE_EQ(ModelSize(*model), c.size) << c.high.x << " " << c.high.y << " " << c.high.z;
  }
}

}  // namespace
}  // namespace vorna
