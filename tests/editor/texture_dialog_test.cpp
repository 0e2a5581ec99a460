#include "editor/texture_dialog.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "editor/texture_mapping_menu.h"
#include "images/encode.h"
#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy.h"
#include "model/texture_loading.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Three Parts of two vertices: Part 0 spans 2 x 1 x 0.5, Part 1 is flat in z, Part 2 has no
// name. "red.bmp" is a real image in the model's folder; Part 0 shows it.
struct Fixture {
  Fixture()
      : model(test::ModelOfParts({{{{0, 0, 0}, {2, 1, 0.5f}}, {}},
                                  {{{0, 0, 0}, {1, 3, 0}}, {}},
                                  {{{5, 5, 5}, {6, 6, 6}}, {}}})) {
    RecomputeBounds(*model);
    model->node_name[2].clear();
    BuildHierarchy(*model);
    model->model_dir = dir.path();
    std::vector<uint8_t> bmp;
    EXPECT_TRUE(EncodeBmp(Image{2, 2, std::vector<uint8_t>(16, 200)}, &bmp));
    test::WriteFile(dir.File("red.bmp"), std::string(bmp.begin(), bmp.end()));
    model->parts[0].texture_file = "red.bmp";
    EXPECT_TRUE(LoadTexture(model->parts[0], dir.File("red.bmp"), nullptr));
    model->tex_u = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
    view.part_alpha = 255;
    view.fill_mode = kFillWireframe;
    view.ground_on = true;
    view.texture_colour_on = true;
    view.view_yaw = 90.0f;
  }
  TextureDialogSession Open(int part) {
    return TextureDialogSession(*model, view, render, host, scales, part);
  }
  test::TempDir dir;
  std::unique_ptr<Model> model;
  ViewState view;
  RenderContext render;
  ScriptedHost host;
  OffsetSliderScales scales;
};

TEST(TextureDialogTest, OpeningShowsTheTexturePageOfTheMappingDirection) {
  Fixture f;
  f.model->parts[0].texture_map_type = 3;
  TextureDialogSession session = f.Open(0);
  EXPECT_EQ(f.view.texture_dialog_page, 1);
  EXPECT_EQ(f.view.fill_mode, kFillSolid);
  EXPECT_FALSE(f.view.ground_on);
  EXPECT_EQ(session.ViewDirection(), 3);
  EXPECT_EQ(f.view.part_alpha, 128);  // planar single Part: placed by hand, seen through
  EXPECT_FALSE(f.render.preview.mapping_applied);
  EXPECT_FLOAT_EQ(f.render.preview.preview_scale, 1.2f / 1.0f);  // z 0.5 and y 1 on ZY
}

TEST(TextureDialogTest, RowsConvertBetweenPositionsValuesAndTexts) {
  Fixture f;
  TextureDialogSession session = f.Open(0);  // base_u 2000, base_v 1000
  session.SetTextureValue(TextureRow::kScaleU, 0.5);
  SliderRow row = session.TextureRowState(TextureRow::kScaleU);
  EXPECT_EQ(row.position, 50);
  EXPECT_EQ(row.text, "0.50");
  EXPECT_EQ(row.maximum, 500);
  session.SetTextureValue(TextureRow::kScaleU, 0.29);  // 28.999... must not show 28
  EXPECT_EQ(session.TextureRowState(TextureRow::kScaleU).position, 29);

  const struct {
    float scale;
    int position;
    double value;
    int maximum;
    const char* text;
  } offsets[] = {
      {1.0f, 3000, 1.0, 4000, "1.000"},
      {1.0f, 2000, 0.0, 4000, "0.000"},
      {1.0f, 0, -2.0, 4000, "-2.000"},
      {0.5f, 500, 0.5, 3000, "0.500"},  // below scale 1 the slider starts at 0
      {2.0f, 4500, 0.5, 6000, "0.500"},
  };
  for (const auto& c : offsets) {
    SCOPED_TRACE(c.position);
    session.SetTextureValue(TextureRow::kScaleU, c.scale);
    const double value = session.TextureValueAt(TextureRow::kOffsetU, c.position);
    EXPECT_DOUBLE_EQ(value, c.value);
    session.SetTextureValue(TextureRow::kOffsetU, value);
    row = session.TextureRowState(TextureRow::kOffsetU);
    EXPECT_EQ(row.position, c.position);
    EXPECT_EQ(row.maximum, c.maximum);
    EXPECT_EQ(row.text, c.text);
  }
}

TEST(TextureDialogTest, HostileStoredSettingsGiveBoundedRows) {
  Fixture f;
  const float kInf = std::numeric_limits<float>::infinity();
  f.model->parts[0].texture_map_param = {std::nanf(""), kInf, 3e38f, -kInf};
  f.model->parts[0].texture_map_type = 99;
  TextureDialogSession session = f.Open(0);
  EXPECT_EQ(session.ViewDirection(), 0);
  for (int r = 0; r < 4; ++r) {
    const SliderRow row = session.TextureRowState(static_cast<TextureRow>(r));
    EXPECT_GE(row.maximum, 0);
    EXPECT_GE(row.tick, 1);
    EXPECT_LE(std::abs(row.position), 1000000000);
  }
}

TEST(TextureDialogTest, ScaleChangesRescaleOffsetsButOpeningKeepsThem) {
  Fixture f;
  f.scales = {2.0f, 3.0f};  // left by a Part edited earlier
  f.model->parts[0].texture_map_param = {1.0f, 1.0f, 0.5f, 0.25f};
  TextureDialogSession session = f.Open(0);
  EXPECT_FLOAT_EQ(session.settings().map_offset_u, 0.5f);
  EXPECT_FLOAT_EQ(session.settings().map_offset_v, 0.25f);

  session.SetTextureValue(TextureRow::kScaleU, 2.0);
  EXPECT_FLOAT_EQ(session.settings().map_offset_u, 0.25f);
  EXPECT_FLOAT_EQ(session.settings().map_offset_v, 0.25f);
  // Typing "0.5" passes through "0": no proportion there, and none lost on the way.
  session.SetTextureValue(TextureRow::kScaleU, 0.0);
  EXPECT_FLOAT_EQ(session.settings().map_offset_u, 0.25f);
  session.SetTextureValue(TextureRow::kScaleU, 0.5);
  EXPECT_FLOAT_EQ(session.settings().map_offset_u, 1.0f);
  EXPECT_FLOAT_EQ(f.scales.u, 0.5f);

  // Another Part shows its own stored offsets, whatever the scales were.
  f.model->parts[1].texture_map_param = {4.0f, 1.0f, 0.75f, 0.0f};
  session.ChoosePart(1);
  EXPECT_FLOAT_EQ(session.settings().map_offset_u, 0.75f);
  EXPECT_EQ(f.model->forest.Selected(), 1);
  EXPECT_EQ(f.model->selected_unit, -1);
  EXPECT_EQ(TextureDialogStartPart(*f.model), 1);
}

TEST(TextureDialogTest, DirectionsChooseTheViewThePlaneAndTheBases) {
  Fixture f;
  TextureDialogSession session = f.Open(1);  // 1 x 3 x 0 (z counts as 1)
  const struct {
    int direction;
    float yaw;
    float pitch;
    int base_u;
    int base_v;
  } cases[] = {{0, 0, -1, 1000, 3000},  {1, 180, -1, 1000, 3000}, {2, 270, -1, 1000, 3000},
               {3, 90, -1, 1000, 3000}, {4, -1, 270, 1000, 1000}, {5, -1, -270, 1000, 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.direction);
    session.ChooseDirection(c.direction);
    EXPECT_EQ(session.settings().map_direction, c.direction);
    EXPECT_EQ(session.ViewDirection(), c.direction);
    EXPECT_EQ(f.view.view_yaw, c.yaw);
    EXPECT_EQ(f.view.view_pitch, c.pitch);
    EXPECT_EQ(session.TextureRowState(TextureRow::kOffsetU).tick, c.base_u);
    EXPECT_EQ(session.TextureRowState(TextureRow::kOffsetV).tick, c.base_v);
  }
  ASSERT_TRUE(session.RunMappingCommand(kCmdApplyMapping));
  EXPECT_TRUE(session.Preview().mapping_applied);
}

TEST(TextureDialogTest, MaterialRowsFollowTheColourKind) {
  Fixture f;
  TextureDialogSession session = f.Open(0);
  session.ShowPage(TextureDialogPage::kMaterial);
  EXPECT_EQ(f.view.texture_dialog_page, 2);
  for (ColourKind kind : {ColourKind::kDiffuse, ColourKind::kSpecular, ColourKind::kEmission}) {
    session.ChooseColourKind(kind);
    EXPECT_EQ(session.MaterialRowState(MaterialRow::kAlpha).enabled, kind == ColourKind::kDiffuse);
    EXPECT_TRUE(session.MaterialRowState(MaterialRow::kGreen).enabled);
    const int position = 40 + static_cast<int>(kind);
    session.SetMaterialValue(MaterialRow::kGreen,
                             session.MaterialValueAt(MaterialRow::kGreen, position));
  }
  const Material& m = f.model->parts[0].material;
  EXPECT_FLOAT_EQ(m.diffuse.g, 0.40f);
  EXPECT_FLOAT_EQ(m.ambient.g, 0.40f);
  EXPECT_FLOAT_EQ(m.specular.g, 0.41f);
  EXPECT_FLOAT_EQ(m.emissive.g, 0.42f);
  EXPECT_EQ(session.MaterialRowState(MaterialRow::kGreen).text, "0.42");

  session.ChooseColourKind(ColourKind::kSpecular);
  session.SetMaterialValue(MaterialRow::kStrength, 37.9);
  EXPECT_EQ(m.power, 37.0f);
  EXPECT_EQ(session.MaterialRowState(MaterialRow::kStrength).text, "37");

  session.Reset();  // the material page's reset keeps ambient
  EXPECT_EQ(m.diffuse, (Color{1, 1, 1, 1}));
  EXPECT_EQ(m.specular, Color{});
  EXPECT_EQ(m.emissive, Color{});
  EXPECT_EQ(m.power, 0.0f);
  EXPECT_FLOAT_EQ(m.ambient.g, 0.40f);
  EXPECT_EQ(f.model->parts[0].texture_file, "red.bmp");
}

TEST(TextureDialogTest, TextureResetClearsThePartsTextureAndMapping) {
  Fixture f;
  f.model->texture_all = 1;
  f.model->parts[0].texture_map_flag = 2;
  f.model->parts[0].texture_map_type = 4;
  f.model->parts[0].texture_map_param = {2, 2, 1, 1};
  TextureDialogSession session = f.Open(0);
  session.Reset();
  const Part& p = f.model->parts[0];
  EXPECT_EQ(p.texture_file, "");
  EXPECT_EQ(p.texture, nullptr);
  EXPECT_EQ(p.texture_rect, (std::array<int32_t, 4>{}));
  EXPECT_EQ(p.texture_map_flag, 0u);
  EXPECT_EQ(p.texture_map_type, 0);
  EXPECT_EQ(p.texture_map_param, (std::array<float, 4>{1, 1, 0, 0}));
  EXPECT_EQ(f.model->texture_all, 0);
  EXPECT_EQ(f.model->tex_u[1], 0.0f);
  EXPECT_EQ(f.model->tex_u[2], 0.3f);  // other Parts keep theirs
  EXPECT_FALSE(session.menu().mapping_applied);
  EXPECT_TRUE(session.menu().position_controls_enabled);
  EXPECT_EQ(session.ViewDirection(), 0);
}

TEST(TextureDialogTest, CancelGivesBackEveryPartAndTheView) {
  Fixture f;
  const ViewState before_view = f.view;
  const auto before = std::make_unique<Model>(*f.model);
  TextureDialogSession session = f.Open(0);

  session.RunMappingCommand(kCmdSphericalMapping);
  session.RunMappingCommand(kCmdMapWhole);  // every Part gets red.bmp, named or not
  ASSERT_EQ(f.model->texture_all, 1);
  ASSERT_EQ(f.model->parts[2].texture_file, "red.bmp");
  session.ShowPage(TextureDialogPage::kMaterial);
  session.SetMaterialValue(MaterialRow::kRed, 0.1);
  session.RunMappingCommand(kCmdCopyToAllParts);
  session.ChooseDirection(4);
  session.SetTranslucent(true);
  session.Cancel();

  EXPECT_EQ(f.model->tex_u, before->tex_u);
  EXPECT_EQ(f.model->texture_all, 0);
  // Files, the very textures, rectangles, mappings and materials.
  EXPECT_TRUE(f.model->parts == before->parts);
  EXPECT_EQ(f.view.texture_dialog_page, 0);
  EXPECT_EQ(f.view.part_alpha, before_view.part_alpha);
  EXPECT_EQ(f.view.ground_on, before_view.ground_on);
  EXPECT_EQ(f.view.texture_colour_on, before_view.texture_colour_on);
  EXPECT_EQ(f.view.view_pitch, before_view.view_pitch);
}

void ExpectMenu(const TextureMenuState& m, bool applied, bool apply, bool unapply, bool parts,
                bool whole, bool controls, int alpha, const ViewState& view) {
  EXPECT_EQ(m.mapping_applied, applied);
  EXPECT_EQ(m.apply_enabled, apply);
  EXPECT_EQ(m.unapply_enabled, unapply);
  EXPECT_EQ(m.parts_enabled, parts);
  EXPECT_EQ(m.whole_enabled, whole);
  EXPECT_EQ(m.copy_enabled, whole);
  EXPECT_EQ(m.position_controls_enabled, controls);
  EXPECT_EQ(m.translucent_checked, alpha == 128);
  EXPECT_EQ(view.part_alpha, alpha);
}

TEST(TextureMappingMenuTest, PlanarPartIsPlacedByHandThenApplied) {
  Fixture f;
  TextureMappingCommands commands(*f.model, f.view, f.host, SettingsOfPart(*f.model, 0));
  SCOPED_TRACE("opening");
  ExpectMenu(commands.menu(), false, true, false, false, true, true, 128, f.view);

  commands.settings().map_offset_u = 1.0f;
  EXPECT_TRUE(commands.Run(kCmdApplyMapping));
  ExpectMenu(commands.menu(), true, false, true, false, true, false, 255, f.view);
  EXPECT_FLOAT_EQ(f.model->tex_u[1], 0.5f);  // (2 - 0 - 1) / 2
  EXPECT_EQ(f.model->parts[0].texture_map_param[2], 1.0f);

  commands.Run(kCmdUnapplyMapping);
  ExpectMenu(commands.menu(), false, true, false, false, true, true, 128, f.view);
  EXPECT_FLOAT_EQ(f.model->tex_u[1], 0.5f);  // coordinates stay

  // Over the whole model "パーツ" is offered and "全体" is not; and back.
  commands.Run(kCmdMapWhole);
  EXPECT_EQ(f.model->texture_all, 1);
  ExpectMenu(commands.menu(), true, false, false, true, false, false, 255, f.view);
  commands.Run(kCmdMapParts);
  EXPECT_EQ(f.model->texture_all, 0);
  ExpectMenu(commands.menu(), true, false, true, false, true, false, 255, f.view);

  // Planar chosen again while applied maps anew, then waits to be placed by hand.
  commands.settings().map_offset_u = 0.0f;
  commands.Run(kCmdPlanarMapping);
  EXPECT_FLOAT_EQ(f.model->tex_u[1], 1.0f);
  ExpectMenu(commands.menu(), false, true, false, false, true, true, 128, f.view);
  EXPECT_FALSE(commands.Run(12345));
}

}  // namespace
}  // namespace vorna
