#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "image_builders.h"
#include "images/scale.h"

namespace vorna {
namespace {

using test::FirstDifference;

Image Checkerboard(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) pixels.push_back((x + y) % 2 == 0 ? 0x000000FF : 0xFFFFFFFF);
  }
  return test::MakeImage(width, height, pixels);
}

TEST(ThumbnailTest, AveragesACheckerboardToGreyAndKeepsASolidColour) {
  // A one-pixel checkerboard is the worst case for aliasing: point sampling would give pure
  // black or white.
  for (const auto& [w, h] : {std::pair{512, 512}, std::pair{500, 300}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    const Image thumbnail = MakeThumbnail(Checkerboard(w, h));
    ASSERT_EQ(thumbnail.width, kThumbnailSide);
    ASSERT_EQ(thumbnail.height, kThumbnailSide);
    const Image grey = test::MakeImage(32, 32, std::vector<uint32_t>(32 * 32, 0x808080FF));
    // Exact halves round 127.5 up; odd footprints differ by a fraction of a pixel.
    EXPECT_EQ(FirstDifference(thumbnail, grey, w == 512 ? 0 : 6), "");
  }
  const Image solid = test::MakeImage(500, 300, std::vector<uint32_t>(500 * 300, 0x0AC81E80));
  EXPECT_EQ(FirstDifference(MakeThumbnail(solid),
                            test::MakeImage(32, 32, std::vector<uint32_t>(32 * 32, 0x0AC81E80))),
            "");
}

TEST(ScaleTest, UnpremultiplyDividesTheColoursByAlpha) {
  Image image = test::MakeImage(3, 1, {0x102030FF, 0x00000000, 0x40200080});
  Unpremultiply(image);
  EXPECT_EQ(FirstDifference(image, test::MakeImage(3, 1, {0x102030FF, 0x00000000, 0x80400080})),
            "");
}

TEST(ScaleTest, WeightsPartlyCoveredPixelsByArea) {
  // 3 -> 2: each output pixel covers one and a half source pixels.
  const Image row = test::MakeImage(3, 1, {0x000000FF, 0x3C3C3CFF, 0xFFFFFFFF});
  EXPECT_EQ(FirstDifference(ScaleImage(row, 2, 1),
                            test::MakeImage(2, 1, {0x141414FF, 0xBEBEBEFF})),  // 20, 190
            "");
  // 2 -> 3 enlarges: the middle pixel straddles both, 127.5 rounds to 128.
  const Image pair = test::MakeImage(2, 1, {0x000000FF, 0xFFFFFF00});
  EXPECT_EQ(FirstDifference(ScaleImage(pair, 3, 1),
                            test::MakeImage(3, 1, {0x000000FF, 0x80808080, 0xFFFFFF00})),
            "");
  EXPECT_TRUE(ScaleImage(pair, 0, 1).empty());
  EXPECT_TRUE(ScaleImage(Image{}, 4, 4).empty());
  Image broken = pair;
  broken.rgba.pop_back();
  EXPECT_TRUE(ScaleImage(broken, 1, 1).empty());
}

TEST(TextureTest, BuildsTheFullMipChainDownToOnePixel) {
  const struct {
    int width, height;
    std::vector<std::pair<int, int>> levels;
  } cases[] = {
      {8, 4, {{8, 4}, {4, 2}, {2, 1}, {1, 1}}},
      {5, 3, {{5, 3}, {2, 1}, {1, 1}}},
      {16, 1, {{16, 1}, {8, 1}, {4, 1}, {2, 1}, {1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    const auto texture = Texture::FromImage(test::Gradient(c.width, c.height));
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->width(), c.width);
    EXPECT_EQ(texture->height(), c.height);
    std::vector<std::pair<int, int>> sizes;
    for (const Image& level : texture->levels()) {
      sizes.emplace_back(level.width, level.height);
      EXPECT_TRUE(level.valid());
    }
    EXPECT_EQ(sizes, c.levels);
  }
  EXPECT_EQ(Texture::FromImage(Image{}), nullptr);
}

TEST(TextureTest, EachLevelIsTheBoxMeanOfTheOneAbove) {
  // 2 x 2 -> 1: (10 + 20 + 30 + 41) / 4 = 25.25 -> 25; alpha (255 * 3 + 0) / 4 = 191.25 -> 191.
  const Image quad = test::MakeImage(2, 2, {0x0A0A0AFF, 0x141414FF, 0x1E1E1EFF, 0x29292900});
  const auto texture = Texture::FromImage(quad);
  ASSERT_EQ(texture->levels().size(), 2u);
  EXPECT_EQ(FirstDifference(texture->levels()[1], test::MakeImage(1, 1, {0x191919BF})), "");

  // Odd sides lose no texel: the third pixel of 3 x 1 counts for a third.
  const auto odd = Texture::FromImage(test::MakeImage(3, 1, {0, 0, 0xFFFFFFFF}));
  EXPECT_EQ(FirstDifference(odd->levels()[1], test::MakeImage(1, 1, {0x55555555})), "");

  // The mean brightness survives every level of a large image.
  const auto big = Texture::FromImage(test::Gradient(256, 128));
  auto mean = [](const Image& image) {
    double sum = 0;
    for (size_t i = 0; i < image.rgba.size(); i += 4) sum += image.rgba[i];
    return sum / (image.rgba.size() / 4);
  };
  const double top = mean(big->levels().front());
  for (const Image& level : big->levels()) EXPECT_NEAR(mean(level), top, 1.0);
}

}  // namespace
}  // namespace vorna
