// The committed samples are exactly what their generator writes, and the character's picture in
// the README is what `vorna-cli render` draws of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "animation/pose.h"
#include "cli/cli_run.h"
#include "editor/open_flow.h"
#include "formats/tagged_text.h"
#include "images/decode.h"
#include "model/host.h"
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

TEST(SampleTest, TheCharacterOpensWithItsTextureAndAnims) {
  auto model = std::make_unique<Model>();
  Reset(*model);
  ScriptedHost host;
  ASSERT_TRUE(Load(*model, kSamples + "character.vrn", host).ok);
  EXPECT_TRUE(host.entries.empty()) << host.Texts().front();
  for (int p = 0; p < model->parts_count; ++p) EXPECT_NE(model->parts[p].texture, nullptr) << p;
  EXPECT_EQ(model->anim_count, 3);
}

// Where two Parts meet at a shared ring (waist, elbows, knees), the ring must stay closed in
// every Motion: a blend weight short of 1 on the child's side opens a crack there.
TEST(SampleTest, TheCharacterHasNoCracksInAnyMotion) {
  auto model = std::make_unique<Model>();
  BuildCharacterModel(*model);
  int shared = 0;
  for (int m = 0; m < model->motion_count; ++m) {
    EvaluatePose(*model, m);
    std::map<std::tuple<float, float, float>, std::pair<int, Vec3>> first_at;
    for (int p = 0; p < model->parts_count; ++p) {
      const Part& part = model->parts[p];
      const int owner = model->UnitOfNode(model->parent[p]);
      for (uint32_t v = part.first_vertex; v < model->parts[p + 1].first_vertex; ++v) {
        const Vec3 rest = model->positions[v];
        const float b = model->blend[v];
        const Vec3 posed = TransformCoord(rest, model->units[owner].pose_matrix) * b +
                           TransformCoord(rest, part.pose_matrix) * (1.0f - b);
        const auto [it, added] = first_at.try_emplace({rest.x, rest.y, rest.z}, p, posed);
        if (added || it->second.first == p) continue;
        shared += m == 0;
        ASSERT_LT(Length(posed - it->second.second), 1e-6f)
            << "Motion " << m + 1 << ", Parts " << it->second.first << " and " << p;
      }
    }
  }
  EXPECT_GT(shared, 5 * 16) << "the shared rings are gone";
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
