#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_run.h"
#include "formats/model_file_fixtures.h"
#include "formats/vrn_text.h"
#include "model/bounds.h"
#include "support/test_support.h"

namespace vorna {
namespace {

const std::string kSample = std::string(VORNA_SOURCE_DIR) + "/samples/walker.vrn";

using test::Cli;
using test::CliRun;

// Exit status of `vorna-cli convert ARGS`.
int Convert(const std::string& args) { return Cli("convert " + args).status; }

// The writers are pinned by the formats tests; here each choice of format reaches its writer.
TEST(CliTest, ConvertWritesEveryVariantAndReproducesTheSample) {
  test::TempDir dir;
  ASSERT_EQ(Convert(kSample + " " + dir.File("copy.vrn")), 0);
  EXPECT_EQ(test::ReadFile(dir.File("copy.vrn")), test::ReadFile(kSample));
  ASSERT_EQ(Convert(kSample + " " + dir.File("b.vrn") + " --format vrn-binary"), 0);
  EXPECT_EQ(test::ReadFile(dir.File("b.vrn")).substr(0, 4), std::string("VRN\0", 4));
  ASSERT_EQ(Convert(dir.File("b.vrn") + " " + dir.File("t.vrn")), 0);
  EXPECT_EQ(test::ReadFile(dir.File("t.vrn")), test::ReadFile(kSample));
  ASSERT_EQ(Convert(kSample + " " + dir.File("t.vr2")), 0);
  EXPECT_NE(test::ReadFile(dir.File("t.vr2")), test::ReadFile(kSample));  // corner coordinates
  ASSERT_EQ(Convert(kSample + " " + dir.File("b.vr2") + " --format vr2-binary"), 0);
  EXPECT_EQ(test::ReadFile(dir.File("b.vr2")).substr(0, 4), std::string("VR2\0", 4));
  // The save options reach the binary writer too.
  ASSERT_EQ(Convert(kSample + " " + dir.File("bare.vrn") +
                    " --format vrn-binary --no-skin --no-translation --no-scale --no-anim"),
            0);
  EXPECT_EQ(test::ReadFile(dir.File("bare.vrn")).find("anim_data"), std::string::npos);
}

TEST(CliTest, ConvertFitsOnRequestAndReportsMissingTextures) {
  test::TempDir dir;
  // A model 6 units wide that names a texture file that is not there.
  auto model = test::TwoPartModel();
  RecomputeBounds(*model);
  ScriptedHost host;
  ASSERT_TRUE(WriteVrnText(*model, dir.File("big.vrn"), SaveOptions{}, host));
  struct Case {
    const char* flag;
    float width;
  };
  for (const Case& c : {Case{"", 6.0f}, Case{"--no-fit", 6.0f}, Case{"--fit", 1.2f}}) {
    SCOPED_TRACE(c.flag);
    const std::string out = dir.File("out.vrn");
    const CliRun run = Cli("convert " + dir.File("big.vrn") + " " + out + " " + c.flag, true);
    ASSERT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("skin.png"), std::string::npos) << run.out;
    auto copy = test::NewModel();
    ASSERT_TRUE(ReadVrnText(*copy, out, host, ReadOptions{false}));
    EXPECT_NEAR(copy->total_corner_max.x - copy->total_corner_min.x, c.width, 1e-5f);
  }
}

TEST(CliTest, InfoDescribesTheModel) {
  const CliRun json = Cli("info --json " + kSample);
  ASSERT_EQ(json.status, 0);
  // Read as a JSON reader reads it: a missing bracket or comma fails here.
  const nlohmann::json info = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_FALSE(info.is_discarded()) << json.out;
  EXPECT_EQ(info["loaded_type"], 1);
  EXPECT_EQ(info["parts"].size(), 7u);
  EXPECT_EQ(info["units"].size(), 7u);
  EXPECT_EQ(info["units"][1]["parent"], "hips");
  EXPECT_EQ(info["motion_count"], 5);
  EXPECT_EQ(
      info["anims"][0],
      (nlohmann::json{{"first_motion", 0}, {"last_motion", 3}, {"loop", true}, {"name", "walk"}}));
  EXPECT_EQ(info["all_triangles"], false);
  EXPECT_EQ(info["save_order"].size(), 7u);
  const CliRun text = Cli("info " + kSample);
  ASSERT_EQ(text.status, 0);
  EXPECT_NE(text.out.find("[unit] hips"), std::string::npos);
}

TEST(CliTest, ExitStatusSeparatesUsageFromFailure) {
  EXPECT_EQ(Cli("").status, 2);
  EXPECT_EQ(Cli("frobnicate").status, 2);
  EXPECT_EQ(Cli("info").status, 2);
  EXPECT_EQ(Cli("convert " + kSample).status, 2);
  EXPECT_EQ(Cli("convert " + kSample + " out.unknown").status, 2);
  EXPECT_EQ(Cli("convert --format nope " + kSample + " out.vrn").status, 2);
  EXPECT_EQ(Cli("info /nonexistent/model.vrn").status, 1);
  EXPECT_EQ(Cli("info --help").status, 0);
  EXPECT_EQ(Cli("convert --help").status, 0);
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

TEST(CliTest, ConvertWritesAndReadsDxfAndReadsTextPolygonFiles) {
  test::TempDir dir;
  ASSERT_EQ(Convert(kSample + " " + dir.File("walker.dxf")), 0);
  const std::string dxf = test::ReadFile(dir.File("walker.dxf"));
  EXPECT_EQ(dxf.rfind("0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\n3DFACE\r\n", 0), 0u);
  ASSERT_EQ(Convert("--format dxf " + dir.File("walker.dxf") + " " + dir.File("again.out")), 0);
  EXPECT_EQ(test::ReadFile(dir.File("again.out")), dxf);
  test::WriteFile(dir.File("mesh.txt"),
                  "<polygon_mesh>\n<vertex>\n<position vec3=\"1 2 3\"/>\n</vertex>\n<face>\n"
                  "<vertex_number int=\"0\"/>\n<vertex_number int=\"0\"/>\n"
                  "<vertex_number int=\"0\"/>\n</face>\n</polygon_mesh>\n");
  ASSERT_EQ(Convert(dir.File("mesh.txt") + " " + dir.File("mesh.dxf")), 0);
  EXPECT_NE(test::ReadFile(dir.File("mesh.dxf")).find("8\r\nno_name\r\n10\r\n-1.000000\r\n"),
            std::string::npos);
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

}  // namespace
}  // namespace vorna
