#include "editor/texture_mapping_menu.h"

#include <gtest/gtest.h>

#include "model/bounds.h"
#include "support/model_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Two Parts of two vertices; Part 0 names "skin.png", which exists only when `with_file`.
struct Fixture {
  explicit Fixture(bool with_file) : model(test::NewModel()) {
    AllocateParts(*model, 2);
    AllocateVertices(*model, 4);
    model->parts[1].first_vertex = 2;
    model->parts[2].first_vertex = 4;
    model->positions = {{0, 0, 0}, {2, 1, 0}, {0, 0, 0}, {4, 4, 4}};
    RecomputeBounds(*model);
    model->model_dir = dir.path();
    model->parts[0].texture_file = "skin.png";
    if (with_file) test::WriteFile(dir.File("skin.png"), "not really an image");
    view.texture_dialog_page = 1;
  }
  test::TempDir dir;
  std::unique_ptr<Model> model;
  ViewState view;
  ScriptedHost host;
};

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
  Fixture f(true);
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

  EXPECT_FALSE(commands.Run(12345));
}

TEST(TextureMappingMenuTest, RoundKindsResetPlacementAndApplyAtOnce) {
  Fixture f(true);
  f.model->normals[1] = {1, 0, 0};
  TextureMappingCommands commands(*f.model, f.view, f.host, SettingsOfPart(*f.model, 0));
  commands.settings().map_scale_u = 3.0f;
  commands.Run(kCmdSphericalMapping);
  EXPECT_EQ(f.model->parts[0].texture_map_flag, 1u);
  EXPECT_EQ(commands.menu().checked_kind, 1u);
  EXPECT_EQ(commands.settings().map_scale_u, 1.0f);
  EXPECT_FLOAT_EQ(f.model->tex_u[1], 1.0f);
  // Applied, and only a planar single Part can be unapplied.
  ExpectMenu(commands.menu(), true, false, false, false, true, false, 255, f.view);

  commands.Run(kCmdWrapMapping);
  EXPECT_EQ(f.model->parts[0].texture_map_flag, 2u);

  // Back to planar while applied: applied again, then placed by hand.
  commands.Run(kCmdPlanarMapping);
  EXPECT_EQ(f.model->parts[0].texture_map_flag, 0u);
  ExpectMenu(commands.menu(), false, true, false, false, true, true, 128, f.view);
}

TEST(TextureMappingMenuTest, WholeModelAndBack) {
  Fixture f(true);
  TextureMappingCommands commands(*f.model, f.view, f.host, SettingsOfPart(*f.model, 0));
  commands.Run(kCmdMapWhole);
  EXPECT_EQ(f.model->texture_all, 1);
  EXPECT_EQ(f.model->parts[1].texture_file, "skin.png");
  EXPECT_FLOAT_EQ(f.model->tex_u[3], 1.0f);  // x = 4 in the total box 0..4
  ExpectMenu(commands.menu(), true, false, false, true, false, false, 255, f.view);

  // Planar over the whole model stays applied, with the controls off.
  commands.Run(kCmdPlanarMapping);
  ExpectMenu(commands.menu(), true, false, false, true, false, false, 255, f.view);

  commands.Run(kCmdMapParts);
  EXPECT_EQ(f.model->texture_all, 0);
  ExpectMenu(commands.menu(), true, false, true, false, true, false, 255, f.view);

  // Opening on a whole-model mapping offers "パーツ" and not "全体".
  f.model->texture_all = 1;
  TextureMappingCommands whole(*f.model, f.view, f.host, SettingsOfPart(*f.model, 0));
  ExpectMenu(whole.menu(), true, false, false, true, false, false, 255, f.view);
}

TEST(TextureMappingMenuTest, WholeModelWithoutTheFileChangesNothing) {
  Fixture f(false);
  TextureMappingCommands commands(*f.model, f.view, f.host, SettingsOfPart(*f.model, 0));
  commands.Run(kCmdMapWhole);
  EXPECT_EQ(f.model->texture_all, 0);
  EXPECT_EQ(f.model->parts[1].texture_file, "");
  ExpectMenu(commands.menu(), false, true, false, false, true, true, 128, f.view);
}

}  // namespace
}  // namespace vorna
