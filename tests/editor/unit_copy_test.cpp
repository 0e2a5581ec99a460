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

TEST(ApplyUnitPairsTest, ExchangeSwapsAnglesOfUnitsOfTheSameType) {
  auto dialog = OpenWith(UnitsNamed({"a", "b", "c", "d"}), {"a", "c"}, {"b", "d"});
  Model& model = *dialog.model;
  SetAngles(model, 0, {1, 30, 0});
  SetAngles(model, 1, {2, 300, 90});
  model.units[0].blend_param = {0, 1, 0, 20};
  model.units[1].blend_param = {2, 9, 1, 40};
  model.motions[0].translation[0] = {1, 1, 1};
  model.units[3].basis_type = 1;  // c and d differ: left alone
  SetAngles(model, 2, {5, 6, 7});
  ApplyUnitPairs(model, dialog.session, UnitCopyMode::kExchange, false, dialog.memory);
  EXPECT_EQ(Angles(model, 0), (std::array<int32_t, 3>{2, 60, 270}));
  EXPECT_EQ(Angles(model, 1), (std::array<int32_t, 3>{1, 330, 360}));
  EXPECT_EQ(model.units[0].blend_param, (std::array<int32_t, 4>{2, 9, 1, 40}));
  EXPECT_EQ(model.motions[0].translation[1], (Vec3{0, 0, 0}));
  EXPECT_EQ(Angles(model, 2), (std::array<int32_t, 3>{5, 6, 7}));
}

TEST(ApplyUnitPairsTest, RemembersThePairsForTheNextOpening) {
  auto dialog =
      OpenWith(UnitsNamed({"a", "b", "c", "d", "e"}), {"c", "a", "gone", "e"}, {"d", "b", "e"});
  dialog.memory.mode = UnitCopyMode::kExchange;
  ApplyUnitPairs(*dialog.model, dialog.session, UnitCopyMode::kCopy, false, dialog.memory);
  EXPECT_EQ(dialog.memory.pair_count, 3);
  AcceptUnitCopy(*dialog.model, dialog.view, dialog.session);

  UnitCopySession reopened = OpenUnitCopy(*dialog.model, dialog.view, dialog.memory);
  EXPECT_EQ(reopened.source.entries, (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(reopened.target.entries, (std::vector<std::string>{"d", "b"}));
  EXPECT_EQ(dialog.memory.mode, UnitCopyMode::kCopy);  // the operation shown is the one in force
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

TEST(AddUnitsToListTest, RefusesNamesAlreadyListedInEitherList) {
  auto dialog = OpenWith(UnitsNamed({"Arm", "leg", "head", "ARM"}), {"arm"}, {});
  ScriptedHost host;
  const int chosen[] = {3, 0, 1, 2};
  EXPECT_FALSE(AddUnitsToList(*dialog.model, host, dialog.session, true, chosen));
  EXPECT_EQ(dialog.session.target.entries, (std::vector<std::string>{"leg", "head"}));
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"既存のﾕﾆｯﾄは追加できません"});
}

TEST(CreateTargetUnitTest, ProposesRefusesAndCancelRemovesTheCreatedUnits) {
  auto dialog = OpenWith(UnitsNamed({"a", "b", "c", "x", "y"}), {"a", "b", "c"}, {"x", "y"});
  Model& model = *dialog.model;
  model.motions[0].translation[0] = {0.5f, 0, 0};
  dialog.view.part_alpha = 255;
  ScriptedHost host;
  EXPECT_EQ(ProposedUnitName(dialog.session), "c");
  EXPECT_FALSE(CreateTargetUnit(model, host, dialog.session, "C"));
  EXPECT_FALSE(CreateTargetUnit(model, host, dialog.session, ""));
  EXPECT_EQ(host.Texts(), (std::vector<std::string>{"既存のﾕﾆｯﾄ名は使えません", "未入力です"}));
  EXPECT_EQ(model.node_count, 5);

  ASSERT_TRUE(CreateTargetUnit(model, host, dialog.session, "c_copy"));
  ASSERT_TRUE(CreateTargetUnit(model, host, dialog.session, "d_copy"));
  EXPECT_EQ(model.node_count, 7);
  EXPECT_EQ(model.units[5].basis_type, 1u);
  EXPECT_EQ(dialog.session.target.entries.back(), "d_copy");

  ApplyUnitPairs(model, dialog.session, UnitCopyMode::kCopy, false, dialog.memory);
  EXPECT_EQ(model.motions[0].translation[3], (Vec3{0.5f, 0, 0}));
  EXPECT_TRUE(dialog.view.unit_copy_open);
  dialog.view.view_yaw = 270.0f;
  CancelUnitCopy(model, dialog.view, dialog.session);
  EXPECT_EQ(model.node_count, 5);
  EXPECT_EQ(FindUnitByName(model, "c_copy"), -1);
  EXPECT_EQ(model.motions[0].translation[3], (Vec3{0, 0, 0}));
  EXPECT_FALSE(dialog.view.unit_copy_open);
  EXPECT_EQ(dialog.view.view_yaw, 0.0f);
  EXPECT_FALSE(model.modified);
}

TEST(AcceptUnitCopyTest, MarksTheModelEditedOnlyWhenSomethingChanged) {
  for (const bool apply : {false, true}) {
    auto dialog = OpenWith(UnitsNamed({"a", "b"}), {"a", "gone"}, {"gone", "b"});
    if (apply) dialog.session.source.entries[1] = "a";  // now one pair names two Units
    ApplyUnitPairs(*dialog.model, dialog.session, UnitCopyMode::kCopy, false, dialog.memory);
    AcceptUnitCopy(*dialog.model, dialog.view, dialog.session);
    EXPECT_EQ(dialog.model->modified, apply);
  }
}

TEST(CreateTargetUnitTest, RefusesWhenTheNodeTableIsFull) {
  std::vector<std::string> names;
  for (int u = 0; u < kMaxCount; ++u) names.push_back(std::to_string(u));
  auto dialog = OpenWith(UnitsNamed(names), {}, {});
  ScriptedHost host;
  EXPECT_FALSE(CreateTargetUnit(*dialog.model, host, dialog.session, "one_more"));
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"これ以上追加できません"});
  EXPECT_EQ(dialog.model->node_count, kMaxCount);
}

}  // namespace
}  // namespace vorna
