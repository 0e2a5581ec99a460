// What file managers and scripts use: batch conversion and the installed desktop files. What the
// thumbnailer and the animated previews write, and what they refuse, are vorna-cli cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
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
