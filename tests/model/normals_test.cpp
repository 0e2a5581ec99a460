#include "model/normals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

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

// The definition, vertex by vertex over every triangle of the Part.
std::vector<Vec3> QuadraticNormals(const Model& model) {
  auto unit = [](Vec3 v) {
    const float length = Length(v);
    return length == 0.0f ? Vec3{} : Vec3{v.x / length, v.y / length, v.z / length};
  };
  std::vector<Vec3> normals(model.positions.size());
  for (int k = 0; k < model.parts_count; ++k) {
    const uint32_t first = model.parts[k].first_vertex;
    const uint32_t count = model.parts[k + 1].first_vertex - first;
    std::vector<std::array<uint32_t, 3>> triangles;
    for (uint32_t f = model.parts[k].first_face; f < model.parts[k + 1].first_face; ++f) {
      const uint32_t* c = model.faces[f].corner;
      triangles.push_back({c[0], c[1], c[2]});
      if (c[3] != kNoCorner) triangles.push_back({c[0], c[2], c[3]});
    }
    for (uint32_t v = 0; v < count; ++v) {
      Vec3 sum;
      for (const auto& t : triangles) {
        if (t[0] >= count || t[1] >= count || t[2] >= count) continue;
        const Vec3 p[3] = {model.positions[first + t[0]], model.positions[first + t[1]],
                           model.positions[first + t[2]]};
        const Vec3 face = unit(Cross(p[1] - p[0], p[2] - p[0]));
        int corner = -1;
        for (int c = 0; c < 3 && corner < 0; ++c) {
          if (t[c] == v) corner = c;
        }
        if (corner < 0) continue;
        const Vec3 others[2] = {p[corner == 0 ? 1 : 0], p[corner == 2 ? 1 : 2]};
        const Vec3 e1 = others[0] - p[corner], e2 = others[1] - p[corner];
        if (Length(e1) == 0.0f || Length(e2) == 0.0f) continue;
        const float cosine = std::clamp(Dot(unit(e1), unit(e2)), -1.0f, 1.0f);
        sum = sum + face * std::acos(cosine);
      }
      normals[first + v] = unit(sum);
    }
  }
  return normals;
}

TEST(NormalsTest, RandomMeshesMatchTheVertexByVertexDefinition) {
  std::mt19937 random(77);
  std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
  for (int round = 0; round < 30; ++round) {
    std::vector<test::PartMesh> meshes(1 + random() % 4);
    for (test::PartMesh& mesh : meshes) {
      const uint32_t vertices = 1 + random() % 40;
      for (uint32_t v = 0; v < vertices; ++v) {
        // A few coincident positions under different indices.
        if (v > 0 && random() % 8 == 0) {
          mesh.positions.push_back(mesh.positions[random() % v]);
        } else {
          mesh.positions.push_back({coordinate(random), coordinate(random), coordinate(random)});
        }
      }
      const int faces = static_cast<int>(random() % 60);
      for (int f = 0; f < faces; ++f) {
        auto pick = [&] { return static_cast<uint32_t>(random() % vertices); };
        if (random() % 3 == 0) {
          mesh.faces.push_back(Quad(pick(), pick(), pick(), pick()));
        } else {
          mesh.faces.push_back(Tri(pick(), pick(), pick()));
        }
      }
    }
    auto model = ModelOfParts(meshes);
    const std::vector<Vec3> expected = QuadraticNormals(*model);
    RebuildFaces(*model, false);
    for (size_t v = 0; v < expected.size(); ++v) {
      ASSERT_NEAR(model->normals[v].x, expected[v].x, 1e-5f) << "round " << round << " v " << v;
      ASSERT_NEAR(model->normals[v].y, expected[v].y, 1e-5f);
      ASSERT_NEAR(model->normals[v].z, expected[v].z, 1e-5f);
    }
  }
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
