// The committed samples are exactly what their generator writes, and the character's picture in
// the README is what `vorna-cli render` draws of it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "cli/cli_run.h"
#include "formats/tagged_text.h"
#include "images/decode.h"
#include "samples/generator/character_model.h"
#include "samples/generator/walker_model.h"
#include "support/test_support.h"

namespace vorna {
namespace {

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
