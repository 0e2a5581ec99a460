#include "model/texture_mapping.h"

#include <gtest/gtest.h>

#include <cmath>

#include "geometry_fixtures.h"
#include "images/encode.h"
#include "model/bounds.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::ModelOfParts;

// Part 0: the box (0, 0, 0)..(2, 1, 1) with probe vertices; Part 1: a flat square in z = 0.
std::unique_ptr<Model> MappingModel() {
  auto model =
      ModelOfParts({{{{0, 0, 0}, {2, 1, 1}, {0, 1, 0.5f}, {2, 0, 0.5f}, {1, 0.5f, 0.5f}}, {}},
                    {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {}}});
  RecomputeBounds(*model);
  return model;
}

MappingSettings Settings(int direction, float su = 1, float sv = 1, float ou = 0, float ov = 0) {
  MappingSettings s;
  s.map_direction = direction;
  s.map_scale_u = su;
  s.map_scale_v = sv;
  s.map_offset_u = ou;
  s.map_offset_v = ov;
  return s;
}

// Each kind of mapping through ApplyMapping. Spherical and wrap rows look at vertex 3, (2, 0, 0.5)
// on the box centred at (1, 0.5, 0.5), with the normal (0.6, 0.8, 0).
TEST(TextureMappingTest, CoordinatesOfEachKind) {
  struct Case {
    const char* name;
    uint32_t kind;
    MappingSettings settings;
    int vertex;
    float u, v;
  };
  const Case cases[] = {
      {"bottom right", 0, Settings(0), 3, 1.0f, 1.0f},
      {"middle", 0, Settings(0), 4, 0.5f, 0.5f},
      {"mirrored right", 0, Settings(1), 3, -1.0f, 1.0f},
      {"scale u 2", 0, Settings(0, 2), 4, 0.25f, 0.5f},
      {"offset u 0.5", 0, Settings(0, 1, 1, 0.5f), 4, 0.25f, 0.5f},
      {"offset v 0.25", 0, Settings(0, 1, 1, 0, 0.25f), 4, 0.5f, 0.25f},
      {"along x", 0, Settings(2), 1, 1.0f, 0.0f},
      {"along x mirrored", 0, Settings(3), 4, -0.5f, 0.5f},
      {"along y", 0, Settings(4), 2, 0.0f, 0.5f},
      {"along y mirrored", 0, Settings(5), 3, -1.0f, 0.5f},
      {"direction outside 0..5 maps as 0", 0, Settings(9), 4, 0.5f, 0.5f},
      {"spherical", 1, Settings(0), 3, 0.8f, -0.9f},
      {"spherical along x", 1, Settings(2), 3, 0.5f, -0.9f},
      {"wrap around y", 2, Settings(0), 3, 0.75f, 1.0f},
      {"wrap around y from x", 2, Settings(3), 3, 1.0f, 1.0f},
      {"wrap around z", 2, Settings(4), 3, 0.67621f, 0.5f},
  };
  ScriptedHost host;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto model = MappingModel();
    model->normals[3] = {0.6f, 0.8f, 0.0f};
    model->parts[0].texture_map_flag = c.kind;
    ASSERT_TRUE(ApplyMapping(*model, c.settings, 0, host));
    EXPECT_NEAR(model->tex_u[c.vertex], c.u, 1e-5f);
    EXPECT_NEAR(model->tex_v[c.vertex], c.v, 1e-5f);
    EXPECT_EQ(model->tex_u[5], 0.0f);  // Part 1 untouched
  }
}

TEST(TextureMappingTest, ZeroExtentsAndScalesNeverDivideByZero) {
  auto model = MappingModel();
  for (int direction = 0; direction < 6; ++direction) {
    for (float scale : {1.0f, 0.0f}) {
      PlanarMapping(*model, Settings(direction, scale, scale), 1);
      WrapMapping(*model, Settings(direction, scale, scale), 1);
      for (int v = 5; v < 8; ++v) {
        ASSERT_TRUE(std::isfinite(model->tex_u[v]) && std::isfinite(model->tex_v[v]));
      }
    }
  }
  PlanarMapping(*model, Settings(2), 1);  // the flat square along x: width 0 counts as 1
  EXPECT_FLOAT_EQ(model->tex_u[6], 0.0f);
  EXPECT_FLOAT_EQ(model->tex_v[6], 1.0f);
}

TEST(TextureMappingTest, WholeModelUsesTheTotalBoxAndEveryVertex) {
  auto model = MappingModel();
  model->texture_all = 1;
  PlanarMapping(*model, Settings(0), 1);
  EXPECT_FLOAT_EQ(model->tex_u[4], 0.5f);
  EXPECT_FLOAT_EQ(model->tex_u[6], 0.5f);  // x = 1 of the 2-wide total box
  EXPECT_FLOAT_EQ(model->tex_v[7], 0.0f);
}

TEST(TextureMappingTest, PreviewScale) {
  auto model = MappingModel();
  MappingSettings settings = Settings(0);
  EXPECT_FLOAT_EQ(PreviewScale(*model, settings), 0.6f);  // 2 x 1 on XY
  settings.map_direction = 3;
  EXPECT_FLOAT_EQ(PreviewScale(*model, settings), 1.2f);  // 1 x 1 on ZY
  settings.edit_part = 1;
  settings.map_direction = 4;
  EXPECT_FLOAT_EQ(PreviewScale(*model, settings), 1.2f);  // depth 0 counts as 1
  settings.edit_part = 7;
  EXPECT_FLOAT_EQ(PreviewScale(*model, settings), 1.0f);
}

// A 1 x 1 BMP.
std::string TinyBmp() {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeBmp(Image{1, 1, {0x30, 0x20, 0x10, 0xFF}}, &bytes));
  return std::string(bytes.begin(), bytes.end());
}

TEST(TextureMappingTest, StoringSettingsForOnePartOrTheWholeModel) {
  auto model = MappingModel();
  ScriptedHost host;
  MappingSettings settings = Settings(3, 2, 0.5f, 0.25f, 0.125f);
  ASSERT_TRUE(StoreMappingSettings(*model, settings, host));
  EXPECT_EQ(model->parts[0].texture_map_type, 3);
  EXPECT_EQ(model->parts[0].texture_map_param, (std::array<float, 4>{2, 0.5f, 0.25f, 0.125f}));
  EXPECT_EQ(model->parts[1].texture_map_type, 0);
  const MappingSettings read_back = SettingsOfPart(*model, 0);
  EXPECT_EQ(read_back.map_direction, 3);
  EXPECT_EQ(read_back.map_offset_v, 0.125f);

  // The whole model: refused while edit_part's file is missing from the model's directory.
  test::TempDir dir;
  model->model_dir = dir.path();
  model->texture_all = 1;
  model->parts[0].texture_file = "skin.bmp";
  model->parts[0].texture_map_flag = 2;
  settings.map_direction = 1;
  EXPECT_FALSE(ApplyMapping(*model, settings, 0, host));
  EXPECT_EQ(model->parts[1].texture_file, "");
  EXPECT_EQ(model->parts[0].texture_map_type, 3);
  EXPECT_EQ(model->tex_u[5], 0.0f);

  test::WriteFile(dir.File("skin.bmp"), TinyBmp());
  ASSERT_TRUE(ApplyMapping(*model, settings, 0, host));
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(model->parts[p].texture_file, "skin.bmp");
    EXPECT_EQ(model->parts[p].texture_map_flag, 2u);
    EXPECT_EQ(model->parts[p].texture_map_type, 1);
  }
  ASSERT_NE(model->parts[1].texture, nullptr);
  EXPECT_EQ(model->parts[1].texture_rect, (std::array<int32_t, 4>{0, 0, 1, 1}));
  EXPECT_NE(model->tex_v[5], 0.0f);  // every vertex mapped (wrap-around)
  EXPECT_EQ(host.wait_depth, 0);

  EXPECT_FALSE(ApplyMapping(*model, settings, 2, host));  // no such Part
  settings.edit_part = -1;
  EXPECT_FALSE(StoreMappingSettings(*model, settings, host));
}

TEST(TextureMappingTest, CopyToAllParts) {
  test::TempDir dir;
  test::WriteFile(dir.File("a.bmp"), TinyBmp());
  auto model = ModelOfParts(
      {{{{0, 0, 0}, {1, 1, 0}}, {}}, {{{0, 0, 0}, {2, 2, 0}}, {}}, {{{0, 0, 0}, {4, 4, 0}}, {}}});
  RecomputeBounds(*model);
  model->model_dir = dir.path();
  model->parts[1].texture_file = "a.bmp";
  model->parts[1].texture_map_flag = 0;
  model->parts[1].material.diffuse = {0.1f, 0.2f, 0.3f, 0.4f};
  for (float& u : model->tex_u) u = 9.0f;
  ScriptedHost host;
  MappingSettings settings = Settings(0);
  settings.edit_part = 1;

  // Planar and not applied: only the texture and the kind are copied.
  CopyToAllParts(*model, settings, TextureDialogPage::kTexture, false, host);
  EXPECT_EQ(model->parts[0].texture_file, "a.bmp");
  EXPECT_NE(model->parts[2].texture, nullptr);
  EXPECT_EQ(model->tex_u[5], 9.0f);

  // Applied: the others are mapped with the current settings, stored in edit_part only.
  settings.map_scale_u = 2;
  CopyToAllParts(*model, settings, TextureDialogPage::kTexture, true, host);
  EXPECT_FLOAT_EQ(model->tex_u[5], 0.5f);
  EXPECT_EQ(model->parts[1].texture_map_param[0], 2.0f);
  EXPECT_EQ(model->parts[2].texture_map_param[0], 1.0f);
  EXPECT_EQ(model->tex_u[3], 9.0f);  // edit_part itself is not remapped

  // Without a texture name the coordinates become 0.
  model->parts[1].texture_file.clear();
  CopyToAllParts(*model, settings, TextureDialogPage::kTexture, true, host);
  EXPECT_EQ(model->tex_u[5], 0.0f);
  EXPECT_EQ(model->tex_v[0], 0.0f);
  EXPECT_EQ(model->parts[0].texture, nullptr);

  CopyToAllParts(*model, settings, TextureDialogPage::kMaterial, true, host);
  EXPECT_EQ(model->parts[0].material, model->parts[1].material);
  EXPECT_EQ(model->parts[2].material.diffuse.a, 0.4f);
}

}  // namespace
}  // namespace vorna
