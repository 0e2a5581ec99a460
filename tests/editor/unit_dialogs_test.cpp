// The editor's side of the Unit dialogs: settings slots, blend weights and the view lock, and
// copying and mirroring Units.
#include <gtest/gtest.h>

#include <vector>

#include "editor/unit_copy.h"
#include "editor/unit_settings.h"
#include "model/geometry_fixtures.h"

namespace vorna {
namespace {

// Units 0 (A, top level) > 1 (B) and 2 (C, top level), no Parts, one Motion; A is selected.
std::unique_ptr<Model> ThreeUnits() {
  auto model = test::Loaded({}, {"A", "B", "C"}, {-1, -1, -1});
  model->forest.Detach(1);  // a parent of 0 reads as none in a loaded table
  model->forest.InsertAppended(1, 0);
  model->selected_unit = 0;
  for (int u = 0; u < 3; ++u) {
    DeriveAxis(*model, u);  // as a load does
    for (int k = 0; k < 3; ++k) model->motions[0].angle[k][u] = 10 + k;
    model->motions[0].translation[u] = {1, 2, 3};
    model->motions[0].scale[u] = {2, 2, 2};
  }
  return model;
}

// One Unit (node 1) owning Part 0, whose vertices lie along x at `xs`.
std::unique_ptr<Model> UnitWithPart(const std::vector<float>& xs) {
  std::vector<Vec3> positions;
  for (float x : xs) positions.push_back({x, 0, 0});
  auto model = test::ModelOfParts({{positions, {}}});
  model->node_count = 2;
  model->parent[0] = 1;
  model->selected_unit = 0;
  model->blend.assign(xs.size(), 0.5f);
  return model;
}

// A slider position shows as a text that stores the value it names; typed text is stored as
// read, unclamped, with the slider at its end.
TEST(UnitSlotTest, TextsStoreTheirValueAndPlaceTheSlider) {
  struct Case {
    int slot;
    const char* text;
    int position;
    bool shown;  // the text a slider at `position` shows
  } cases[] = {
      {13, "0.500", 1500, true}, {16, "0.250", 250, true}, {4, "-1.000", 0, true},
      {12, "1.000", 2000, true}, {8, "90", 90, true},      {13, "5", 2000, false},
      {13, "abc", 1000, false},  {13, "0.7", 1700, false}, {13, "-0.0004", 999, false},
      {16, "1e3", 2000, false},  {16, "nan", 0, false},    {7, "-3", 0, false},
      {7, " 12.7", 12, false},   {7, "400", 360, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.slot << " " << c.text);
    auto model = ThreeUnits();
    EXPECT_EQ(StoreSlotText(*model, c.slot, c.text), c.position);
    EXPECT_EQ(SlotPosition(*model, c.slot), c.position);
    if (c.shown) {
      EXPECT_EQ(SlotTextAtPosition(c.slot, c.position), c.text);
      EXPECT_EQ(SlotText(*model, c.slot), c.text);
    }
  }
  auto model = ThreeUnits();
  StoreSlotText(*model, 13, "5");
  StoreSlotText(*model, 8, "99999999999");
  StoreSlotText(*model, 3, "90");  // an axis tilt derives the axis
  EXPECT_EQ(model->motions[0].translation[0].x, 5.0f);
  EXPECT_EQ(model->motions[0].translation[1].x, 1.0f);  // only the selected Unit
  EXPECT_EQ(model->motions[0].angle[1][0], 2147483647);
  EXPECT_NEAR(model->units[0].axis.y, 1.0f, 1e-6f);
}

TEST(BlendToolTest, WeightsFallWithDistanceAndCanBeZeroed) {
  auto model = UnitWithPart({0.05f, 0.6f, 1.5f, -0.6f});
  StoreBlendSettings(*model, {0, 10, 0, 100});  // "y=ax" with a = 1, weight 1 within 0.1
  const float weights[] = {1.0f, 0.4f, 0.0f, 0.4f};
  for (int v = 0; v < 4; ++v) EXPECT_NEAR(model->blend[v], weights[v], 1e-6f) << v;
  StoreBlendParam(*model, 1, 5);
  EXPECT_NEAR(model->blend[1], 0.7f, 1e-6f);
  StoreBlendParam(*model, 0, 1);  // measured along y, where every vertex sits at 0
  EXPECT_EQ(model->blend, std::vector<float>(4, 1.0f));
  ZeroBlendWeights(*model);
  EXPECT_EQ(model->blend, std::vector<float>(4, 0.0f));
  model->units[0].blend_param[0] = 0;  // along x again, the weights left as they are
  NeutraliseUnit(*model, true);        // with "a" at 0 the weights are worked out again
  EXPECT_EQ(model->blend, std::vector<float>(4, 1.0f));
}

TEST(DirectionLockTest, GreysTheCoordinateAlongTheLineOfSight) {
  struct Case {
    float yaw, pitch;
    int coordinate;
  } cases[] = {{180, -1, 2}, {90, -1, 0}, {-1, 270, 1}, {45, -1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.yaw << ", " << c.pitch);
    const int line = LineOfSightCoordinate(c.yaw, c.pitch);
    EXPECT_EQ(line, c.coordinate);
    for (int base : {4, 10, 13, 16}) {
      for (int k = 0; k < 3; ++k) EXPECT_EQ(SlotLockedByView(base + k, line), k == line);
    }
    EXPECT_FALSE(SlotLockedByView(9, line));  // angles are never locked
  }
}

TEST(UnitSettingsSessionTest, CancelRestoresEveryUnitTheBlendWeightsAndTheView) {
  auto model = ThreeUnits();
  model->blend = {0.25f, 0.75f};
  ViewState view;
  view.texture_colour_on = true;
  view.ground_on = true;
  view.view_yaw = 90.0f;
  view.free_camera.active = true;
  const auto before = std::make_unique<Model>(*model);
  UnitSettingsSession session = OpenUnitSettings(*model, view);
  EXPECT_EQ(view.part_alpha, 128);
  EXPECT_FALSE(view.free_camera.active);  // the dialog turns the view itself
  EXPECT_FALSE(view.texture_colour_on);
  EXPECT_FALSE(view.ground_on);
  EXPECT_EQ(view.unit_dialog_page, 2);

  for (int u = 0; u < 3; ++u) {
    model->selected_unit = u;
    StoreSlotText(*model, 13, "0.9");
    StoreSlotText(*model, 1, "45");
    ShowUnitPage(*model, 0, view.unit_dialog_page);
  }
  model->current_motion = kMaxMotions;  // no Motion to reset: nothing happens
  ResetUnitPose(*model, 1);
  model->current_motion = 0;
  ResetUnitPose(*model, 1);  // the selected Unit's angles
  for (const auto& angles : model->motions[0].angle) EXPECT_EQ(angles[2], 0);
  model->motions[0].translation[2] = {1, 2, 3};
  ASSERT_NE(model->motions[0].scale[2], (Vec3{1, 1, 1}));
  ResetUnitPose(*model, 3);  // its move
  ResetUnitPose(*model, 4);  // its scale
  EXPECT_EQ(model->motions[0].translation[2], (Vec3{}));
  EXPECT_EQ(model->motions[0].scale[2], (Vec3{1, 1, 1}));
  model->blend = {1.0f, 1.0f};
  view.fill_mode = kFillPoint;
  view.view_yaw = 180.0f;
  CancelUnitSettings(*model, view, session);
  for (int u = 0; u < 3; ++u) EXPECT_TRUE(model->units[u] == before->units[u]) << u;
  EXPECT_TRUE(model->motions[0] == before->motions[0]);
  EXPECT_EQ(model->blend, before->blend);
  EXPECT_EQ(view.part_alpha, 255);
  EXPECT_EQ(view.fill_mode, kFillSolid);
  EXPECT_TRUE(view.texture_colour_on);
  EXPECT_EQ(view.view_yaw, 90.0f);
  EXPECT_TRUE(view.free_camera.active);
}

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
  // Exchanging swaps the first angles; with XYZ axes the other two pass to the other Unit
  // mirrored. Units of different axis types are left alone.
  const struct {
    uint32_t types[2];
    A3 left, right;
  } exchanges[] = {{{1, 1}, {1, 7, 8}, {30, 2, 3}},
                   {{2, 2}, {1, 358, 357}, {30, 353, 352}},
                   {{1, 2}, {30, 7, 8}, {1, 2, 3}}};
  for (const auto& c : exchanges) {
    SCOPED_TRACE(testing::Message() << c.types[0] << c.types[1]);
    auto dialog = OpenWith(UnitsNamed({"arm_l", "arm_r"}), {"arm_l"}, {"arm_r"});
    Model& model = *dialog.model;
    for (int u = 0; u < 2; ++u) model.units[u].basis_type = c.types[u];
    SetAngles(model, 0, {30, 7, 8});
    SetAngles(model, 1, {1, 2, 3});
    ApplyUnitPairs(model, dialog.session, UnitCopyMode::kExchange, false, dialog.memory);
    EXPECT_EQ(Angles(model, 0), c.left);
    EXPECT_EQ(Angles(model, 1), c.right);
  }
  // The pairs applied are remembered as Unit indices, -1 for both of a pair with an unknown name.
  auto dialog = OpenWith(UnitsNamed({"arm_l", "arm_r"}), {"arm_r", "leg"}, {"arm_l", "arm_l"});
  ApplyUnitPairs(*dialog.model, dialog.session, UnitCopyMode::kCopy, false, dialog.memory);
  EXPECT_EQ(dialog.memory.pair_count, 2);
  EXPECT_EQ((std::array{dialog.memory.source[0], dialog.memory.source[1], dialog.memory.target[0],
                        dialog.memory.target[1]}),
            (std::array<int16_t, 4>{1, -1, 0, -1}));

  // A Unit created and kept is an edit even with nothing applied.
  auto created = OpenWith(UnitsNamed({"arm_l"}), {"arm_l"}, {});
  ScriptedHost host;
  ASSERT_TRUE(CreateTargetUnit(*created.model, host, created.session, "arm_r"));
  AcceptUnitCopy(*created.model, created.view, created.session);
  EXPECT_TRUE(created.model->modified);
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
