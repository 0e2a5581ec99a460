#include "formats/open_save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/dxf.h"
#include "formats/format_common.h"
#include "formats/model_file_fixtures.h"
#include "formats/tagged_text.h"
#include "formats/vr2_binary.h"
#include "formats/vr2_text.h"
#include "formats/vrn_binary.h"
#include "formats/vrn_text.h"
#include "model/bounds.h"
#include "support/test_support.h"

namespace vorna {
namespace {

constexpr const char* kVr2Notice = "VR2ファイルはVRNファイル形式で読み込まれます";
constexpr const char* kFitQuestion = "モデルをウィンドウサイズに変更しますか？";

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(LoadTest, ExtensionPicksTheReadersAndTheFallback) {
  test::TempDir dir;
  auto model = test::TwoPartModel();
  model->parts[0].texture_file.clear();  // no missing-texture message here
  const std::string text = FormatTaggedText(*model, {}, TextVariant::kVrn);
  const std::string vrn_binary = FormatKeyedBinary(*model, {}, BinaryVariant::kVrn);
  const std::string vr2_text = FormatTaggedText(*model, {}, TextVariant::kVr2);
  const std::string vr2_binary = FormatKeyedBinary(*model, {}, BinaryVariant::kVr2);
  auto small = test::TwoPartModel();  // DXF bounds come from the positions: stay below the fit
  for (Vec3& position : small->positions) position = position * 0.1f;
  const std::string dxf = FormatDxf(*small);
  const std::string polygon =
      "<polygon_mesh>\n<string string=\"Q\"/>\n<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n"
      "<face>\n<vertex_number int=\"0\"/>\n<vertex_number int=\"0\"/>\n"
      "<vertex_number int=\"0\"/>\n</face>\n</polygon_mesh>\n";
  struct Case {
    const char* name;
    const std::string* bytes;  // nullptr: no file
    int32_t loaded_type;       // kLoadedNone: the load fails
    bool untouched = false;    // refused before any reader ran: the Model is as it was
  };
  const Case cases[] = {
      {"text.vrn", &text, kLoadedVrnText},
      {"UPPER.VRN", &text, kLoadedVrnText},
      {"binary.vrn", &vrn_binary, kLoadedVrnBinary},
      {"text.vr2", &vr2_text, kLoadedVr2Text},
      {"binary.Vr2", &vr2_binary, kLoadedVr2Binary},
      {"vrn_binary_named.vr2", &vrn_binary, kLoadedNone},
      {"vr2_binary_named.vrn", &vr2_binary, kLoadedNone},
      {"shape.DXF", &dxf, kLoadedDxf},
      {"mesh.txt", &polygon, kLoadedTextPolygon},
      {"no_extension", &text, kLoadedNone, true},
      {"unknown.vrm", &text, kLoadedNone, true},
      {"vrn_named.txt", &text, kLoadedNone},
      {"not_yet.x", &text, kLoadedNone},
      {"missing.vrn", nullptr, kLoadedNone, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes != nullptr) test::WriteFile(dir.File(c.name), *c.bytes);
    auto loaded = test::NewModel();
    loaded->node_name[0] = "before";
    ScriptedHost host;
    const LoadResult result = Load(*loaded, dir.File(c.name), host, {false});
    EXPECT_EQ(result.ok, c.loaded_type != kLoadedNone) << result.error;
    EXPECT_EQ(loaded->loaded_type, c.loaded_type);
    EXPECT_EQ(result.loaded_type, c.loaded_type);
    const bool vr2 = c.loaded_type == kLoadedVr2Text || c.loaded_type == kLoadedVr2Binary;
    EXPECT_EQ(host.Texts(),
              vr2 ? std::vector<std::string>{kVr2Notice} : std::vector<std::string>{});
    EXPECT_EQ(host.wait_depth, 0);
    if (result.ok) {
      EXPECT_EQ(loaded->node_name[0], "Q");
      EXPECT_EQ(loaded->model_file_name, c.name);
      EXPECT_EQ(loaded->model_dir, dir.path());
      EXPECT_EQ(loaded->all_triangles, c.loaded_type == kLoadedTextPolygon ? 1 : 0);
    }
    EXPECT_EQ(loaded->node_name[0] == "before", c.untouched);
  }
}

// The two-Part model with its box `extent` wide in x (from -extent / 2) and 1 in y and z.
std::string BoxModelFile(float extent) {
  auto model = test::TwoPartModel();
  for (int v = 0; v < 7; ++v) {
    const float x = v == 0 ? -extent / 2 : (v == 6 ? extent / 2 : 0.0f);
    model->positions[v] = {x, 0.5f + static_cast<float>(v % 2), -0.5f + static_cast<float>(v % 2)};
  }
  RecomputeBounds(*model);
  return FormatKeyedBinary(*model, {}, BinaryVariant::kVrn);
}

TEST(LoadTest, LargeModelsAreOfferedTheFit) {
  test::TempDir dir;
  struct Case {
    float extent;
    Answer answer;
    bool offered;
  };
  const Case cases[] = {
      {2.04f, Answer::kYes, false},  // size 1.7 exactly: not above the threshold
      {2.05f, Answer::kNo, true},
      {2.05f, Answer::kYes, true},
      {12.0f, Answer::kYes, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extent);
    const std::string path = dir.File("box.vrn");
    test::WriteFile(path, BoxModelFile(c.extent));
    auto model = test::NewModel();
    ScriptedHost host;
    host.QueueAnswer(c.answer);
    std::vector<double> marker_scales;
    LoadHooks hooks;
    hooks.scale_markers = [&](double size) { marker_scales.push_back(size); };
    const LoadResult result = Load(*model, path, host, {false}, hooks);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.fit_offered, c.offered);
    EXPECT_EQ(Contains(host.Texts(), kFitQuestion), c.offered);
    const bool fitted = c.offered && c.answer == Answer::kYes;
    EXPECT_EQ(result.fitted, fitted);
    // The fit is an edit: the model no longer matches its file.
    EXPECT_EQ(model->modified, fitted ? 1 : 0);
    EXPECT_EQ(marker_scales.size(), fitted ? 1u : 0u);
    if (fitted) {
      const Vec3 extent = model->total_corner_max - model->total_corner_min;
      EXPECT_NEAR(std::max({extent.x, extent.y, extent.z}), 1.2f, 1e-5f);
      EXPECT_NEAR(model->total_center.x, 0.0f, 1e-5f);
      EXPECT_NEAR(model->total_center.y, 0.0f, 1e-5f);
    }
  }
}

TEST(LoadTest, PostLoadStepsRunInOrder) {
  test::TempDir dir;
  auto source = test::TwoPartModel();
  source->motion_count = 0;  // a model without Motions still gets one
  const std::string path = dir.File("m.vrn");
  test::WriteFile(path, FormatKeyedBinary(*source, {}, BinaryVariant::kVrn));

  auto model = test::NewModel();
  model->modified = 1;
  ScriptedHost host;
  std::vector<std::string> steps;
  LoadHooks hooks;
  hooks.model_replaced = [&](const Model& m) {
    steps.push_back("replaced");
    EXPECT_TRUE(m.forest.Contains(0));
    EXPECT_EQ(m.model_file_name, "m.vrn");
  };
  hooks.motion_added = [&](const Model& m, int motion) {
    steps.push_back("motion " + std::to_string(motion));
    EXPECT_EQ(m.current_motion, motion);
    EXPECT_EQ(m.motions[motion].in_use, 1u);
  };
  hooks.motions_ready = [&] { steps.push_back("ready"); };
  ASSERT_TRUE(Load(*model, path, host, {false}, hooks).ok);
  EXPECT_EQ(steps, (std::vector<std::string>{"replaced", "motion 0", "ready"}));
  EXPECT_EQ(model->motion_count, 1);
  EXPECT_EQ(model->modified, 0);
  EXPECT_EQ(model->all_triangles, 0);  // Q is a quad
  EXPECT_EQ(model->draw_order[1], 1u);
  EXPECT_EQ(WindowTitle(*model), "VORNA  <m.vrn>");
}

// One triangle in the first Part, the other Parts empty, each naming its texture file.
std::unique_ptr<Model> TexturedParts(const std::vector<std::string>& files) {
  auto model = test::NewModel();
  const int parts = static_cast<int>(files.size());
  AllocateParts(*model, parts);
  AllocateVertices(*model, 3);
  AllocateFaces(*model, 1);
  model->faces[0] = Face{{0, 1, 2, kNoCorner}};
  for (int p = 1; p <= parts; ++p) {
    model->parts[p].first_vertex = 3;
    model->parts[p].first_face = 1;
  }
  for (int p = 0; p < parts; ++p) {
    model->draw_order[p] = static_cast<uint32_t>(p);
    model->parts[p].texture_file = files[p];
  }
  return model;
}

TEST(LoadTest, MissingTexturesAreListedOnce) {
  test::TempDir dir;
  // Two Parts name the same missing file, one a file that exists.
  test::WriteFile(dir.File("present.bmp"), "not really an image");
  const std::string path = dir.File("m.vrn");
  test::WriteFile(path, FormatKeyedBinary(*TexturedParts({"skin.png", "present.bmp", "skin.png"}),
                                          {}, BinaryVariant::kVrn));
  auto loaded = test::NewModel();
  ScriptedHost host;
  const LoadResult result = Load(*loaded, path, host, {false});
  ASSERT_TRUE(result.ok) << result.error;
  EXPECT_EQ(result.missing_textures, std::vector<std::string>{"skin.png"});
  EXPECT_EQ(host.Texts(),
            std::vector<std::string>{dir.path() + "\r\n\r\nに以下のファイルがありません。\r\n"
                                                  "\r\nskin.png"});

  // A long list is cut short in the message, but every name is reported to the caller.
  std::vector<std::string> files;
  for (int p = 0; p < 40; ++p) {
    // Appended piece by piece: GCC 12 warns falsely about "t" + std::string.
    files.push_back(std::to_string(p).insert(0, 1, 't').append(".png"));
  }
  test::WriteFile(path, FormatKeyedBinary(*TexturedParts(files), {}, BinaryVariant::kVrn));
  ScriptedHost many;
  const LoadResult long_list = Load(*loaded, path, many, {false});
  ASSERT_TRUE(long_list.ok) << long_list.error;
  EXPECT_EQ(long_list.missing_textures.size(), 40u);
  ASSERT_EQ(many.entries.size(), 1u);
  EXPECT_NE(many.entries[0].text.find("\r\nt31.png\r\n･･･"), std::string::npos);
  EXPECT_EQ(many.entries[0].text.find("t32.png"), std::string::npos);
}

TEST(SaveTest, TheFormatChoiceSelectsWriterAndOptions) {
  test::TempDir dir;
  struct Case {
    SaveFamily family;
    bool binary;
    const char* head;  // the file's first bytes
  };
  const Case cases[] = {
      {SaveFamily::kVrn, false, "<version>"},
      {SaveFamily::kVrn, true, "VRN"},
      {SaveFamily::kVr2, false, "<version>"},
      {SaveFamily::kVr2, true, "VR2"},
  };
  for (const Case& c : cases) {
    auto model = test::TwoPartModel();
    ScriptedHost host;
    SaveFormatChoice choice;
    choice.binary = c.binary;
    choice.no_anim = true;
    const std::string path = dir.File(c.family == SaveFamily::kVrn ? "out.vrn" : "out.vr2");
    ASSERT_TRUE(SaveWithChoice(*model, path, c.family, choice, host));
    const std::string bytes = test::ReadFile(path);
    EXPECT_EQ(bytes.rfind(c.head, 0), 0u);
    auto copy = test::NewModel();
    ASSERT_TRUE(Load(*copy, path, host, {false}).ok);
    EXPECT_EQ(copy->anim_count, 0);  // "ｱﾆﾒなし" left the Anims out
    EXPECT_EQ(copy->blend[4], 0.5f);
  }
  // A writer that fails adds "保存できません" after its own message.
  auto model = test::TwoPartModel();
  ScriptedHost host;
  EXPECT_FALSE(SaveWithChoice(*model, dir.File("no/such/dir.vrn"), SaveFamily::kVrn,
                              SaveFormatChoice{.binary = true}, host));
  EXPECT_EQ(host.Texts(), (std::vector<std::string>{"ファイルを作成できません", "保存できません"}));
}

// Every writer leaves exactly the formatted model at the path and points the title at it; where
// no file can be created it says so and the title stays.
TEST(SaveTest, WritersReplaceTheFileOrSayWhy) {
  test::TempDir dir;
  struct Case {
    ModelFormat format;
    test::VrnFile file;  // for the VRN family
    const char* name;
    bool blocked_message;  // a folder in the way is reported as a failed save
  };
  const Case cases[] = {
      {ModelFormat::kVrnText, test::VrnFile::kText, "m.vrn", true},
      {ModelFormat::kVrnBinary, test::VrnFile::kBinary, "b.vrn", false},
      {ModelFormat::kVr2Text, test::VrnFile::kVr2Text, "m.vr2", true},
      {ModelFormat::kVr2Binary, test::VrnFile::kVr2Binary, "b.vr2", false},
      {ModelFormat::kDxf, test::VrnFile::kText, "m.dxf", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto model = test::TwoPartModel();
    ScriptedHost host;
    ASSERT_TRUE(SaveModel(*model, dir.File(c.name), c.format, {}, host));
    EXPECT_TRUE(host.entries.empty());
    EXPECT_EQ(model->model_file_name, c.name);
    EXPECT_EQ(model->model_dir, dir.path());
    EXPECT_EQ(test::ReadFile(dir.File(c.name)),
              c.format == ModelFormat::kDxf ? FormatDxf(*model) : test::FormatVrn(*model, c.file));

    auto other = test::TwoPartModel();
    EXPECT_FALSE(SaveModel(*other, dir.File(std::string("no/dir/") + c.name), c.format, {}, host));
    EXPECT_EQ(host.Texts(), std::vector<std::string>{"ファイルを作成できません"});
    EXPECT_EQ(host.entries.back().icon, MessageIcon::kStop);
    EXPECT_EQ(other->model_file_name, "");

    // A folder in the way: nothing can be renamed over it.
    const std::string blocked = dir.File(std::string("blocked_") + c.name);
    ASSERT_EQ(::mkdir(blocked.c_str(), 0755), 0);
    ScriptedHost blocked_host;
    EXPECT_FALSE(SaveModel(*other, blocked, c.format, {}, blocked_host));
    if (c.blocked_message) {
      EXPECT_EQ(blocked_host.Texts(), std::vector<std::string>{"ファイルを保存できません"});
      EXPECT_EQ(blocked_host.entries.back().icon, MessageIcon::kStop);
    }
    EXPECT_EQ(host.wait_depth + blocked_host.wait_depth, 0);
  }
  // The readers refuse a path that is not there by themselves, not only through Load.
  auto model = test::NewModel();
  ScriptedHost host;
  EXPECT_FALSE(ReadVrnText(*model, dir.File("absent.vrn"), host, {false}));
  EXPECT_FALSE(ReadVrnBinary(*model, dir.File("absent.vrn"), host, {false}));
}

TEST(SaveTest, OverwriteSaveFollowsTheLoadedType) {
  struct Case {
    int32_t loaded_type;
    OverwriteAction action;
    ModelFormat format;
  };
  const Case cases[] = {
      {kLoadedNone, OverwriteAction::kSaveAs, ModelFormat::kVrnText},
      {kLoadedVrnText, OverwriteAction::kWrite, ModelFormat::kVrnText},
      {kLoadedVrnBinary, OverwriteAction::kWrite, ModelFormat::kVrnBinary},
      {kLoadedDxf, OverwriteAction::kWrite, ModelFormat::kDxf},
      {kLoadedTextPolygon, OverwriteAction::kSaveAs, ModelFormat::kVrnText},
      {kLoadedX, OverwriteAction::kExportX, ModelFormat::kVrnText},
      {kLoadedVr2Text, OverwriteAction::kWrite, ModelFormat::kVr2Text},
      {kLoadedVr2Binary, OverwriteAction::kWrite, ModelFormat::kVr2Binary},
      {kLoadedGltf, OverwriteAction::kWrite, ModelFormat::kGlb},
      {42, OverwriteAction::kSaveAs, ModelFormat::kVrnText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.loaded_type);
    auto model = test::NewModel();
    model->loaded_type = c.loaded_type;
    model->model_dir = "/models/";
    model->model_file_name = "robot.vrn";
    const OverwritePlan plan = PlanOverwriteSave(*model);
    EXPECT_EQ(plan.action, c.action);
    if (plan.action == OverwriteAction::kWrite) {
      EXPECT_EQ(plan.format, c.format);
    }
    EXPECT_EQ(plan.path, "/models/robot.vrn");
  }
}

}  // namespace
}  // namespace vorna
