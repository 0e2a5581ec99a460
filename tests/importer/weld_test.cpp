#include "importer/weld.h"

#include <gtest/gtest.h>

#include <vector>

namespace vorna {
namespace {

// Two triangles of a quad with every corner a vertex of its own, as the library hands OBJ files:
// the shared edge's corners (3, 4 repeat 0, 2) are the same vertices.
SceneMesh SplitQuad() {
  SceneMesh mesh;
  mesh.positions = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  mesh.normals.assign(6, {0, 0, 1});
  mesh.uvs = {{0, 1}, {1, 1}, {1, 0}, {0, 1}, {1, 0}, {0, 0}};
  mesh.triangles = {0, 1, 2, 3, 4, 5};
  mesh.bones = {{0, kSceneIdentity}, {1, kSceneIdentity}};
  mesh.influence_start = {0, 1, 2, 4, 5, 7, 8};
  mesh.influences = {{0, 1.0f}, {0, 1.0f}, {0, 0.5f}, {1, 0.5f},
                     {0, 1.0f}, {0, 0.5f}, {1, 0.5f}, {1, 1.0f}};
  return mesh;
}

// Each case changes one thing of a corner that the split quad repeats, and keeps it apart.
TEST(WeldTest, OnlyVerticesTheSameInEverythingMerge) {
  const std::pair<const char*, void (*)(SceneMesh&)> changes[] = {
      {"a normal",
       [](SceneMesh& m) {
         m.normals[3] = {0, 0, -1};
       }},
      {"texture coordinates",
       [](SceneMesh& m) {
         m.uvs[4] = {0.5f, 0};
       }},
      {"a weight", [](SceneMesh& m) { m.influences[6].weight = 0.25f; }},
      {"an influence's joint", [](SceneMesh& m) { m.influences[4].bone = 1; }},
      // Negative zero is another number's bits: kept apart, as the file keeps them.
      {"the sign of a zero",
       [](SceneMesh& m) {
         m.positions[3] = {-0.0f, 0, 0};
       }},
  };
  for (const auto& [change, apply] : changes) {
    SCOPED_TRACE(change);
    SceneMesh mesh = SplitQuad();
    apply(mesh);
    const SceneMesh before = mesh;
    WeldVertices(mesh);
    ASSERT_EQ(mesh.positions.size(), 5u);
    // Every corner keeps its position, normal, coordinates and influences.
    for (size_t k = 0; k < mesh.triangles.size(); ++k) {
      const uint32_t now = mesh.triangles[k], was = before.triangles[k];
      EXPECT_EQ(mesh.positions[now], before.positions[was]) << k;
      EXPECT_EQ(mesh.normals[now], before.normals[was]) << k;
      EXPECT_EQ(mesh.uvs[now], before.uvs[was]) << k;
      const uint32_t count = mesh.influence_start[now + 1] - mesh.influence_start[now];
      ASSERT_EQ(count, before.influence_start[was + 1] - before.influence_start[was]) << k;
      for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(mesh.influences[mesh.influence_start[now] + i].bone,
                  before.influences[before.influence_start[was] + i].bone);
        EXPECT_EQ(mesh.influences[mesh.influence_start[now] + i].weight,
                  before.influences[before.influence_start[was] + i].weight);
      }
    }
    EXPECT_EQ(mesh.influences.size(), mesh.influence_start.back());
  }
}

// The same corners merge, the first of each kept in order; without a skin just as well.
TEST(WeldTest, RepeatedCornersBecomeOneVertexInOrder) {
  for (const bool skin : {true, false}) {
    SceneMesh mesh = SplitQuad();
    if (!skin) {
      mesh.bones.clear();
      mesh.influence_start.clear();
      mesh.influences.clear();
    }
    WeldVertices(mesh);
    EXPECT_EQ(mesh.positions,
              (std::vector<std::array<float, 3>>{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}));
    EXPECT_EQ(mesh.uvs.size(), 4u);
    EXPECT_EQ(mesh.triangles, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(mesh.influence_start.size(), skin ? 5u : 0u);
  }
}

}  // namespace
}  // namespace vorna
