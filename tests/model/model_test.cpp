#include "model/model.h"

#include <gtest/gtest.h>

#include <functional>

#include "model/hierarchy.h"
#include "model/model_check.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

// Two Parts: a triangle over three vertices and a quad over four; one Unit above them.
void MakeValid(Model& m) {
  AllocateParts(m, 2);
  AllocateVertices(m, 7);
  AllocateFaces(m, 2);
  m.parts[1].first_vertex = 3;
  m.parts[1].first_face = 1;
  m.parts[2].first_vertex = 7;
  m.parts[2].first_face = 2;
  m.faces[0] = Face{{0, 1, 2, kNoCorner}};
  m.faces[1] = Face{{0, 1, 2, 3}};
  m.node_count = 3;
  m.parent[2] = -1;
}

TEST(ModelCheckTest, RefusesEachBrokenRule) {
  const std::pair<const char*, std::function<void(Model&)>> cases[] = {
      {"no parts", [](Model& m) { m.parts_count = 0; }},
      {"sentinel missing", [](Model& m) { m.parts.pop_back(); }},
      {"too many nodes", [](Model& m) { m.node_count = kMaxNodes + 1; }},
      {"unit is its own parent", [](Model& m) { m.parent[2] = 2; }},
      {"unit's parent below the top level", [](Model& m) { m.parent[2] = -2; }},
      {"motion count", [](Model& m) { m.motion_count = kMaxCount + 1; }},
      {"current anim", [](Model& m) { m.current_anim = 0; }},
      {"current anim below none", [](Model& m) { m.current_anim = -2; }},
      {"short normals", [](Model& m) { m.normals.pop_back(); }},
      {"ranges decrease", [](Model& m) { m.parts[1].first_vertex = 8; }},
      {"ranges end early", [](Model& m) { m.parts[2].first_face = 1; }},
      {"first corner outside its part", [](Model& m) { m.faces[0].corner[0] = 3; }},
      {"second corner outside its part", [](Model& m) { m.faces[0].corner[1] = 3; }},
      {"third corner outside its part", [](Model& m) { m.faces[0].corner[2] = 3; }},
      {"quad corner outside its part", [](Model& m) { m.faces[1].corner[3] = 4; }},
  };
  auto valid = test::NewModel();
  MakeValid(*valid);
  ASSERT_TRUE(CheckModel(*valid, nullptr));
  for (const auto& [what, breakage] : cases) {
    SCOPED_TRACE(what);
    auto model = test::NewModel();
    MakeValid(*model);
    breakage(*model);
    ReadError error;
    EXPECT_FALSE(CheckModel(*model, &error));
    EXPECT_EQ(error.kind, ReadErrorKind::kInvalidModel);
  }
}

}  // namespace
}  // namespace vorna
