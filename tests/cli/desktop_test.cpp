// What file managers and scripts use: the thumbnailer, batch conversion, animated previews and
// the installed desktop files; their refusals are vorna-cli cases.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "cli/cli_run.h"
#include "images/decode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::Cli;

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

size_t Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

TEST(ThumbnailTest, IsATransparentRgbaSquareWithTheModelInTheMiddle) {
  test::TempDir dir;
  for (const int side : {256, 48}) {
    const std::string out = dir.File(std::to_string(side) + ".png");
    const std::string size = side == 256 ? "" : "--size 48 ";
    ASSERT_EQ(Cli("thumbnail " + size + kSample + " " + out, true).out, "");
    Image image;
    ASSERT_TRUE(DecodeImageFile(out, &image));
    EXPECT_EQ(image.width, side);
    EXPECT_EQ(image.height, side);
    EXPECT_EQ(image.Pixel(0, 0)[3], 0);
    EXPECT_EQ(image.Pixel(side - 1, side - 1)[3], 0);
    EXPECT_EQ(image.Pixel(side / 2, side / 2)[3], 255);
    // The model spans the height of the square, less a small margin.
    int top = side, bottom = -1;
    for (int y = 0; y < side; ++y) {
      for (int x = 0; x < side; ++x) {
        if (image.Pixel(x, y)[3] != 0) {
          top = std::min(top, y);
          bottom = y;
        }
      }
    }
    EXPECT_LE(top, side / 10);
    EXPECT_GE(bottom, side - 1 - side / 10);
    EXPECT_GT(top, 0);
  }
}

TEST(BatchConvertTest, CarriesOnAfterAFailure) {
  test::TempDir dir;
  std::filesystem::copy_file(kSample, dir.File("a.vrn"));
  std::filesystem::copy_file(kSample, dir.File("c.vrn"));
  test::WriteFile(dir.File("b.vrn"), "not a model");
  const std::string out_dir = dir.File("out");

  const std::string inputs = dir.File("a.vrn") + " " + dir.File("b.vrn") + " " +
                             dir.File("missing.vrn") + " " + dir.File("c.vrn");
  for (const char* jobs : {"1", "3"}) {
    std::filesystem::remove_all(out_dir);
    const test::CliRun run = Cli(
        "convert --to vr2-binary --out-dir " + out_dir + " --jobs " + jobs + " --no-anim " + inputs,
        true);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Lines(run.out), 2u) << run.out;
    EXPECT_NE(run.out.find(dir.File("b.vrn") + ": "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(dir.File("missing.vrn") + ": "), std::string::npos) << run.out;
    for (const char* name : {"a.vr2", "c.vr2"}) {
      EXPECT_EQ(test::ReadFile(out_dir + "/" + name).substr(0, 4), std::string("VR2\0", 4));
    }
    EXPECT_FALSE(Exists(out_dir + "/b.vr2"));
  }
  // Every file converted: exit 0, and the options reached each conversion.
  const test::CliRun run = Cli("convert --to vrn --out-dir " + out_dir + " --no-anim " +
                                   dir.File("a.vrn") + " " + dir.File("c.vrn"),
                               true);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, "");  // no progress lines where stderr is not a terminal
  EXPECT_EQ(test::ReadFile(out_dir + "/c.vrn").find("<anim_data>"), std::string::npos);
}

// The frames, their delays and whether the animation loops, as giflib reads them.
struct GifFacts {
  int frames = 0;
  std::set<int> delays;
  bool loops = false;
  int width = 0;
  int largest_update = 0;  // in pixels, of the frames after the first
};

GifFacts ReadGif(const std::string& path) {
  GifFacts facts;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) return facts;
  if (DGifSlurp(gif) == GIF_OK) {
    facts.frames = gif->ImageCount;
    facts.width = gif->SWidth;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock control;
      if (DGifSavedExtensionToGCB(gif, i, &control) == GIF_OK)
        facts.delays.insert(control.DelayTime);
      const SavedImage& image = gif->SavedImages[i];
      if (i > 0) {
        facts.largest_update =
            std::max(facts.largest_update, image.ImageDesc.Width * image.ImageDesc.Height);
      }
      for (int e = 0; e + 1 < image.ExtensionBlockCount; ++e) {
        const ExtensionBlock& block = image.ExtensionBlocks[e];
        if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
            std::string(reinterpret_cast<char*>(block.Bytes), 11) == "NETSCAPE2.0") {
          const ExtensionBlock& data = image.ExtensionBlocks[e + 1];
          facts.loops =
              data.ByteCount == 3 && data.Bytes[0] == 1 && data.Bytes[1] == 0 && data.Bytes[2] == 0;
        }
      }
    }
  }
  DGifCloseFile(gif, &error);
  return facts;
}

TEST(AnimatedRenderTest, WritesLoopingGifsAndPngsOfAnimsAndTurntables) {
  test::TempDir dir;
  struct Case {
    std::string args;
    int frames;
    int delay;
  };
  // The sample's Anims: "walk" Motions 1 to 4, "wave" Motion 5 alone.
  const Case cases[] = {
      {"--anim walk", 4, 10},
      {"--anim 2 --period 250", 1, 25},
      {"--turntable --period 40 --fill wireframe", 36, 4},
  };
  for (const Case& c : cases) {
    const std::string out = dir.File("anim.gif");
    ASSERT_EQ(Cli("render " + kSample + " " + out + " --size 80x60 " + c.args).status, 0) << c.args;
    const GifFacts facts = ReadGif(out);
    EXPECT_EQ(facts.frames, c.frames) << c.args;
    EXPECT_EQ(facts.delays, std::set<int>{c.delay}) << c.args;
    EXPECT_TRUE(facts.loops) << c.args;
    EXPECT_EQ(facts.width, 80);
    if (c.frames > 1) {
      EXPECT_GT(facts.largest_update, 1) << c.args;  // the pose moves
    }
  }

  // The animated PNG: its control chunks, and its first frame for viewers that know no more.
  const std::string apng = dir.File("walk.png");
  ASSERT_EQ(Cli("render " + kSample + " " + apng + " --size 80x60 --anim walk --period 50").status,
            0);
  const std::string bytes = test::ReadFile(apng);
  auto chunk = [&bytes](const char* type, size_t n) {
    size_t at = 0;
    for (size_t k = 0; k <= n && at != std::string::npos; ++k) at = bytes.find(type, at + 1);
    return at == std::string::npos ? std::string() : bytes.substr(at + 4, 26);
  };
  EXPECT_EQ(chunk("acTL", 0).substr(0, 8), std::string("\0\0\0\4\0\0\0\0", 8));
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(chunk("fcTL", k).substr(20, 4), std::string("\0\5\0\x64", 4)) << k;
  }
  EXPECT_EQ(chunk("fcTL", 4), "");
  EXPECT_NE(chunk("fdAT", 2), "");
  EXPECT_EQ(chunk("fdAT", 3), "");
  Image first;
  ASSERT_TRUE(DecodeImageFile(apng, &first));
  EXPECT_EQ(first.width, 80);
}

// What the desktop component installs lets a file manager know our types and draw their
// thumbnails with the installed command line.
TEST(InstalledFilesTest, DeclareTheModelTypesAndTheThumbnailer) {
  test::TempDir dir;
  const std::string prefix = dir.File("prefix"), share = prefix + "/share/";
  ASSERT_EQ(std::system(("\"" VORNA_CMAKE_COMMAND "\" --install \"" VORNA_BINARY_DIR
                         "\" --component desktop --prefix " +
                         prefix + " >/dev/null")
                            .c_str()),
            0);
  const std::string xml = test::ReadFile(share + "mime/packages/vorna.xml");
  for (const char* glob : {"*.vrn", "*.vr2", "*.x"}) {
    EXPECT_NE(xml.find("<glob pattern=\"" + std::string(glob) + "\"/>"), std::string::npos) << glob;
  }
  EXPECT_TRUE(Exists(share + "icons/hicolor/scalable/apps/vorna.svg"));
  std::string exec = test::ReadFile(share + "thumbnailers/vorna.thumbnailer");
  exec = exec.substr(exec.find("\nExec=") + 6);
  exec = exec.substr(0, exec.find('\n'));
  ASSERT_EQ(exec, "vorna-cli thumbnail --size %s %i %o");
  exec.replace(exec.find("%s"), 2, "64").replace(exec.find("%i"), 2, kSample);
  exec.replace(exec.find("%o"), 2, dir.File("thumb.png"));
  ASSERT_EQ(std::system(("PATH=" + prefix + "/bin " + exec).c_str()), 0);
  Image image;
  ASSERT_TRUE(DecodeImageFile(dir.File("thumb.png"), &image));
  EXPECT_EQ(image.width, 64);
}

}  // namespace
}  // namespace vorna
