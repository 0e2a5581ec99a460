// The software device: small scenes compared pixel for pixel with reference images, and hostile
// coordinates.
#include "render/device.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "render/camera.h"
#include "render/device_scene.h"

namespace vorna {
namespace {

using test::DrawColour;
using test::Rgba;

constexpr uint32_t kWhite = 0xFFFFFFFF, kRed = 0xFFFF0000, kGreen = 0xFF00FF00;

// A triangle, or a fan of more corners, in one colour.
void Poly(Device& d, uint32_t colour, std::initializer_list<Vec3> corners) {
  std::vector<ColourVertex> vertices;
  for (const Vec3& corner : corners) vertices.push_back({corner, colour});
  d.DrawPrimitive(corners.size() == 3 ? PrimitiveType::kTriangleList : PrimitiveType::kTriangleFan,
                  vertices);
}

std::shared_ptr<const Texture> Solid(Rgba texel) {
  return Texture::FromImage(test::MakeImage(2, 2, [texel](int, int) { return texel; }));
}

void Fan(Device& d, const std::array<ColourVertex, 4>& quad) {
  d.DrawPrimitive(PrimitiveType::kTriangleFan, quad);
}

// A quad from (x0, y0) to (x1, y1) wound clockwise on screen, every corner with `normal` and
// blend weight `weight`.
template <typename V>
std::array<V, 4> Quad(float x0, float y0, float x1, float y1, Vec3 normal, float weight = 1.0f) {
  std::array<V, 4> quad{};
  const Vec2 corners[4] = {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
  for (int i = 0; i < 4; ++i) quad[i] = {{corners[i].x, corners[i].y, 0.5f}, weight, normal};
  return quad;
}

// The camera and the light both look along +z: colour = emissive + ambient * global ambient +
// diffuse * 0.8 * max(N.L, 0), plus the highlight when specular is on.
void Light(Device& d) {
  d.render_states().lighting = true;
  d.render_states().local_viewer = false;
  d.render_states().ambient = 0x00404040;
  d.SetMaterial({{0.5f, 0.5f, 0.5f, 1.0f},
                 {0.2f, 0.2f, 0.2f, 1.0f},
                 {0.25f, 0.25f, 0.25f, 0.0f},
                 {0.1f, 0.0f, 0.0f, 0.0f},
                 4.0f});
  d.SetLight({{0.8f, 0.8f, 0.8f, 0.0f}, {1.0f, 1.0f, 1.0f, 0.0f}, {}, {0.0f, 0.0f, 1.0f}});
  d.EnableLight(true);
}

// A vertex at 45 degrees right of the view axis lit head-on, drawn as a point: the highlight is
// the full 0.25 with the viewer at infinity, 0.25 * cos(22.5)^4 seen from the camera itself.
void Highlight(Device& d, bool local) {
  Light(d);
  d.SetTransform(TransformState::kProjection, Scaling(1.0f / 16, 1.0f / 16, 1.0f / 16));
  d.render_states().local_viewer = local;
  d.render_states().specular_enable = true;
  d.render_states().fill_mode = kFillPoint;
  const std::array<BlendedVertex, 3> corners = {BlendedVertex{{8, 0, 8}, 1, {0, 0, -1}},
                                                BlendedVertex{{8, -4, 8}, 1, {0, 0, -1}},
                                                BlendedVertex{{4, -4, 8}, 1, {0, 0, -1}}};
  d.DrawPrimitive(PrimitiveType::kTriangleList, corners);
}

// World 1 turns the quad a quarter round its centre, taking the normal from +x (towards the
// light) to +y (across it). Blended normals are not renormalised: weight 0.5 lights at 0.5.
void Blend(Device& d, VertexBlend blend, float weight) {
  d.render_states().lighting = true;
  d.render_states().vertex_blend = blend;
  d.SetMaterial({{1, 1, 1, 1}, {0, 0, 0, 0}, {}, {}, 0.0f});
  d.SetLight({{0.8f, 0.8f, 0.8f, 0}, {}, {}, {-1, 0, 0}});
  d.EnableLight(true);
  d.SetTransform(
      TransformState::kWorld1,
      Multiply(Multiply(Translation(-8, -8, 0), RotationZ(kPi / 2.0f)), Translation(8, 8, 0)));
  d.Clear(kClearTarget, 0xFF0000FF, 1.0f);  // blue: an unlit quad shows black
  d.DrawPrimitive(PrimitiveType::kTriangleFan,
                  Quad<BlendedVertex>(4, 4, 12, 12, {1, 0, 0}, weight));
}

void SourceAlphaBlending(Device& d) {
  d.render_states().alpha_blend_enable = true;
  d.render_states().source_blend = BlendFactor::kSourceAlpha;
  d.render_states().destination_blend = BlendFactor::kInverseSourceAlpha;
}

// Texel (i, j) is (10 + 60 i, 10 + 60 j, 0) and lies over pixels 2i, 2i + 1 of the 8 x 8 quad:
// pixel 2i + 1 samples texel i exactly, pixel 0 halfway round the wrap.
void Corners(Device& d, TextureFilter filter) {
  d.render_states().mag_filter = filter;
  d.SetTexture(Texture::FromImage(test::MakeImage(4, 4, [](int i, int j) {
    return Rgba{static_cast<uint8_t>(10 + 60 * i), static_cast<uint8_t>(10 + 60 * j), 0, 255};
  })));
  Fan(d, test::Rectangle(0, 0, 8, 8, 0.5f, kWhite));
}

// A floor in perspective (90 degrees, 64 x 64) from depth 1 (the bottom row) to `far_z`, v
// growing with depth (u with depth when `swap_uv`).
void Floor(Device& d, const std::shared_ptr<const Texture>& texture, TextureFilter mip, float far_z,
           float v_scale, bool swap_uv = false) {
  d.render_states().cull_mode = CullMode::kNone;
  d.render_states().mip_filter = mip;
  d.SetTransform(TransformState::kProjection, PerspectiveFovLH(kPi / 2.0f, 1.0f, 0.01f, 100.0f));
  d.SetTexture(texture);
  const float u = far_z * 2.0f * v_scale, v = (far_z - 1) * v_scale;
  std::array<ColourVertex, 4> floor = {ColourVertex{{-far_z, -1, 1}, kWhite, 0, 0},
                                       ColourVertex{{far_z, -1, 1}, kWhite, u, 0},
                                       ColourVertex{{far_z, -1, far_z}, kWhite, u, v},
                                       ColourVertex{{-far_z, -1, far_z}, kWhite, 0, v}};
  if (swap_uv) {
    for (ColourVertex& corner : floor) std::swap(corner.u, corner.v);
  }
  Fan(d, floor);
}

// Near the horizon one pixel spans many texels: only a per-pixel level of detail turns the
// checkerboard grey; level 0 alone aliases.
void Checkerboard(Device& d, TextureFilter mip) {
  const auto board = test::MakeImage(16, 16, [](int x, int y) {
    const uint8_t v = (x + y) % 2 ? 255 : 0;
    return Rgba{v, v, v, 255};
  });
  Floor(d, Texture::FromImage(board), mip, 40.0f, 4.0f);
}

struct Scene {
  const char* name;
  int width, height;
  void (*draw)(Device&);
};

// Each drawn single-threaded, unlit, in pixel space (position (i, j) on pixel centre (i, j)).
const Scene kScenes[] = {
    // A centre on an edge belongs to the triangle only on a top or a left edge: 15 and 10 pixels.
    {"top_left_rule", 16, 16,
     [](Device& d) {
       Poly(d, kWhite, {{0, 0, 0}, {5, 0, 0}, {5, 5, 0}});
       Poly(d, kWhite, {{8, 13, 0}, {8, 8, 0}, {13, 13, 0}});
     }},
    // Added up, a pixel covered twice would show 32 and a missed one black: slim triangles round
    // an off-centre point of a 13-gon, at subpixel positions.
    {"shared_edges_once", 64, 64,
     [](Device& d) {
       d.render_states().alpha_blend_enable = true;
       d.render_states().source_blend = d.render_states().destination_blend = BlendFactor::kOne;
       d.render_states().depth_enable = false;
       std::vector<ColourVertex> fan = {{{31.3f, 30.7f, 0.5f}, 0xFF101010}};
       for (int i = 0; i <= 13; ++i) {
         const double angle = -6.283185307179586 * i / 13.0;  // clockwise on screen
         fan.push_back({{static_cast<float>(32.0 + 27.3 * std::cos(angle)),
                         static_cast<float>(32.0 - 27.3 * std::sin(angle)), 0.5f},
                        0xFF101010});
       }
       d.DrawPrimitive(PrimitiveType::kTriangleFan, fan);
     }},
    // Rows: culling counter-clockwise, clockwise, none; columns: point, wireframe, solid. Red is
    // wound clockwise, green counter-clockwise over it.
    {"cull_modes", 24, 24,
     [](Device& d) {
       const CullMode modes[] = {CullMode::kCounterClockwise, CullMode::kClockwise,
                                 CullMode::kNone};
       for (int i = 0; i < 9; ++i) {
         d.render_states().cull_mode = modes[i / 3];
         d.render_states().fill_mode = static_cast<FillMode>(i % 3 + 1);
         const float x = 8.0f * (i % 3), y = 8.0f * (i / 3);
         Poly(d, kRed, {{x + 1, y + 1, 0}, {x + 7, y + 1, 0}, {x + 1, y + 7, 0}});
         Poly(d, kGreen, {{x + 1, y + 1, 0}, {x + 1, y + 7, 0}, {x + 7, y + 1, 0}});
       }
     }},
    // Red then green: green behind, in front, at equal depth (less-or-equal passes), and behind
    // with the depth test off.
    {"depth_test", 64, 16,
     [](Device& d) {
       const float z[4][2] = {{0.25f, 0.75f}, {0.75f, 0.25f}, {0.5f, 0.5f}, {0.25f, 0.75f}};
       for (int i = 0; i < 4; ++i) {
         d.render_states().depth_enable = i < 3;
         const float x = 16.0f * i, r = z[i][0], g = z[i][1];
         Poly(d, kRed, {{x, 0, r}, {x + 12, 0, r}, {x, 12, r}});
         Poly(d, kGreen, {{x + 2, 2, g}, {x + 14, 2, g}, {x + 2, 14, g}});
       }
     }},
    // Cleared to a colour and depth 0.25 after a quad: the quad is gone, a face at 0.5 hidden,
    // one at 0.25 drawn.
    {"clear", 8, 8,
     [](Device& d) {
       Fan(d, test::Rectangle(0, 0, 8, 8, 0.5f, kWhite));
       d.Clear(kClearTarget | kClearDepth, 0x00123456, 0.25f);
       Fan(d, test::Rectangle(0, 0, 4, 8, 0.5f, kWhite));
       Fan(d, test::Rectangle(4, 0, 8, 8, 0.25f, kWhite));
     }},
    // Left: corners at and between pixel centres (a half rounds to the top-left neighbour).
    // Right: each edge half open.
    {"point_and_wireframe", 32, 16,
     [](Device& d) {
       d.render_states().fill_mode = kFillPoint;
       Poly(d, kWhite, {{2, 2, 0}, {12.5f, 2, 0}, {2.4f, 11.6f, 0}});
       d.render_states().fill_mode = kFillWireframe;
       Poly(d, kWhite, {{18, 2, 0}, {28, 2, 0}, {18, 12, 0}});
     }},
    // Depth -1 .. 3 across: only x = 8 .. 16 (z 0 .. 1) stays, solid above, wireframe below, and
    // of a triangle's corners as points those in front of the far plane.
    {"near_and_far_planes", 32, 24,
     [](Device& d) {
       Poly(d, kWhite, {{0, 0, -1.0f}, {32, 0, 3.0f}, {32, 8, 3.0f}, {0, 8, -1.0f}});
       d.render_states().fill_mode = kFillWireframe;
       Poly(d, kWhite, {{0, 8, -1.0f}, {32, 8, 3.0f}, {32, 16, 3.0f}, {0, 16, -1.0f}});
       d.render_states().fill_mode = kFillPoint;  // the corner past the far plane is left out
       Poly(d, kWhite, {{4, 18, 0.5f}, {28, 18, 3.0f}, {16, 22, 0.25f}});
     }},
    // A floor from behind the camera to the distance: only the half in front, below the horizon.
    {"behind_the_camera", 64, 64,
     [](Device& d) {
       d.SetTransform(TransformState::kProjection,
                      PerspectiveFovLH(0.7853982f, 1.0f, 0.01f, 10.0f));
       Poly(d, kWhite, {{-5, -1, -5}, {-5, -1, 5}, {5, -1, 5}, {5, -1, -5}});
     }},
    // Facing the light (0.55, 0.45, 0.45), away (ambient only), and a vertex colour replacing
    // the diffuse colour alone.
    {"lighting", 16, 16,
     [](Device& d) {
       Light(d);
       d.DrawPrimitive(PrimitiveType::kTriangleFan, Quad<BlendedVertex>(0, 0, 8, 8, {0, 0, -1}));
       d.DrawPrimitive(PrimitiveType::kTriangleFan, Quad<BlendedVertex>(8, 0, 16, 8, {0, 0, 1}));
       auto coloured = Quad<BlendedColourVertex>(0, 8, 8, 16, {0, 0, -1});
       for (auto& v : coloured) v.colour = kRed;
       d.DrawPrimitive(PrimitiveType::kTriangleFan, coloured);
     }},
    {"highlight_viewer_at_infinity", 16, 16, [](Device& d) { Highlight(d, false); }},
    {"highlight_local_viewer", 16, 16, [](Device& d) { Highlight(d, true); }},
    {"blend_weight_1", 16, 16, [](Device& d) { Blend(d, VertexBlend::kOneWeight, 1.0f); }},
    {"blend_weight_half", 16, 16, [](Device& d) { Blend(d, VertexBlend::kOneWeight, 0.5f); }},
    {"blend_weight_0", 16, 16, [](Device& d) { Blend(d, VertexBlend::kOneWeight, 0.0f); }},
    {"blend_weight_1", 16, 16, [](Device& d) { Blend(d, VertexBlend::kDisable, 0.0f); }},
    // Half white over blue; a clear face shows nothing but still hides the green behind it.
    {"alpha_blend", 8, 8,
     [](Device& d) {
       SourceAlphaBlending(d);
       Fan(d, test::Rectangle(0, 0, 8, 8, 0.75f, 0xFF0000FF));
       Fan(d, test::Rectangle(0, 0, 4, 8, 0.25f, 0x80FFFFFF));
       Fan(d, test::Rectangle(4, 0, 8, 4, 0.25f, 0x00FF0000));
       Fan(d, test::Rectangle(4, 0, 8, 8, 0.5f, kGreen));
     }},
    {"texture_linear", 8, 8, [](Device& d) { Corners(d, TextureFilter::kLinear); }},
    {"texture_point", 8, 8, [](Device& d) { Corners(d, TextureFilter::kPoint); }},
    // Colour = texture * diffuse (128 grey, alpha 64), alpha by the stage, over black: add
    // signed, add signed with a clear texel, select texture, modulate, and no texture at all
    // (the diffuse passes through, not a white texture).
    {"texture_stage", 20, 4,
     [](Device& d) {
       SourceAlphaBlending(d);
       using enum AlphaOperation;
       const AlphaOperation operations[] = {kAddSigned, kAddSigned, kSelectTexture, kModulate,
                                            kAddSigned};
       for (int i = 0; i < 5; ++i) {
         d.render_states().alpha_operation = operations[i];
         const Rgba texel = {200, 100, 50, static_cast<uint8_t>(i == 1 ? 0 : 255)};
         d.SetTexture(i == 4 ? nullptr : Solid(texel));
         Fan(d, test::Rectangle(4.0f * i, 0, 4.0f * i + 4, 4, 0.5f, 0x40808080));
       }
     }},
    // Red v < 0.5, green beyond: v = 0.5 lies at depth 2, row 48, not half way down.
    {"perspective_texture", 64, 64,
     [](Device& d) {
       const auto halves = test::MakeImage(1, 2, [](int, int y) {
         return y == 0 ? Rgba{255, 0, 0, 255} : Rgba{0, 255, 0, 255};
       });
       Floor(d, Texture::FromImage(halves), TextureFilter::kNone, 3.0f, 0.5f);
     }},
    {"mip_linear", 64, 64, [](Device& d) { Checkerboard(d, TextureFilter::kLinear); }},
    {"mip_none", 64, 64, [](Device& d) { Checkerboard(d, TextureFilter::kNone); }},
    // Turned into a wall, u running into the distance across stripes four texels wide: depth
    // changes along the rows, and the level of detail (which blurs the stripes away gradually)
    // must take the perspective term of u's horizontal derivative.
    {"mip_wall", 64, 64,
     [](Device& d) {
       d.SetTransform(TransformState::kWorld, RotationZ(kPi / 2.0f));
       const auto stripes = test::MakeImage(16, 16, [](int x, int) {
         const uint8_t v = x / 4 % 2 ? 255 : 0;
         return Rgba{v, v, v, 255};
       });
       Floor(d, Texture::FromImage(stripes), TextureFilter::kLinear, 8.0f, 0.25f, true);
     }},
};

TEST(DeviceTest, ScenesMatchTheirReferenceImages) {
  for (const Scene& scene : kScenes) {
    SCOPED_TRACE(scene.name);
    auto device = test::PixelDevice(scene.width, scene.height);
    scene.draw(*device);
    device->EndScene();
    EXPECT_EQ(test::ReferenceDifference(device->back_buffer(), std::string("device_") + scene.name),
              "");
    EXPECT_EQ(device->DepthAt(scene.width, 0), 1.0f);  // beyond the buffer: as far as can be
    // A colour cleared without its alpha leaves the back buffer opaque.
    EXPECT_EQ(device->back_buffer().Pixel(1, 1)[3], 255);
  }
}

// With the light switched off, lighting leaves the emissive and the ambient colours only.
TEST(DeviceTest, ADisabledLightLeavesEmissiveAndAmbient) {
  auto device = test::PixelDevice(8, 8);
  Light(*device);
  device->EnableLight(false);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, Quad<BlendedVertex>(0, 0, 8, 8, {0, 0, -1}));
  device->EndScene();
  const uint8_t* pixel = device->back_buffer().Pixel(4, 4);
  EXPECT_EQ((std::vector<int>{pixel[0], pixel[1], pixel[2]}), (std::vector<int>{38, 13, 13}));
}

// A 32 x 8 quad over stripes of four colours, u from u0 to u1 and depth from z0 to z1 across: the
// pixels of its columns 9 .. 14.
std::vector<uint8_t> StripesMiddle(float u0, float u1, float z0, float z1, uint32_t wrap) {
  auto device = test::PixelDevice(32, 8);
  device->render_states().wrap0 = wrap;
  device->SetTexture(Texture::FromImage(test::MakeImage(4, 1, [](int x, int) {
    return Rgba{static_cast<uint8_t>(60 * x), static_cast<uint8_t>(255 - 60 * x), 0, 255};
  })));
  Fan(*device, {ColourVertex{{0, 0, z0}, kWhite, u0, 0}, ColourVertex{{32, 0, z1}, kWhite, u1, 0},
                ColourVertex{{32, 8, z1}, kWhite, u1, 1}, ColourVertex{{0, 8, z0}, kWhite, u0, 1}});
  device->EndScene();
  std::vector<uint8_t> middle;
  for (int y = 0; y < 8; ++y) {
    const uint8_t* row = device->back_buffer().Pixel(9, y);
    middle.insert(middle.end(), row, row + 6 * 4);
  }
  return middle;
}

// Coordinates below 0 repeat the texture as those above do; a triangle cut by the near and far
// planes (depth -1 .. 3 keeps x 8 .. 16) wraps its coordinates as the whole one does.
TEST(DeviceTest, TextureCoordinatesRepeatAndWrapWhereverTheyAre) {
  EXPECT_EQ(StripesMiddle(-1, 0, 0.5f, 0.5f, 0), StripesMiddle(0, 1, 0.5f, 0.5f, 0));
  EXPECT_EQ(StripesMiddle(0.875f, 0.125f, -1, 3, kWrapU),
            StripesMiddle(0.875f, 0.125f, 0.5f, 0.5f, kWrapU));
}

// Drawing is deferred to the end of the scene, which lets go of every texture it drew with: a
// played animation does not pile up the textures of its frames.
TEST(DeviceTest, TexturesAreHeldUntilTheSceneEnds) {
  auto device = test::PixelDevice(8, 8);
  auto texture = Solid({255, 0, 0, 255});
  const std::weak_ptr<const Texture> watch = texture;
  device->SetTexture(texture);
  Fan(*device, test::Rectangle(0, 0, 8, 8, 0.5f, kWhite));
  device->SetTexture(nullptr);
  texture.reset();
  EXPECT_FALSE(watch.expired());
  device->EndScene();
  EXPECT_TRUE(watch.expired());
  EXPECT_EQ(device->back_buffer().Pixel(4, 4)[0], 255);
  const auto quad = test::Rectangle(0, 0, 8, 8, 0.5f, kWhite);  // outside a scene: refused
  EXPECT_FALSE(device->DrawPrimitive(PrimitiveType::kTriangleFan, std::span(quad)));
}

// Far-away corners are clipped to a guard band and then scissored; corners that are not finite
// drop the triangle. Beyond about 1e12 the clipped corners lose precision, so there only safety
// is asked for.
TEST(DeviceTest, ExtremeCoordinatesAreSafe) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  enum Coverage { kAll, kNothing, kAny };
  struct Case {
    Vec3 a, b, c;
    Coverage coverage;
  };
  const Case cases[] = {
      {{-1e6f, -1e6f, 0.5f}, {3e6f, -1e6f, 0.5f}, {-1e6f, 3e6f, 0.5f}, kAll},
      {{-1e9f, -1e9f, 0.5f}, {3e9f, -1e9f, 0.5f}, {-1e9f, 3e9f, 0.5f}, kAll},
      {{-1e30f, -1e30f, 0.5f}, {3e30f, -1e30f, 0.5f}, {-1e30f, 3e30f, 0.5f}, kAny},
      {{-1e38f, -1e38f, 0.5f}, {3e38f, -1e38f, 0.5f}, {-1e38f, 3e38f, 0.5f}, kAny},
      {{0, 0, 0.5f}, {inf, 0, 0.5f}, {0, 16, 0.5f}, kNothing},
      {{0, 0, 0.5f}, {16, nan, 0.5f}, {0, 16, 0.5f}, kNothing},
      {{1e30f, 1e30f, 0.5f}, {2e30f, 1e30f, 0.5f}, {1e30f, 2e30f, 0.5f}, kNothing},
  };
  const auto texture = Solid({255, 255, 255, 255});
  for (const Case& c : cases) {
    for (FillMode fill : {kFillSolid, kFillWireframe, kFillPoint}) {
      auto device = test::PixelDevice(16, 16);
      device->render_states().fill_mode = fill;
      device->render_states().cull_mode = CullMode::kNone;
      device->render_states().mag_filter = TextureFilter::kLinear;
      device->SetTexture(texture);
      DrawColour(*device, PrimitiveType::kTriangleList,
                 {{c.a, kWhite, nan, inf}, {c.b, kWhite, 1e30f, 0}, {c.c, kWhite, 0, 0}});
      device->EndScene();
      if (fill == kFillSolid && c.coverage != kAny) {
        EXPECT_EQ(test::CountLit(*device), c.coverage == kAll ? 256 : 0) << c.b.x;
      }
    }
  }
}

}  // namespace
}  // namespace vorna
