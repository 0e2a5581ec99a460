#include "model/model_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/model_fixtures.h"

namespace vorna {
namespace {

// Two Parts: a triangle over vertices 0..2 and a quad over 3..6.
std::unique_ptr<Model> ValidModel() {
  auto model = test::NewModel();
  AllocateParts(*model, 2);
  AllocateVertices(*model, 7);
  AllocateFaces(*model, 2);
  model->parts[1] = Part{.first_vertex = 3, .first_face = 1};
  model->parts[2] = Part{.first_vertex = 7, .first_face = 2};
  model->faces[0] = Face{{0, 1, 2, kNoCorner}};
  model->faces[1] = Face{{0, 1, 2, 3}};
  return model;
}

TEST(ModelCheckTest, RefusesEveryBrokenRule) {
  struct Case {
    const char* what;
    std::function<void(Model&)> break_it;
  };
  const Case cases[] = {
      {"no parts", [](Model& m) { AllocateParts(m, 0); }},
      {"256 parts", [](Model& m) { m.parts_count = kMaxParts; }},
      {"units beyond the tables", [](Model& m) { m.node_count = kMaxNodes + 1; }},
      {"fewer nodes than parts", [](Model& m) { m.node_count = 1; }},
      {"motion count", [](Model& m) { m.motion_count = kMaxCount + 1; }},
      {"current anim without anims", [](Model& m) { m.current_anim = 0; }},
      {"a short per-vertex array", [](Model& m) { m.blend.pop_back(); }},
      {"faces not matching their total", [](Model& m) { m.total_face_count = 3; }},
      {"first part not at 0", [](Model& m) { m.parts[0].first_face = 1; }},
      {"ranges decreasing", [](Model& m) { m.parts[1].first_vertex = 8; }},
      {"ranges short of the totals", [](Model& m) { m.parts[2].first_vertex = 6; }},
      {"a corner outside its part", [](Model& m) { m.faces[1].corner[3] = 4; }},
      {"a triangle corner outside", [](Model& m) { m.faces[0].corner[2] = 3; }},
  };
  EXPECT_TRUE(CheckModel(*ValidModel(), nullptr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto model = ValidModel();
    c.break_it(*model);
    ReadError error;
    EXPECT_FALSE(CheckModel(*model, &error));
    EXPECT_EQ(error.kind, ReadErrorKind::kInvalidModel);
  }
}

}  // namespace
}  // namespace vorna
