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

using test::Cli;

// What each command line of cli/cases.txt writes, byte for byte against cli/cases/. A line
// names the file, then the arguments, run in the source tree. $OUT is the file, in one folder
// for all lines ($DIR), so that a later line can read an earlier line's output; a line without
// $OUT writes the file to standard output. A name ending in .err is a refusal: the file holds
// the exit status and standard error, and $OUT (the name without .err) must not be written. What
// a command prints names the folder as $DIR.
TEST(CliTest, EveryCaseWritesItsReference) {
  test::TempDir dir;
  std::istringstream cases(test::ReadFile(std::string(VORNA_TEST_DATA_DIR) + "/cli/cases.txt"));
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(VORNA_SOURCE_DIR);
  for (std::string line; std::getline(cases, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::string name = line.substr(0, line.find(' '));
    const bool refused = name.ends_with(".err");
    const std::string target = dir.File(refused ? name.substr(0, name.size() - 4) : name);
    std::string args = line.substr(name.size());
    const bool to_file = args.find("$OUT") != std::string::npos;
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"$OUT", target}, {"$DIR/", dir.path()}}) {
      for (size_t at; (at = args.find(from)) != std::string::npos;) {
        args.replace(at, from.size(), to);
      }
    }
    const test::CliRun run = Cli(args, refused);
    std::string out = to_file && !refused ? test::ReadFile(target) : run.out;
    if (!to_file || refused) {
      for (size_t at; (at = out.find(dir.path())) != std::string::npos;) {
        out.replace(at, dir.path().size(), "$DIR/");
      }
    }
    if (refused) {
      out = "exit " + std::to_string(run.status) + "\n" + out;
      EXPECT_FALSE(std::filesystem::exists(target)) << line;
    } else {
      EXPECT_EQ(run.status, 0) << line;
    }
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
