#include "model/mesh_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "geometry_fixtures.h"

namespace vorna {
namespace {

using test::NewModel;
using test::Quad;
using test::Tri;

const std::vector<Vec3> kSquare = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};

SplitFace Split(uint32_t part, std::array<uint32_t, 3> vertex, std::array<uint32_t, 3> normal) {
  return SplitFace{{vertex[0], vertex[1], vertex[2], kNoCorner},
                   {normal[0], normal[1], normal[2], kNoNormal},
                   part};
}

TEST(MeshBuilderTest, WholeMeshesKeepEveryVertexInPartOrder) {
  ScriptedHost host;
  MeshBuilder builder(host);
  for (int p = 0; p < 3; ++p) ASSERT_TRUE(builder.AddPart(nullptr));
  builder.Look(2).name = "last";
  builder.Look(2).material.power = 7.0f;
  const std::vector<float> u = {0.1f, 0.2f, 0.3f, 0.4f}, blend = {0, 0.5f, 1, 0.25f};
  const std::vector<Vec3> up(4, Vec3{0, 0, 1});
  // Part 1 stays empty; Part 2 takes two meshes, the second's faces moved past the first's
  // vertices; the fourth vertex of the triangle mesh is kept although no face uses it.
  ASSERT_TRUE(builder.AddMesh(2, {kSquare, u, u, blend, up}, std::vector{Tri(0, 1, 2)}, nullptr));
  ASSERT_TRUE(
      builder.AddMesh(0, {kSquare, {}, {}, {}, {}}, std::vector{Quad(0, 1, 2, 3)}, nullptr));
  ASSERT_TRUE(builder.AddMesh(2, {kSquare, {}, {}, {}, {}}, std::vector{Tri(3, 2, 1)}, nullptr));
  auto model = NewModel();
  ASSERT_TRUE(builder.Build(*model, nullptr));
  const std::pair<uint32_t, uint32_t> ranges[] = {{0, 0}, {4, 1}, {4, 1}, {12, 3}};
  for (int p = 0; p <= 3; ++p) {
    EXPECT_EQ(std::pair(model->parts[p].first_vertex, model->parts[p].first_face), ranges[p]);
  }
  EXPECT_EQ(model->faces, (std::vector{Quad(0, 1, 2, 3), Tri(0, 1, 2), Tri(7, 6, 5)}));
  EXPECT_EQ(model->node_name[2], "last");
  EXPECT_EQ(model->node_name[0], "no-name");
  EXPECT_EQ(model->parts[2].material.power, 7.0f);
  EXPECT_EQ((std::array{model->tex_u[5], model->blend[7], model->tex_u[9]}),
            (std::array{0.2f, 0.25f, 0.0f}));
  // Given normals stay, missing ones are computed from their Part's faces.
  EXPECT_EQ((std::array{model->normals[7], model->normals[0], model->normals[9]}),
            (std::array{Vec3{0, 0, 1}, Vec3{0, 0, 1}, Vec3{0, 0, -1}}));
  EXPECT_EQ(model->total_corner_max, (Vec3{1, 1, 0}));
}

TEST(MeshBuilderTest, SplitMeshesMakeOneVertexPerPositionAndNormalValue) {
  ScriptedHost host;
  MeshBuilder builder(host);
  for (int p = 0; p < 2; ++p) ASSERT_TRUE(builder.AddPart(nullptr));
  // Normals 0 and 1 are equal (and 3 is 0 with its sign), 2 differs, 4 is NaN.
  const float nan = std::nanf("");
  const std::vector<Vec3> normals = {{0, 0, 1}, {0, 0, 1}, {1, 0, 0}, {-0.0f, 0, 1}, {nan, 0, 1}};
  const std::vector<SplitFace> faces = {
      Split(1, {0, 1, 2}, {0, 0, 0}),
      Split(1, {2, 1, 0}, {1, 2, 3}),  // 2 and 0 shared, 1 split off by its other normal
      Split(0, {0, 3, 2}, {0, 4, 4}),  // another Part: new vertices; one NaN normal index shared
      Split(0, {0, 3, 3}, {kNoNormal, 4, kNoNormal}),
      Split(0, {2, 3, 3}, {kNoNormal, kNoNormal, kNoNormal}),
  };
  ASSERT_TRUE(builder.AddSplitMesh({kSquare, {}, {}, {}, normals}, faces, nullptr));
  auto model = NewModel();
  ASSERT_TRUE(builder.Build(*model, nullptr));
  EXPECT_EQ(model->faces,
            (std::vector{Tri(0, 1, 2), Tri(3, 1, 4), Tri(5, 4, 4), Tri(0, 1, 2), Tri(2, 3, 0)}));
  // Part 1 never meets the square's vertex 3; its vertex 1 comes with normal 0, then normal 2.
  EXPECT_EQ(std::pair(model->parts[1].first_vertex, model->total_vertex_count), std::pair(6u, 10));
  EXPECT_EQ((std::array{model->positions[7], model->positions[9], model->normals[9]}),
            (std::array{kSquare[1], kSquare[1], Vec3{1, 0, 0}}));
}

TEST(MeshBuilderTest, LimitsAndIndicesAreCheckedBeforeAnythingIsStored) {
  ScriptedHost host;
  MeshBuilder builder(host, {.max_vertices = 6, .max_faces = 2});
  ReadError error;
  for (int p = 0; p < kMaxParts - 1; ++p) ASSERT_TRUE(builder.AddPart(&error));
  EXPECT_FALSE(builder.AddPart(&error));
  const MeshVertices square = {kSquare, {}, {}, {}, {}};
  for (const auto& faces : {std::vector{Tri(0, 1, 4)}, std::vector{Quad(0, 1, 2, 4)},
                            std::vector{Tri(0, 1, 2), Tri(0, 1, 2), Tri(0, 1, 2)}}) {
    EXPECT_FALSE(builder.AddMesh(0, square, faces, &error));
  }
  auto model = NewModel();
  EXPECT_FALSE(builder.Build(*model, &error));  // nothing was stored
  EXPECT_EQ(error.kind, ReadErrorKind::kInvalidModel);
  ASSERT_TRUE(builder.AddMesh(0, square, std::vector{Tri(0, 1, 2)}, &error));
  EXPECT_FALSE(builder.AddMesh(1, square, std::vector{Tri(0, 1, 2)}, &error));  // 8 vertices
  // Split vertices count as they are made: two more fit, a third does not.
  const std::vector<SplitFace> split = {Split(3, {0, 1, 2}, {kNoNormal, kNoNormal, kNoNormal})};
  EXPECT_FALSE(builder.AddSplitMesh(square, split, &error));
  EXPECT_EQ(error.kind, ReadErrorKind::kLimit);
}

}  // namespace
}  // namespace vorna
