#include "editor/unit_copy.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/geometry_fixtures.h"

namespace vorna {
namespace {

// Top-level Units named `names` (no Parts), XYZ axes, one Motion.
std::unique_ptr<Model> UnitsNamed(const std::vector<std::string>& names) {
  return test::Loaded({}, names, std::vector<int>(names.size(), -1));
}

struct CopyDialog {
  std::unique_ptr<Model> model;
  ViewState view;
  UnitCopyMemory memory;
  UnitCopySession session;
};

CopyDialog OpenWith(std::unique_ptr<Model> model, std::vector<std::string> source,
                    std::vector<std::string> target) {
  CopyDialog dialog{std::move(model), {}, {}, {}};
  dialog.session = OpenUnitCopy(*dialog.model, dialog.view, dialog.memory);
  dialog.session.source.entries = std::move(source);
  dialog.session.target.entries = std::move(target);
  return dialog;
}

std::array<int32_t, 3> Angles(const Model& model, int unit) {
  return {model.motions[0].angle[0][unit], model.motions[0].angle[1][unit],
          model.motions[0].angle[2][unit]};
}

void SetAngles(Model& model, int unit, std::array<int32_t, 3> angles) {
  for (int k = 0; k < 3; ++k) model.motions[0].angle[k][unit] = angles[k];
}

TEST(ApplyUnitPairsTest, CopiesAndMirrorsByAxisType) {
  using A3 = std::array<int32_t, 3>;
  struct Case {
    uint32_t type;  // 2: XYZ axes, 1: a tilted axis (only the first angle is the Unit's)
    UnitCopyMode mode;
    bool mirror_tilt;
    A3 source, target, axis_angle;
  } cases[] = {
      {2, UnitCopyMode::kMirroredCopy, false, {10, 30, 0}, {10, 330, 0}, {5, 0, -20}},
      {2, UnitCopyMode::kMirroredCopy, false, {0, -20, 45}, {0, 20, 315}, {5, 0, -20}},
      {1, UnitCopyMode::kCopy, false, {30, 7, 8}, {30, 2, 3}, {5, 0, -20}},
      {1, UnitCopyMode::kMirroredCopy, false, {30, 7, 8}, {30, 2, 3}, {5, 360, 20}},  // 0: 360
      {1, UnitCopyMode::kMirroredCopy, true, {30, 7, 8}, {330, 2, 3}, {5, 360, 20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.type << " " << static_cast<int>(c.mode) << c.mirror_tilt);
    auto dialog = OpenWith(UnitsNamed({"arm_l", "arm_r"}), {"arm_l"}, {"arm_r"});
    Model& model = *dialog.model;
    model.units[0].basis_type = c.type;
    model.units[0].axis_angle = {5, 0, -20};
    SetAngles(model, 0, c.source);
    SetAngles(model, 1, {1, 2, 3});
    model.units[0].basis_position = {0.2f, 0.5f, 0.1f};
    model.units[0].blend_param = {1, 50, 1, 300};
    model.motions[0].translation[0] = {0.3f, 0.0f, 0.0f};
    ApplyUnitPairs(model, dialog.session, c.mode, c.mirror_tilt, dialog.memory);
    EXPECT_EQ(model.units[1].basis_type, c.type);
    EXPECT_EQ(Angles(model, 1), c.target);
    if (c.type == 1) {
      EXPECT_EQ(model.units[1].axis_angle, c.axis_angle);
      EXPECT_NEAR(Length(model.units[1].axis), 1.0f, 1e-6f);  // derived again
    }
    const bool mirrored = c.mode == UnitCopyMode::kMirroredCopy;
    EXPECT_EQ(model.units[1].basis_position, (Vec3{mirrored ? -0.2f : 0.2f, 0.5f, 0.1f}));
    EXPECT_EQ(model.motions[0].translation[1], (Vec3{0.3f, 0.0f, 0.0f}));  // not mirrored
    EXPECT_EQ(model.units[1].blend_param, (std::array<int32_t, 4>{1, 50, 1, 300}));
  }
}

TEST(UnitNamesTest, ComparesAsciiLettersWithoutCaseOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"Arm_L", "aRM_l", true},         {"Arm", "Arms", false},
      {"\x83\x41", "\x83\x61", false},  // two different double-byte characters
      {"\x83\x41x", "\x83\x41X", true}, {"", "", true},
  };
  for (const Case& c : cases) EXPECT_EQ(SameNameIgnoringCase(c.a, c.b), c.same) << c.a;

  auto model = test::NewModel();
  AllocateParts(*model, 1);
  model->node_name[0] = "leg";
  model->node_count = 3;
  model->node_name[1] = "hip";
  model->node_name[2] = "leg";
  EXPECT_EQ(FindUnitByName(*model, "leg"), 1);  // the Part of that name is not a Unit
  EXPECT_EQ(FindUnitByName(*model, "Leg"), -1);
}

}  // namespace
}  // namespace vorna
