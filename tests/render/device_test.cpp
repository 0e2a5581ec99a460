// Lighting, vertex blending, the texture stage and blending of the software device.
#include "render/device.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "render/device_scene.h"

namespace vorna {
namespace {

using test::PixelAt;
using test::PixelDevice;
using test::Rgb;

constexpr uint32_t kWhite = 0xFFFFFFFF;

// A quad from (x0, y0) to (x1, y1) wound clockwise on screen, every corner with `normal` and
// blend weight `weight`.
template <typename V>
std::array<V, 4> Quad(float x0, float y0, float x1, float y1, Vec3 normal, float weight) {
  std::array<V, 4> quad{};
  const Vec2 corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (int i = 0; i < 4; ++i) {
    quad[i].position = {corners[i].x, corners[i].y, 0.5f};
    quad[i].normal = normal;
    quad[i].blend = weight;
  }
  return quad;
}

// Material and light of the hand-worked lighting cases below.
std::unique_ptr<Device> LitDevice(Vec3 light_direction) {
  auto device = PixelDevice(16, 16);
  device->render_states().lighting = true;
  device->render_states().local_viewer = false;
  device->render_states().ambient = 0x00404040;  // 64 / 255
  Material material;
  material.diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
  material.ambient = {0.2f, 0.2f, 0.2f, 1.0f};
  material.emissive = {0.1f, 0.0f, 0.0f, 0.0f};
  material.specular = {0.25f, 0.25f, 0.25f, 0.0f};
  material.power = 4.0f;
  device->SetMaterial(material);
  DirectionalLight light;
  light.diffuse = {0.8f, 0.8f, 0.8f, 0.0f};
  light.specular = {1.0f, 1.0f, 1.0f, 0.0f};
  light.direction = light_direction;
  device->SetLight(light);
  device->EnableLight(true);
  return device;
}

// The camera looks along +z; the light shines along +z too, so a face whose normal is -z faces
// it. colour = emissive + ambient * global ambient + diffuse * 0.8 * max(N.L, 0), per channel;
// specular is off by default, so no highlight.
TEST(DeviceLightingTest, FacesTowardsAndAwayFromTheLight) {
  auto device = LitDevice({0.0f, 0.0f, 1.0f});
  const auto towards = Quad<BlendedVertex>(0, 0, 8, 8, {0, 0, -1}, 1.0f);
  const auto away = Quad<BlendedVertex>(8, 0, 16, 8, {0, 0, 1}, 1.0f);
  auto coloured = Quad<BlendedColourVertex>(0, 8, 8, 16, {0, 0, -1}, 1.0f);
  for (auto& v : coloured) v.colour = 0xFFFF0000;  // replaces the diffuse colour only
  device->DrawPrimitive(PrimitiveType::kTriangleFan, towards);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, away);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, coloured);
  device->EndScene();
  EXPECT_EQ(PixelAt(*device, 3, 3), (Rgb{140, 115, 115}));  // 0.550, 0.450
  EXPECT_EQ(PixelAt(*device, 11, 3), (Rgb{38, 13, 13}));    // 0.150, 0.050: ambient only
  EXPECT_EQ(PixelAt(*device, 3, 11), (Rgb{242, 13, 13}));   // 0.950, 0.050
}

// The point fill shows a vertex's own colour. A vertex at 45 degrees to the right of the view
// axis, lit head-on (N.L = 1): with the viewer at infinity N.H = 1 and the highlight is the full
// 0.25; seen from the camera itself the halfway vector leans 22.5 degrees away, N.H = 0.9239, and
// the highlight is 0.25 * 0.9239^4 = 0.182. Colour = 0.1 + 0.2 * 64/255 + 0.5 * 0.8 + highlight.
TEST(DeviceLightingTest, LocalViewerTurnsTheHighlightWithThePosition) {
  for (bool local : {false, true}) {
    auto device = LitDevice({0.0f, 0.0f, 1.0f});
    device->SetTransform(TransformState::kProjection, Scaling(1.0f / 16, 1.0f / 16, 1.0f / 16));
    device->render_states().local_viewer = local;
    device->render_states().specular_enable = true;
    device->render_states().fill_mode = kFillPoint;
    const std::array<BlendedVertex, 3> corners = {BlendedVertex{{8, 0, 8}, 1, {0, 0, -1}},
                                                  BlendedVertex{{8, -4, 8}, 1, {0, 0, -1}},
                                                  BlendedVertex{{4, -4, 8}, 1, {0, 0, -1}}};
    device->DrawPrimitive(PrimitiveType::kTriangleList, corners);
    device->EndScene();
    EXPECT_EQ(PixelAt(*device, 12, 8), local ? (Rgb{187, 161, 161}) : (Rgb{204, 179, 179}));
  }
}

// World 1 turns the quad a quarter round the screen axis about its centre, taking the normal
// from +x (towards the light) to +y (across it). Blended normals are not renormalised, so the
// halfway normal (0.5, 0.5, 0) lights at 0.5, not 0.71. Without blending the weight is ignored.
// (Blended positions are pinned through whole frames in the mesh drawing tests.)
TEST(DeviceLightingTest, VertexBlendingMovesPositionsAndNormals) {
  const Matrix turn =
      Multiply(Multiply(Translation(-8, -8, 0), RotationZ(kPi / 2.0f)), Translation(8, 8, 0));
  struct Case {
    VertexBlend blend;
    float weight;
    Rgb centre;
  };
  for (const Case& c : {Case{VertexBlend::kOneWeight, 1.0f, {204, 204, 204}},
                        Case{VertexBlend::kOneWeight, 0.5f, {102, 102, 102}},
                        Case{VertexBlend::kOneWeight, 0.0f, {0, 0, 0}},
                        Case{VertexBlend::kDisable, 0.0f, {204, 204, 204}}}) {
    auto device = PixelDevice(16, 16);
    device->render_states().lighting = true;
    device->render_states().vertex_blend = c.blend;
    device->SetMaterial({{1, 1, 1, 1}, {0, 0, 0, 0}, {}, {}, 0.0f});
    device->SetLight({{0.8f, 0.8f, 0.8f, 0}, {}, {}, {-1, 0, 0}});
    device->EnableLight(true);
    device->SetTransform(TransformState::kWorld1, turn);
    device->Clear(kClearTarget, 0xFF0000FF, 1.0f);
    const auto quad = Quad<BlendedVertex>(4, 4, 12, 12, {1, 0, 0}, c.weight);
    device->DrawPrimitive(PrimitiveType::kTriangleFan, quad);
    device->EndScene();
    EXPECT_EQ(PixelAt(*device, 8, 8), c.centre) << c.weight;
  }
}

TEST(DeviceBlendTest, SemiTransparentFaceMixesWithWhatIsBehind) {
  auto device = PixelDevice(8, 8);
  RenderStates& s = device->render_states();
  s.alpha_blend_enable = true;
  s.source_blend = BlendFactor::kSourceAlpha;
  s.destination_blend = BlendFactor::kInverseSourceAlpha;
  const auto blue = test::Rectangle(0, 0, 8, 8, 0.75f, 0xFF0000FF);
  const auto glass = test::Rectangle(0, 0, 4, 8, 0.25f, 0x80FFFFFF);
  const auto clear_glass = test::Rectangle(4, 0, 8, 4, 0.25f, 0x00FF0000);
  const auto behind_glass = test::Rectangle(4, 0, 8, 8, 0.5f, 0xFF00FF00);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, blue);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, glass);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, clear_glass);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, behind_glass);
  device->EndScene();
  // 128/255 of white over blue.
  EXPECT_EQ(PixelAt(*device, 1, 1), (Rgb{128, 128, 255}));
  // A fully transparent face shows nothing but still writes depth: what comes later behind it
  // is hidden there.
  EXPECT_EQ(PixelAt(*device, 6, 1), (Rgb{0, 0, 255}));
  EXPECT_EQ(PixelAt(*device, 6, 6), (Rgb{0, 255, 0}));
}

// Texel (i, j) of a 4 x 4 texture is (10 + 60 i, 10 + 60 j, 0) and lies over pixels 2i, 2i + 1
// of an 8 x 8 quad. Pixel centres sit on integer positions, so pixel 2i + 1 samples texel i
// exactly and pixel 0 halfway between the last texel and the first (wrap addressing).
TEST(DeviceTextureTest, QuadCornersShowTheCornerTexels) {
  const auto texture = Texture::FromImage(test::MakeImage(4, 4, [](int i, int j) {
    return test::Rgba{static_cast<uint8_t>(10 + 60 * i), static_cast<uint8_t>(10 + 60 * j), 0, 255};
  }));
  struct Case {
    TextureFilter filter;
    int x, y;
    Rgb expected;
  };
  const Case cases[] = {
      {TextureFilter::kLinear, 1, 1, {10, 10, 0}},  {TextureFilter::kLinear, 7, 1, {190, 10, 0}},
      {TextureFilter::kLinear, 1, 7, {10, 190, 0}}, {TextureFilter::kLinear, 0, 0, {100, 100, 0}},
      {TextureFilter::kLinear, 2, 1, {40, 10, 0}},  {TextureFilter::kPoint, 0, 0, {10, 10, 0}},
      {TextureFilter::kPoint, 7, 7, {190, 190, 0}},
  };
  for (const Case& c : cases) {
    auto device = PixelDevice(8, 8);
    device->render_states().mag_filter = c.filter;
    device->SetTexture(texture);
    const auto quad = test::Rectangle(0, 0, 8, 8, 0.5f, kWhite);
    device->DrawPrimitive(PrimitiveType::kTriangleFan, quad);
    device->EndScene();
    EXPECT_EQ(PixelAt(*device, c.x, c.y), c.expected) << c.x << "," << c.y;
  }
}

// Colour = texture * diffuse; alpha by the stage's operation; blended over black. The diffuse
// colour is (128, 128, 128) / 255 with alpha 64 / 255.
TEST(DeviceTextureTest, StageCombinesTextureAndDiffuse) {
  struct Case {
    const char* name;
    std::array<uint8_t, 4> texel;  // none when the alpha is 1
    bool bound;
    AlphaOperation operation;
    Rgb expected;
  };
  const Case cases[] = {
      // alpha = 1 + 0.251 - 0.5
      {"add signed", {200, 100, 50, 255}, true, AlphaOperation::kAddSigned, {75, 38, 19}},
      {"add signed, clear texel", {200, 100, 50, 0}, true, AlphaOperation::kAddSigned, {0, 0, 0}},
      {"select texture", {200, 100, 50, 255}, true, AlphaOperation::kSelectTexture, {100, 50, 25}},
      {"modulate", {200, 100, 50, 255}, true, AlphaOperation::kModulate, {25, 13, 6}},
      // No texture: the diffuse colour and alpha pass through (not a white texture).
      {"unbound", {}, false, AlphaOperation::kAddSigned, {32, 32, 32}},
  };
  for (const Case& c : cases) {
    auto device = PixelDevice(4, 4);
    RenderStates& s = device->render_states();
    s.alpha_blend_enable = true;
    s.source_blend = BlendFactor::kSourceAlpha;
    s.destination_blend = BlendFactor::kInverseSourceAlpha;
    s.alpha_operation = c.operation;
    if (c.bound) {
      device->SetTexture(
          Texture::FromImage(test::MakeImage(2, 2, [&](int, int) { return c.texel; })));
    }
    const auto quad = test::Rectangle(0, 0, 4, 4, 0.5f, 0x40808080);
    device->DrawPrimitive(PrimitiveType::kTriangleFan, quad);
    device->EndScene();
    EXPECT_EQ(PixelAt(*device, 2, 2), c.expected) << c.name;
  }
}

// 16 x 16 texels of alternating black and white.
std::shared_ptr<const Texture> Checkerboard() {
  return Texture::FromImage(test::MakeImage(16, 16, [](int x, int y) {
    const uint8_t v = (x + y) % 2 ? 255 : 0;
    return test::Rgba{v, v, v, 255};
  }));
}

// A floor seen in perspective (90 degree field of view, 64 x 64 pixels): v runs from 0 at
// depth 1 (the bottom row) to 1 at depth 3 (row 42.7), so v = 0.5 lies at depth 2, row 48, and
// not half way down the screen. Near the horizon one pixel spans many texels of the checkerboard,
// and only a per-pixel level of detail (either mip filter) turns it grey; level 0 alone aliases.
TEST(DeviceTextureTest, TexturesFollowPerspective) {
  const auto halves = Texture::FromImage(test::MakeImage(1, 2, [](int, int y) {
    return y == 0 ? test::Rgba{255, 0, 0, 255} : test::Rgba{0, 255, 0, 255};
  }));
  const auto draw = [](const std::shared_ptr<const Texture>& texture, TextureFilter mip,
                       float far_z, float v_scale) {
    auto device = Device::Create(64, 64);
    device->set_thread_count(1);
    RenderStates& s = device->render_states();
    s.lighting = false;
    s.cull_mode = CullMode::kNone;
    s.mip_filter = mip;
    device->SetTransform(TransformState::kProjection,
                         test::PerspectiveFov(kPi / 2.0f, 1.0f, 0.01f, 100.0f));
    device->SetTexture(texture);
    device->BeginScene();
    const float u_far = far_z * 2.0f * v_scale;
    const std::array<ColourVertex, 4> floor = {
        ColourVertex{{-far_z, -1, 1}, kWhite, 0, 0}, ColourVertex{{far_z, -1, 1}, kWhite, u_far, 0},
        ColourVertex{{far_z, -1, far_z}, kWhite, u_far, (far_z - 1) * v_scale},
        ColourVertex{{-far_z, -1, far_z}, kWhite, 0, (far_z - 1) * v_scale}};
    device->DrawPrimitive(PrimitiveType::kTriangleFan, floor);
    device->EndScene();
    return device;
  };

  const auto split = draw(halves, TextureFilter::kNone, 3.0f, 0.5f);
  EXPECT_EQ(PixelAt(*split, 32, 46), (Rgb{0, 255, 0}));  // depth 2.3
  EXPECT_EQ(PixelAt(*split, 32, 50), (Rgb{255, 0, 0}));  // depth 1.8

  const auto board_texture = Checkerboard();
  for (TextureFilter mip : {TextureFilter::kLinear, TextureFilter::kPoint, TextureFilter::kNone}) {
    const auto device = draw(board_texture, mip, 40.0f, 4.0f);
    for (int y = 33; y <= 35; ++y) {
      for (int x = 0; x < 64; ++x) {
        const int value = PixelAt(*device, x, y)[0];
        if (mip != TextureFilter::kNone) {
          EXPECT_NEAR(value, 128, 2) << x << "," << y;
        } else {
          EXPECT_TRUE(value == 0 || value == 255) << x << "," << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vorna
