#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>

#include "cli/cli_run.h"
#include "formats/tagged_text.h"
#include "images/decode.h"
#include "samples/generator/character_model.h"
#include "samples/generator/walker_model.h"
#include "support/test_support.h"

namespace vorna {
namespace {

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";

using test::Cli;
using test::CliRun;

TEST(CliTest, ExitStatusSeparatesUsageFromFailure) {
  test::TempDir dir;
  const std::string render = "render " + kSample + " " + dir.File("out.png") + " ";
  const std::string gif = "render " + kSample + " " + dir.File("x.gif") + " ";
  const std::pair<std::string, int> cases[] = {
      {"", 2},
      {"frobnicate", 2},
      {"info", 2},
      {"convert " + kSample, 2},
      {"convert " + kSample + " out.unknown", 2},
      {"convert --format nope " + kSample + " out.vrn", 2},
      {"render " + kSample, 2},
      {"render " + kSample + " " + dir.File("out.webp"), 2},
      {render + "--view sideways", 2},
      {render + "--size 0x10", 2},
      {render + "--size 1x3", 0},
      {render + "--size 100", 2},
      {render + "--size 20000x10", 2},
      {render + "--fill dots", 2},
      {render + "--motion 0", 2},
      {render + "--motion", 2},
      {render + "--bogus", 2},
      {render + "--motion 6", 1},
      {gif + "--anim nosuch", 1},  // animations: refused options write nothing
      {gif + "--anim walk --turntable", 2},
      {gif + "--anim walk --motion 2", 2},
      {gif + "--turntable --view top", 2},
      {gif + "--period 100", 2},
      {gif + "--anim walk --period 5", 2},
      {"render " + kSample + " " + dir.File("x.bmp") + " --turntable", 2},
      {"render " + dir.File("missing.vrn") + " " + dir.File("out.png"), 1},
      {"render " + kSample + " " + dir.File("no/such/dir.png"), 1},
      {"info /nonexistent/model.vrn", 1},
      {"convert " + kSample + " " + dir.File("k.vrn") + " --keyframes 1:9:2", 1},
      {"convert " + kSample + " " + dir.File("k.vrn") + " --keyframes 1:2", 2},
      {"convert " + kSample + " " + dir.File("k.vrn") + " --keyframes 0:2:1", 2},
      {"convert " + kSample + " " + dir.File("k.vrn") + " --keyframes 1:2:1:sideways", 2},
      {"convert " + kSample + " " + dir.File("k.vrn") + " --keyframes a:b:c", 2},
      {"convert " + kSample + " " + dir.File("k.glb") + " --gltf-key-interval", 2},
  };
  for (const auto& [args, status] : cases) EXPECT_EQ(Cli(args).status, status) << args;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.gif")));
  // A failed conversion says which file on standard error.
  const test::CliRun failed =
      Cli("convert " + dir.File("missing.vrn") + " " + dir.File("out.vrn"), true);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find(dir.File("missing.vrn")), std::string::npos) << failed.out;
}

// What each command line of cli/cases.txt writes, byte for byte against cli/cases/. A line
// names the file, then the arguments, run in the source tree. $OUT is the file, in one folder
// for all lines ($DIR), so that a later line can read an earlier line's output; a line without
// $OUT writes the file to standard output.
TEST(CliTest, EveryCaseWritesItsReference) {
  test::TempDir dir;
  std::istringstream cases(test::ReadFile(std::string(VORNA_TEST_DATA_DIR) + "/cli/cases.txt"));
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(VORNA_SOURCE_DIR);
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string name = line.substr(0, line.find(' '));
    std::string args = line.substr(name.size());
    const bool to_file = args.find("$OUT") != std::string::npos;
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"$OUT", dir.File(name)}, {"$DIR/", dir.path()}}) {
      for (size_t at; (at = args.find(from)) != std::string::npos;) {
        args.replace(at, from.size(), to);
      }
    }
    const CliRun run = Cli(args);
    EXPECT_EQ(run.status, 0) << line;
    const std::string out = to_file ? test::ReadFile(dir.File(name)) : run.out;
    EXPECT_EQ(test::ReferenceFileDifference(out, "cli/cases/" + name), "") << line;
    if (name.ends_with(".gltf")) {  // and the buffer file beside it
      const std::string bin = name.substr(0, name.size() - 4) + "bin";
      EXPECT_EQ(test::ReferenceFileDifference(test::ReadFile(dir.File(bin)), "cli/cases/" + bin),
                "");
    }
  }
  std::filesystem::current_path(cwd);
}

// The committed samples are exactly what their generator writes, and the character's picture in
// the README is what `vorna-cli render` draws of it.
const std::string kSamples = std::string(VORNA_SOURCE_DIR) + "/samples/";

// How the README's picture is made; the README shows the same command.
const std::string kPictureOptions = "--texture --ground --motion 19 --size 640x480";

TEST(SampleTest, TheSamplesAreWhatTheGeneratorWrites) {
  const struct {
    const char* file;
    void (*build)(Model&);
  } samples[] = {{"walker.vrn", BuildWalkerModel}, {"character.vrn", BuildCharacterModel}};
  for (const auto& sample : samples) {
    auto model = std::make_unique<Model>();
    sample.build(*model);
    EXPECT_EQ(FormatTaggedText(*model, SaveOptions{}, TextVariant::kVrn),
              test::ReadFile(kSamples + sample.file))
        << "regenerate samples/" << sample.file << " with vorna-make-sample";
  }
  // The texture is compared by its pixels: another zlib may pack the same image differently.
  Image committed;
  ASSERT_TRUE(DecodeImageFile(kSamples + kCharacterTextureFile, &committed));
  const Image painted = PaintCharacterTexture();
  ASSERT_EQ(committed.width, painted.width);
  ASSERT_EQ(committed.height, painted.height);
  EXPECT_TRUE(committed.rgba == painted.rgba) << "regenerate the texture with vorna-make-sample";
}

TEST(SampleTest, TheReadmePictureIsWhatRenderDraws) {
  test::TempDir dir;
  const std::string out = dir.File("picture.png");
  ASSERT_EQ(test::Cli("render " + kSamples + "character.vrn " + out + " " + kPictureOptions).status,
            0);
  Image drawn, committed;
  ASSERT_TRUE(DecodeImageFile(out, &drawn));
  ASSERT_TRUE(DecodeImageFile(kSamples + "character_render.png", &committed));
  ASSERT_EQ(drawn.width, committed.width);
  ASSERT_EQ(drawn.height, committed.height);
  int differing = 0;
  for (size_t i = 0; i < drawn.rgba.size(); ++i) differing += drawn.rgba[i] != committed.rgba[i];
  EXPECT_EQ(differing, 0) << "render it again: vorna-cli render samples/character.vrn "
                             "samples/character_render.png "
                          << kPictureOptions;
}

}  // namespace
}  // namespace vorna
