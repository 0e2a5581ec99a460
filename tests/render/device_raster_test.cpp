// Coverage, culling, depth, fill modes and clipping of the software device.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <utility>

#include "render/device.h"
#include "render/device_scene.h"

namespace vorna {
namespace {

using test::CountLit;
using test::DrawColour;
using test::PixelAt;
using test::PixelDevice;
using test::Rgb;

constexpr uint32_t kWhite = 0xFFFFFFFF;

TEST(DeviceTest, CreationRefusesEmptyOrHugeBackBuffers) {
  EXPECT_EQ(Device::Create(0, 480), nullptr);
  EXPECT_EQ(Device::Create(760, 0), nullptr);
  EXPECT_EQ(Device::Create(-5, 10), nullptr);
  EXPECT_EQ(Device::Create(Device::kMaxSide + 1, 4), nullptr);
  auto device = Device::Create(3, 2);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(device->back_buffer().width, 3);
  EXPECT_EQ(device->back_buffer().height, 2);
  for (uint8_t byte : device->back_buffer().rgba) EXPECT_TRUE(byte == 0 || byte == 255);
  EXPECT_EQ(device->back_buffer().Pixel(2, 1)[3], 255);

  EXPECT_FALSE(device->Resize(0, 10));
  EXPECT_FALSE(device->Resize(10, 0));
  EXPECT_TRUE(device->Resize(8, 4));
  EXPECT_EQ(device->back_buffer().rgba.size(), 8u * 4u * 4u);
  ASSERT_TRUE(device->BeginScene());
  EXPECT_FALSE(device->Resize(16, 16));  // not while a scene is open
  EXPECT_FALSE(device->BeginScene());
  EXPECT_TRUE(device->EndScene());
  EXPECT_FALSE(device->EndScene());
  const auto quad = test::Rectangle(0, 0, 4, 4, 0.5f, kWhite);
  EXPECT_FALSE(device->DrawPrimitive(PrimitiveType::kTriangleFan, quad));  // outside a scene
}

// The top-left rule: a pixel centre on an edge belongs to the triangle only when the edge is a
// top or a left edge. (Shared edges drawn once are checked by the fan below.)
TEST(DeviceTest, TopLeftRuleCoversTheExpectedPixels) {
  struct Case {
    std::vector<ColourVertex> list;
    int covered;
  };
  const Case cases[] = {
      {{{{0, 0, 0}, kWhite}, {{5, 0, 0}, kWhite}, {{5, 5, 0}, kWhite}}, 15},
      {{{{0, 5, 0}, kWhite}, {{0, 0, 0}, kWhite}, {{5, 5, 0}, kWhite}}, 10},
  };
  for (const Case& c : cases) {
    auto device = PixelDevice(16, 16);
    device->DrawPrimitive(PrimitiveType::kTriangleList, c.list);
    device->EndScene();
    EXPECT_EQ(CountLit(*device), c.covered);
  }
}

// With additive blending a pixel drawn twice shows twice the value and a missed one stays black.
TEST(DeviceTest, TrianglesSharingEdgesCoverEveryPixelOnce) {
  auto device = PixelDevice(64, 64);
  RenderStates& states = device->render_states();
  states.alpha_blend_enable = true;
  states.source_blend = BlendFactor::kOne;
  states.destination_blend = BlendFactor::kOne;
  states.depth_enable = false;
  // A fan of 13 slim triangles round an off-centre point of a 13-gon, at subpixel positions.
  const uint32_t colour = 0xFF101010;
  std::vector<ColourVertex> fan = {{{31.3f, 30.7f, 0.5f}, colour}};
  const double kTwoPi = 6.283185307179586;
  for (int i = 0; i <= 13; ++i) {
    const double angle = -kTwoPi * i / 13.0;  // clockwise on screen
    fan.push_back({{static_cast<float>(32.0 + 27.3 * std::cos(angle)),
                    static_cast<float>(32.0 - 27.3 * std::sin(angle)), 0.5f},
                   colour});
  }
  device->DrawPrimitive(PrimitiveType::kTriangleFan, fan);
  device->EndScene();
  int inside = 0;
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const Rgb p = PixelAt(*device, x, y);
      ASSERT_TRUE(p == (Rgb{0, 0, 0}) || p == (Rgb{16, 16, 16})) << x << "," << y;
      // Well inside the polygon (its inscribed circle is about 26.5 pixels wide).
      if (std::hypot(x - 32.0, y - 32.0) < 25.0) {
        ++inside;
        EXPECT_EQ(p, (Rgb{16, 16, 16})) << x << "," << y;
      }
    }
  }
  EXPECT_GT(inside, 1900);
}

TEST(DeviceTest, CullModeDiscardsTheChosenWinding) {
  const std::vector<ColourVertex> clockwise = {
      {{1, 1, 0}, kWhite}, {{7, 1, 0}, kWhite}, {{1, 7, 0}, kWhite}};
  const std::vector<ColourVertex> counter = {
      {{1, 1, 0}, kWhite}, {{1, 7, 0}, kWhite}, {{7, 1, 0}, kWhite}};
  struct Case {
    CullMode mode;
    bool clockwise_drawn;
    bool counter_drawn;
  };
  for (const Case& c :
       {Case{CullMode::kCounterClockwise, true, false}, Case{CullMode::kClockwise, false, true},
        Case{CullMode::kNone, true, true}}) {
    for (FillMode fill : {kFillSolid, kFillWireframe, kFillPoint}) {
      for (bool use_clockwise : {true, false}) {
        auto device = PixelDevice(8, 8);
        device->render_states().cull_mode = c.mode;
        device->render_states().fill_mode = fill;
        device->DrawPrimitive(PrimitiveType::kTriangleList, use_clockwise ? clockwise : counter);
        device->EndScene();
        const bool drawn = use_clockwise ? c.clockwise_drawn : c.counter_drawn;
        EXPECT_EQ(CountLit(*device) > 0, drawn) << static_cast<int>(c.mode) << " fill " << fill;
      }
    }
  }
  // Both windings cover the same pixels once culling is off.
  auto a = PixelDevice(8, 8), b = PixelDevice(8, 8);
  a->render_states().cull_mode = b->render_states().cull_mode = CullMode::kNone;
  a->DrawPrimitive(PrimitiveType::kTriangleList, clockwise);
  b->DrawPrimitive(PrimitiveType::kTriangleList, counter);
  a->EndScene();
  b->EndScene();
  EXPECT_EQ(a->back_buffer().rgba, b->back_buffer().rgba);
}

TEST(DeviceTest, DepthTestKeepsTheNearerFaceAndLetsEqualDepthThrough) {
  struct Case {
    float first_z;
    float second_z;
    bool depth_enable;
    Rgb expected;  // first face red, second green
  };
  const Case cases[] = {
      {0.25f, 0.75f, true, {255, 0, 0}},   // second is behind
      {0.75f, 0.25f, true, {0, 255, 0}},   // second is in front
      {0.5f, 0.5f, true, {0, 255, 0}},     // less-or-equal passes
      {0.25f, 0.75f, false, {0, 255, 0}},  // no depth test: drawing order decides
  };
  for (const Case& c : cases) {
    auto device = PixelDevice(16, 16);
    device->render_states().depth_enable = c.depth_enable;
    DrawColour(*device, PrimitiveType::kTriangleList,
               {{{0, 0, c.first_z}, 0xFFFF0000},
                {{12, 0, c.first_z}, 0xFFFF0000},
                {{0, 12, c.first_z}, 0xFFFF0000}});
    DrawColour(*device, PrimitiveType::kTriangleList,
               {{{2, 2, c.second_z}, 0xFF00FF00},
                {{14, 2, c.second_z}, 0xFF00FF00},
                {{2, 14, c.second_z}, 0xFF00FF00}});
    device->EndScene();
    EXPECT_EQ(PixelAt(*device, 4, 4), c.expected) << c.first_z << " " << c.second_z;
  }
}

TEST(DeviceTest, DepthIsInterpolatedAcrossTheFace) {
  // Two faces crossing each other: each is in front on its own side of the crossing.
  auto device = PixelDevice(32, 32);
  DrawColour(*device, PrimitiveType::kTriangleFan,
             {{{0, 0, 0.2f}, 0xFFFF0000},
              {{32, 0, 0.8f}, 0xFFFF0000},
              {{32, 32, 0.8f}, 0xFFFF0000},
              {{0, 32, 0.2f}, 0xFFFF0000}});
  DrawColour(*device, PrimitiveType::kTriangleFan,
             {{{0, 0, 0.8f}, 0xFF00FF00},
              {{32, 0, 0.2f}, 0xFF00FF00},
              {{32, 32, 0.2f}, 0xFF00FF00},
              {{0, 32, 0.8f}, 0xFF00FF00}});
  device->EndScene();
  EXPECT_EQ(PixelAt(*device, 5, 16), (Rgb{255, 0, 0}));
  EXPECT_EQ(PixelAt(*device, 26, 16), (Rgb{0, 255, 0}));
}

TEST(DeviceTest, ClearFillsColourAndDepthAndFinishesEarlierDrawing) {
  auto device = PixelDevice(8, 8);
  const auto quad = test::Rectangle(0, 0, 8, 8, 0.5f, kWhite);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, quad);
  device->Clear(kClearTarget | kClearDepth, 0x00123456, 0.25f);
  EXPECT_EQ(PixelAt(*device, 3, 3), (Rgb{0x12, 0x34, 0x56}));
  EXPECT_EQ(device->back_buffer().Pixel(3, 3)[3], 255);
  // Depth 0.25 now hides a face at 0.5 but not one at 0.25.
  const auto behind = test::Rectangle(0, 0, 4, 8, 0.5f, kWhite);
  const auto level = test::Rectangle(4, 0, 8, 8, 0.25f, kWhite);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, behind);
  device->DrawPrimitive(PrimitiveType::kTriangleFan, level);
  device->EndScene();
  EXPECT_EQ(PixelAt(*device, 1, 3), (Rgb{0x12, 0x34, 0x56}));
  EXPECT_EQ(PixelAt(*device, 6, 3), (Rgb{255, 255, 255}));
  // Asked to, the clear keeps its alpha where nothing is drawn; drawn pixels are opaque.
  device->Clear(kClearTarget | kClearAlpha, 0x00123456, 1.0f);
  ASSERT_TRUE(device->BeginScene());
  device->DrawPrimitive(PrimitiveType::kTriangleFan, level);
  device->EndScene();
  EXPECT_EQ(device->back_buffer().Pixel(1, 3)[3], 0);
  EXPECT_EQ(device->back_buffer().Pixel(6, 3)[3], 255);
}

TEST(DeviceTest, PointFillDrawsEachCornerPixel) {
  auto device = PixelDevice(16, 16);
  device->render_states().fill_mode = kFillPoint;
  // Corners at pixel centres and between them: a half rounds towards the top-left neighbour.
  DrawColour(*device, PrimitiveType::kTriangleList,
             {{{2, 2, 0}, kWhite}, {{12.5f, 2, 0}, kWhite}, {{2.4f, 11.6f, 0}, kWhite}});
  device->EndScene();
  EXPECT_EQ(CountLit(*device), 3);
  EXPECT_EQ(PixelAt(*device, 2, 2), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelAt(*device, 12, 2), (Rgb{255, 255, 255}));
  EXPECT_EQ(PixelAt(*device, 2, 12), (Rgb{255, 255, 255}));
}

TEST(DeviceTest, WireframeDrawsEachEdgeHalfOpen) {
  auto device = PixelDevice(16, 16);
  device->render_states().fill_mode = kFillWireframe;
  DrawColour(*device, PrimitiveType::kTriangleList,
             {{{2, 2, 0}, kWhite}, {{12, 2, 0}, kWhite}, {{2, 12, 0}, kWhite}});
  device->EndScene();
  std::set<std::pair<int, int>> expected;
  for (int i = 0; i < 10; ++i) {
    expected.insert({2 + i, 2});       // top edge, going right, last pixel left out
    expected.insert({12 - i, 2 + i});  // diagonal from (12, 2)
    expected.insert({2, 12 - i});      // left edge, going up
  }
  std::set<std::pair<int, int>> lit;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (PixelAt(*device, x, y) != Rgb{0, 0, 0}) lit.insert({x, y});
    }
  }
  EXPECT_EQ(lit, expected);
}

// Orthographic pixel space with the depth running from -1 to 1 across the face: the part in
// front of the near plane (z < 0) or beyond the far plane (z > 1) is cut away.
TEST(DeviceTest, NearAndFarPlanesClipTheFace) {
  for (FillMode fill : {kFillSolid, kFillWireframe}) {
    auto device = PixelDevice(32, 8);
    device->render_states().fill_mode = fill;
    DrawColour(*device, PrimitiveType::kTriangleFan,
               {{{0, 0, -1.0f}, kWhite},
                {{32, 0, 3.0f}, kWhite},
                {{32, 8, 3.0f}, kWhite},
                {{0, 8, -1.0f}, kWhite}});
    device->EndScene();
    // z = 0 at x = 8, z = 1 at x = 16.
    for (int x = 0; x < 32; ++x) {
      const bool lit = PixelAt(*device, x, 0) != Rgb{0, 0, 0};
      if (x < 8 || x > 16) {
        EXPECT_FALSE(lit) << x;
      }
      if (x > 8 && x < 16) {
        EXPECT_TRUE(lit) << x;
      }
    }
  }
}

// A floor running from behind the camera to the distance: only the half in front may be drawn,
// and it lies entirely below the horizon.
TEST(DeviceTest, NearPlaneClipsGeometryBehindTheCamera) {
  auto device = Device::Create(64, 64);
  device->set_thread_count(1);
  device->render_states().lighting = false;
  device->SetTransform(TransformState::kProjection,
                       test::PerspectiveFov(0.7853982f, 1.0f, 0.01f, 10.0f));
  device->BeginScene();
  DrawColour(
      *device, PrimitiveType::kTriangleFan,
      {{{-5, -1, -5}, kWhite}, {{-5, -1, 5}, kWhite}, {{5, -1, 5}, kWhite}, {{5, -1, -5}, kWhite}});
  device->EndScene();
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) ASSERT_EQ(PixelAt(*device, x, y), (Rgb{0, 0, 0})) << x << "," << y;
  }
  for (int x = 0; x < 64; ++x) EXPECT_EQ(PixelAt(*device, x, 63), (Rgb{255, 255, 255})) << x;
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
  const auto texture = Texture::FromImage(test::MakeImage(2, 2, [](int, int) {
    return test::Rgba{255, 255, 255, 255};
  }));
  for (const Case& c : cases) {
    for (FillMode fill : {kFillSolid, kFillWireframe, kFillPoint}) {
      auto device = PixelDevice(16, 16);
      device->render_states().fill_mode = fill;
      device->render_states().cull_mode = CullMode::kNone;
      device->render_states().mag_filter = TextureFilter::kLinear;
      device->SetTexture(texture);
      DrawColour(*device, PrimitiveType::kTriangleList,
                 {{c.a, kWhite, nan, inf}, {c.b, kWhite, 1e30f, 0}, {c.c, kWhite, 0, 0}});
      device->EndScene();
      if (fill != kFillSolid) continue;
      if (c.coverage != kAny) {
        EXPECT_EQ(CountLit(*device), c.coverage == kAll ? 256 : 0) << c.b.x;
      }
    }
  }
}

// A busy scene (overlapping, blended, textured, with depth, in all fill modes, with long calls
// that are split between workers) drawn by one, two and eight threads gives the same bytes.
TEST(DeviceTest, ThreadedRasterisationGivesIdenticalPixels) {
  const auto texture = Texture::FromImage(test::MakeImage(16, 16, [](int x, int y) {
    const int i = 16 * y + x;
    return test::Rgba{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 13),
                      static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i * 3)};
  }));
  std::vector<Image> frames;
  for (int threads : {1, 2, 8}) {
    auto device = Device::Create(320, 240);
    device->set_thread_count(threads);
    RenderStates& s = device->render_states();
    s.lighting = false;
    s.cull_mode = CullMode::kNone;
    s.alpha_blend_enable = true;
    s.source_blend = BlendFactor::kSourceAlpha;
    s.destination_blend = BlendFactor::kInverseSourceAlpha;
    s.alpha_operation = AlphaOperation::kAddSigned;
    s.mag_filter = s.min_filter = s.mip_filter = TextureFilter::kLinear;
    device->SetTransform(TransformState::kProjection,
                         test::PerspectiveFov(0.7853982f, 320.0f / 240.0f, 0.01f, 10.0f));
    device->BeginScene();
    uint32_t seed = 12345;
    const auto next = [&seed] {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<float>(seed >> 8) / 16777216.0f;
    };
    for (int i = 0; i < 400; ++i) {
      device->SetTexture(i % 3 == 0 ? nullptr : texture);
      device->render_states().fill_mode =
          i % 17 == 0 ? kFillWireframe : (i % 23 == 0 ? kFillPoint : kFillSolid);
      // Every 100th call is a long list or fan.
      const int corners = i % 100 == 50 ? 300 : (i % 100 == 99 ? 120 : 3);
      std::vector<ColourVertex> tri;
      for (int k = 0; k < corners; ++k) {
        tri.push_back({{next() * 4 - 2, next() * 3 - 1.5f, next() * 4 - 0.5f},
                       static_cast<uint32_t>(next() * 4294967295.0f),
                       next() * 4 - 2,
                       next() * 4 - 2});
      }
      device->DrawPrimitive(
          corners == 120 ? PrimitiveType::kTriangleFan : PrimitiveType::kTriangleList, tri);
    }
    device->EndScene();
    frames.push_back(device->back_buffer());
  }
  int lit = 0;
  for (size_t i = 0; i < frames[0].rgba.size(); i += 4) lit += frames[0].rgba[i + 1] != 0;
  EXPECT_GT(lit, 320 * 240 / 2);
  EXPECT_TRUE(frames[0].rgba == frames[1].rgba);
  EXPECT_TRUE(frames[0].rgba == frames[2].rgba);
}

}  // namespace
}  // namespace vorna
