// Parts and the texture preview, drawn through whole frames of tiny models and
// compared with reference images (see frame_scene.h for the view).
#include "render/mesh_drawing.h"

#include <gtest/gtest.h>

#include <string>

#include "model/geometry_fixtures.h"
#include "render/frame_scene.h"

namespace vorna {
namespace {

using test::Drawn;
using test::FaceModel;
using test::FaceSpec;
using test::FrontContext;
using test::Glowing;
using test::IsBlack;
using test::MakeTexture;
using test::Pixel;
using test::Rgb;
using test::SolidTexture;
using test::Square;

// From the front the light shines along (0.866, -0.5, 0): from the upper left of the view.
const Vec3 kTowardsLight{-0.866025f, 0.5f, 0.0f};

// Every sphere and ground face is drawn from outside: turning clockwise as seen from outside, its
// cross product points outwards.
TEST(FixedMeshesTest, FacesPointOutwards) {
  const FixedMeshes meshes = BuildFixedMeshes();
  for (const FixedMesh* mesh : {&meshes.sphere, &meshes.ground}) {
    const Vec3 centre = mesh == &meshes.ground ? Vec3{0.0f, -0.005f, 0.0f} : Vec3{};
    ASSERT_FALSE(mesh->faces.empty());
    for (const Face& face : mesh->faces) {
      const Vec3 a = mesh->vertices[face.corner[0]], b = mesh->vertices[face.corner[1]],
                 c = mesh->vertices[face.corner[2]];
      EXPECT_GT(Dot(Cross(b - a, c - a), (a + b + c) * (1.0f / 3.0f) - centre), 0.0f);
    }
  }
}

TEST(DrawPartsTest, LightingCullingAndHighlightColours) {
  FaceSpec lit = Square(-0.75f, 0.25f, -0.25f, 0.75f);
  lit.normal = kTowardsLight;
  FaceSpec away = Square(0.25f, 0.25f, 0.75f, 0.75f);
  away.normal = kTowardsLight * -1.0f;
  FaceSpec culled = Square(-0.75f, -0.75f, -0.25f, -0.25f);
  std::swap(culled.corners[1], culled.corners[3]);  // counter-clockwise on screen
  FaceSpec highlighted = Square(0.25f, -0.75f, 0.75f, -0.25f);
  highlighted.normal = kTowardsLight;
  auto model = FaceModel({lit, away, culled, highlighted});
  ViewState view;
  model->forest.Select(3);
  RenderContext context = FrontContext(view);
  // A material left behind by the texture look must not tint the colour look.
  context.device->SetMaterial(Glowing());
  // The grey material's ambient 0.7 under the 0x60 ambient level gives 67; facing the light adds
  // the vertex colour times 0.8: white, red for the selected part.
  EXPECT_EQ(Drawn(context, *model, view, "parts_part_selected"), "");
  model->selected_unit = 0;  // yellow-green for a unit: 67 + 128 * 0.8
  EXPECT_EQ(Drawn(context, *model, view, "parts_unit_selected"), "");
}

// Opaque parts hide each other by depth in any draw order; semi-transparent ones are drawn
// farthest first, so the farther one shows through the nearer.
TEST(DrawPartsTest, DepthAndSemiTransparency) {
  FaceSpec far = Square(-0.75f, -0.5f, 0.25f, 0.5f, 0.5f);
  FaceSpec near = Square(-0.25f, -0.5f, 0.75f, 0.5f, 0.0f);
  far.normal = near.normal = kTowardsLight;
  auto model = FaceModel({near, far});
  ViewState view;
  model->forest.Select(1);
  RenderContext context = FrontContext(view);
  for (const uint32_t first : {0u, 1u}) {
    model->draw_order[0] = first;
    model->draw_order[1] = 1 - first;
    EXPECT_EQ(Drawn(context, *model, view, "depth_opaque"), "") << first;
  }
  // Alpha 128/255 over black gives 128; over that again, 128 + 128 * 127/255 = 191.75.
  view.part_alpha = 128;
  model->forest.Select(kTopLevel);
  EXPECT_EQ(Drawn(context, *model, view, "depth_semi_transparent"), "");
  view.free_camera = CurrentFreeCamera(*model, view);
  OrbitCamera(view.free_camera, 180.0f, 0.0f);  // from behind, the other Part is the farther
  ASSERT_TRUE(RenderFrame(context, *model, view));
  EXPECT_EQ(model->parts[0].depth_order, 0u);
}

// Semi-transparent Parts are drawn farthest first, measured where their pose puts them: Part 0,
// turned from (1, 0, 1) to (0, 1, 1), comes nearer the eye at (10, 10, 0) than Part 1, which its
// empty pose puts at the origin.
TEST(DrawPartsTest, DepthOrderFollowsThePose) {
  auto model = FaceModel({Square(0, 0, 1, 1), Square(0, 0, 1, 1)});
  model->parts[0].center = {1, 0, 1};
  model->parts[0].pose_matrix = RotationZ(kPi / 2.0f);
  DepthSort(*model, {10, 10, 0});
  EXPECT_EQ(model->parts[0].depth_order, 1u);
  EXPECT_EQ(model->parts[1].depth_order, 0u);
}

// Weight 1 keeps a vertex in the owning unit's frame (here unmoved), weight 0 lets it follow the
// part's own pose (0.5 right, 8 pixels), 0.5 goes halfway: top to bottom 0, 0.5, 1.
TEST(DrawPartsTest, VertexBlendingBetweenTheUnitAndThePart) {
  std::vector<FaceSpec> faces;
  for (int row = 0; row < 3; ++row) {
    faces.push_back(Square(-0.5f, 0.25f - 0.5f * row, 0.0f, 0.75f - 0.5f * row));
    faces.back().blend = 0.5f * row;
  }
  auto model = FaceModel(faces);
  const int unit = test::AddUnit(*model, {0.0f, 0.8f, 0.0f}, {0, 1, 2});
  model->motions[0].translation[unit] = {0.5f, 0.0f, 0.0f};
  ViewState view;
  RenderContext context = FrontContext(view);
  EXPECT_EQ(Drawn(context, *model, view, "blend"), "");
}

TEST(DrawPartsTest, TexturedLookCornersRebindingAndWrapping) {
  // Quadrants of 2 x 2 texels: red, green over blue, white. The top left shows on top left.
  auto model = FaceModel({Square(-0.5f, -0.5f, 0.5f, 0.5f)});
  model->parts[0].material = Glowing();
  model->parts[0].texture = MakeTexture(4, 4, [](int x, int y) -> Rgb {
    if (y < 2) return x < 2 ? Rgb{255, 0, 0} : Rgb{0, 255, 0};
    return x < 2 ? Rgb{0, 0, 255} : Rgb{255, 255, 255};
  });
  ViewState view;
  view.texture_colour_on = true;
  RenderContext context = FrontContext(view);
  EXPECT_EQ(Drawn(context, *model, view, "texture_quadrants"), "");

  // The same file name in another case keeps what is bound; no name always rebinds (to none).
  model = FaceModel({Square(-0.75f, -0.25f, -0.3f, 0.25f), Square(-0.25f, -0.25f, 0.2f, 0.25f),
                     Square(0.25f, -0.25f, 0.75f, 0.25f)});
  for (int p = 0; p < 3; ++p) model->parts[p].material = Glowing();
  model->parts[0].texture_file = "Skin.PNG";
  model->parts[0].texture = SolidTexture({255, 0, 0});
  model->parts[1].texture_file = "skin.png";
  model->parts[1].texture = SolidTexture({0, 0, 255});
  EXPECT_EQ(Drawn(context, *model, view, "texture_rebinding"), "");

  // Wrap-around mapping takes u from 0.875 to 1.125 across the seam instead of back through
  // 0.5: a quarter of the way, 0.9375 (white, some red) rather than 0.6875 (blue, some white).
  const auto stripes = MakeTexture(4, 1, [](int x, int) {
    const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return colours[x];
  });
  for (const uint32_t flag : {0u, 2u}) {
    FaceSpec face = Square(-0.5f, -0.5f, 0.5f, 0.5f);
    face.uv = {{0.875f, 0.0f}, {0.125f, 0.0f}, {0.125f, 1.0f}, {0.875f, 1.0f}};
    model = FaceModel({face});
    model->parts[0].material = Glowing();
    model->parts[0].texture = stripes;
    model->parts[0].texture_map_flag = flag;
    EXPECT_EQ(Drawn(context, *model, view, "texture_wrap_" + std::to_string(flag)), "");
  }
}

// On each plane the quad, centred like the Part, grows from its corner at u 0, v -1 by the scales
// along its u and v edges (the mirrored sides grow from the same corner of the box).
TEST(TexturePreviewTest, PlacementScalesFromItsCorner) {
  const Vec3 lo{0, 0, 0}, hi{2, 1, 0.5f};
  MappingSettings mapping;
  mapping.map_scale_u = 2;
  mapping.map_scale_v = 3;
  for (int direction = 0; direction < 6; direction += 2) {
    SCOPED_TRACE(direction);
    mapping.map_direction = direction;
    std::array<Vec3, 4> c = PlacementCorners(lo, hi, direction);
    for (Vec3& corner : c) corner = corner - Vec3{1, 0.5f, 0.25f};
    const Matrix m = PlacementTransform(lo, hi, mapping, 1.0f);
    const Vec3 far = c[1] + (c[2] - c[1]) * 2.0f + (c[0] - c[1]) * 3.0f;
    test::ExpectNear(TransformCoord(c[1], m), c[1]);
    test::ExpectNear(TransformCoord(c[3], m), far);
  }
}

TEST(TexturePreviewTest, ThePartCentredOverItsPlacementQuad) {
  auto model = FaceModel({Square(0.25f, 0.25f, 0.75f, 0.75f)});
  model->parts[0].texture = SolidTexture({0, 0, 255});
  ViewState view;
  view.texture_dialog_page = 1;
  RenderContext context = FrontContext(view);
  context.preview.mapping.map_scale_u = context.preview.mapping.map_scale_v = 2.0f;
  // The part, centred, in 0xFAFAFA; the quad twice its size from the image's top-left corner.
  EXPECT_EQ(Drawn(context, *model, view, "preview_placing"), "");
  // The mapping applied: no quad, the part shows its texture.
  context.preview.mapping_applied = true;
  EXPECT_EQ(Drawn(context, *model, view, "preview_applied"), "");
  model->texture_all = 1;  // every Part textured: drawn as posed, lit by its material
  model->parts[0].material = Glowing();
  model->parts[0].pose_matrix = Identity();
  EXPECT_EQ(Drawn(context, *model, view, "preview_all"), "");
  context.preview.mapping.edit_part = 5;  // no such part: nothing
  RenderFrame(context, *model, view);
  EXPECT_TRUE(IsBlack(Pixel(context, 16, 16)));
}

}  // namespace
}  // namespace vorna
