#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
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

// The whole report on the walker as text and as JSON, checked by hand; the JSON must parse.
TEST(CliTest, InfoDescribesTheModel) {
  for (const auto& [options, reference] :
       {std::pair{"", "cli/walker_info.txt"}, std::pair{"--json ", "cli/walker_info.json"}}) {
    const CliRun run = Cli(std::string("info ") + options + kSample);
    ASSERT_EQ(run.status, 0);
    std::string out = run.out;
    if (const size_t at = out.find(kSample); at != std::string::npos) {
      out.replace(at, kSample.size(), "walker.vrn");  // the path as given, which varies
    }
    EXPECT_EQ(test::ReferenceFileDifference(out, reference), "");
    if (*options != '\0') {
      EXPECT_FALSE(nlohmann::json::parse(out, nullptr, false).is_discarded());
    }
  }
}

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
      {"info --help", 0},
      {"convert --help", 0},
      {"render --help", 0},
  };
  for (const auto& [args, status] : cases) EXPECT_EQ(Cli(args).status, status) << args;
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.gif")));
  // The help names the format each extension of OUT picks.
  EXPECT_NE(Cli("convert --help").out.find("(.vrn: VRN text, .vr2: VR2 text, .dxf"),
            std::string::npos);
  // A failed conversion says which file on standard error.
  const test::CliRun failed =
      Cli("convert " + dir.File("missing.vrn") + " " + dir.File("out.vrn"), true);
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.out.find(dir.File("missing.vrn")), std::string::npos) << failed.out;
}

// The .x options are held to the save dialog's limits: no key time overflows.
TEST(CliTest, XTimingOptionsAreLimited) {
  test::TempDir dir;
  ASSERT_EQ(
      Cli("convert " + kSample + " " + dir.File("a.x") + " --x-ticks 4800001 --x-interval 5000")
          .status,
      0);
  const std::string x = test::ReadFile(dir.File("a.x"));
  EXPECT_NE(x.find("AnimTicksPerSecond {\n 4800000;"), std::string::npos);
  EXPECT_NE(x.find(" 1000;4;"), std::string::npos);  // the second key, one clamped interval on
}

TEST(CliTest, ConvertEditsTheModelBeforeWriting) {
  test::TempDir dir;
  const std::string out = dir.File("edited.vrn");
  ASSERT_EQ(Cli("convert " + kSample + " " + out +
                " --triangulate --recompute-normals --fit --flip-culling --keyframes 1:4:2:loop")
                .status,
            0);
  const CliRun info = Cli("info --json " + out);
  for (const char* key : {"\"all_triangles\":true", "\"motion_count\":13"}) {
    EXPECT_NE(info.out.find(key), std::string::npos) << key;
  }
  // --fit answers the question a load asks of a large model only: the sample keeps its size.
  const auto model_size = [](const std::string& json) {
    const size_t at = json.find("\"model_size\":");
    return at == std::string::npos ? std::string() : json.substr(at, json.find(',', at) - at);
  };
  EXPECT_NE(model_size(info.out), "");
  EXPECT_EQ(model_size(info.out), model_size(Cli("info --json " + kSample).out));
  EXPECT_EQ(Cli("convert " + kSample + " " + out + " --keyframes 1:9:2").status, 1);
  for (const char* bad : {"1:2", "0:2:1", "1:2:1:sideways", "a:b:c"}) {
    EXPECT_EQ(Cli("convert " + kSample + " " + out + " --keyframes " + bad).status, 2) << bad;
  }
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
