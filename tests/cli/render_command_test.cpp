// vorna-cli render, run as a program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_run.h"
#include "images/decode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";

int Render(const std::string& args) { return test::Cli("render " + args).status; }

TEST(RenderCommandTest, OptionsChangeThePictureAndExtensionsTheFormat) {
  test::TempDir dir;
  const std::string out = dir.File("front.png");
  ASSERT_EQ(Render(kSample + " " + out), 0);
  Image image;
  ASSERT_TRUE(DecodeImageFile(out, &image));
  EXPECT_EQ(image.width, 760);
  EXPECT_EQ(image.height, 480);

  const std::vector<std::string> options = {
      "",
      "--view back --motion 2",
      "--view top --fill wireframe",
      "--view left --fill points",
      "--view right --ground --semi-transparent",
      "--view bottom --perspective --motion 5 --texture",
  };
  std::vector<std::string> pictures;
  for (const std::string& o : options) {
    const std::string path = dir.File(std::to_string(pictures.size()) + ".png");
    ASSERT_EQ(Render(kSample + " " + path + " --size 96x64 " + o), 0) << o;
    ASSERT_TRUE(DecodeImageFile(path, &image)) << o;
    EXPECT_EQ(image.width, 96);
    for (const std::string& other : pictures) EXPECT_NE(other, test::ReadFile(path)) << o;
    pictures.push_back(test::ReadFile(path));
  }

  const std::pair<std::string, std::string> formats[] = {
      {"a.bmp", "BM"}, {"a.jpg", "\xFF\xD8"}, {"a.gif", "GIF8"}, {"a.TIF", "II*"}};
  for (const auto& [name, magic] : formats) {
    ASSERT_EQ(Render(kSample + " " + dir.File(name) + " --size 40x30"), 0) << name;
    EXPECT_EQ(test::ReadFile(dir.File(name)).substr(0, magic.size()), magic) << name;
  }
  ASSERT_EQ(Render(kSample + " " + out + " --thumbnail --motion 3"), 0);
  ASSERT_TRUE(DecodeImageFile(out, &image));
  EXPECT_EQ(image.width, 32);
  EXPECT_EQ(image.height, 32);
}

TEST(RenderCommandTest, RefusesBadArgumentsAndFailedLoads) {
  test::TempDir dir;
  const std::string in_out = kSample + " " + dir.File("out.png") + " ";
  const std::pair<std::string, int> cases[] = {
      {kSample, 2},
      {kSample + " " + dir.File("out.webp"), 2},
      {in_out + "--view sideways", 2},
      {in_out + "--size 0x10", 2},
      {in_out + "--size 100", 2},
      {in_out + "--size 20000x10", 2},
      {in_out + "--fill dots", 2},
      {in_out + "--motion 0", 2},
      {in_out + "--motion", 2},
      {in_out + "--bogus", 2},
      {in_out + "--motion 6", 1},
      {dir.File("missing.vrn") + " " + dir.File("out.png"), 1},
      {kSample + " " + dir.File("no/such/dir.png"), 1},
      {"--help", 0},
  };
  for (const auto& [args, status] : cases) EXPECT_EQ(Render(args), status) << args;
}

}  // namespace
}  // namespace vorna
