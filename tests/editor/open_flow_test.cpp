#include "editor/open_flow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "formats/model_file_fixtures.h"
#include "formats/vrn_binary.h"
#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

constexpr const char* kVr2Notice = "VR2ファイルはVRNファイル形式で読み込まれます";
constexpr const char* kFitQuestion = "モデルをウィンドウサイズに変更しますか？";

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// The window's side of a load, as a list of what happened when.
struct Recorder : LoadEvents {
  explicit Recorder(ScriptedHost* host = nullptr) : host(host) {}
  void ModelFitted(double) override { steps.push_back("fitted"); }
  void ModelReplaced(const Model& m) override {
    steps.push_back("replaced");
    EXPECT_TRUE(m.forest.Contains(0));
    if (host != nullptr) messages_at_replace = host->entries.size();
  }
  void MotionAdded(const Model& m, int motion) override {
    steps.push_back("motion " + std::to_string(motion));
    EXPECT_EQ(m.current_motion, motion);
    EXPECT_EQ(m.motions[motion].in_use, 1u);
  }
  void MotionsReady() override { steps.push_back("ready"); }

  ScriptedHost* host;
  std::vector<std::string> steps;
  size_t messages_at_replace = 0;
};

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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extent);
    const std::string path = dir.File("box.vrn");
    test::WriteFile(path, BoxModelFile(c.extent));
    auto model = test::NewModel();
    ScriptedHost host;
    host.QueueAnswer(c.answer);
    Recorder events;
    const LoadResult result = Load(*model, path, host, {false}, &events);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.fit_offered, c.offered);
    EXPECT_EQ(Contains(host.Texts(), kFitQuestion), c.offered);
    const bool fitted = c.offered && c.answer == Answer::kYes;
    EXPECT_EQ(result.fitted, fitted);
    // The fit is an edit: the model no longer matches its file.
    EXPECT_EQ(model->modified, fitted ? 1 : 0);
    EXPECT_EQ(events.steps.front(), fitted ? "fitted" : "replaced");
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
  source->parts[0].texture_file = "gone.png";
  struct Case {
    const char* name;
    BinaryVariant variant;
    bool notice;  // VR2 files are read in VRN form, and say so
  };
  for (const Case& c :
       {Case{"m.vrn", BinaryVariant::kVrn, false}, Case{"m.VR2", BinaryVariant::kVr2, true}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.File(c.name);
    test::WriteFile(path, FormatKeyedBinary(*source, {}, c.variant));
    auto model = test::NewModel();
    model->modified = 1;
    ScriptedHost host;
    Recorder events(&host);
    const LoadResult result = Load(*model, path, host, {false}, &events);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.loaded_type, model->loaded_type);
    EXPECT_EQ(events.steps, (std::vector<std::string>{"replaced", "motion 0", "ready"}));
    // The notice comes before the window shows the model, the missing textures after it.
    ASSERT_EQ(host.entries.size(), c.notice ? 2u : 1u);
    EXPECT_EQ(host.entries[0].text == kVr2Notice, c.notice);
    EXPECT_EQ(events.messages_at_replace, c.notice ? 1u : 0u);
    EXPECT_EQ(model->motion_count, 1);
    EXPECT_EQ(model->modified, 0);
    EXPECT_EQ(model->all_triangles, 0);  // Q is a quad
    EXPECT_EQ(model->draw_order[1], 1u);
    EXPECT_EQ(model->model_file_name, c.name);
    EXPECT_EQ(host.wait_depth, 0);
  }
  // A file no reader takes fails at once and leaves the Model as it was.
  auto model = test::TwoPartModel();
  ScriptedHost host;
  Recorder events;
  const LoadResult refused = Load(*model, dir.File("m.vrm"), host, {false}, &events);
  EXPECT_FALSE(refused.ok);
  EXPECT_FALSE(refused.error.empty());
  EXPECT_TRUE(events.steps.empty() && host.entries.empty());
  EXPECT_EQ(model->node_name[0], "P");
}

TEST(LoadTest, DamagedBinaryFilesLoadWithOneNotice) {
  test::TempDir dir;
  auto model = test::TwoPartModel();
  model->parts[0].texture_file.clear();
  const std::string whole = FormatKeyedBinary(*model, {}, BinaryVariant::kVrn);
  auto unitless = test::TwoPartModel();
  unitless->parts[0].texture_file.clear();
  unitless->node_count = unitless->parts_count;
  // Ends after "faces", as a model without Units always does: the record count says 31.
  const std::string early = FormatKeyedBinary(*unitless, {}, BinaryVariant::kVrn);
  std::string renamed = whole;
  renamed[renamed.find("normals")] = 'x';  // an unknown record instead of the normals
  const struct {
    std::string bytes;
    const char* named;  // in the notice, "" for no notice
  } cases[] = {
      {whole, ""},
      {early, ""},
      {early.substr(0, early.size() - 6), "途中で切れているデータ: faces"},
      {early + "\x07", "途中で切れているデータ: (最後のレコード)"},
      {renamed, "ないデータ: normals"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    test::WriteFile(dir.File("m.vrn"), c.bytes);
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(Load(*model, dir.File("m.vrn"), host, {false}).ok);
    const std::vector<std::string> texts = host.Texts();
    ASSERT_EQ(texts.size(), *c.named ? 1u : 0u);
    if (*c.named) {
      EXPECT_NE(texts[0].find(c.named), std::string::npos) << texts[0];
      EXPECT_NE(texts[0].find("読み込めたところだけが保存されます"), std::string::npos);
    }
  }
}

// One triangle in the first Part, the other Parts empty, each naming its texture file.
std::unique_ptr<Model> TexturedParts(const std::vector<std::string>& files) {
  std::vector<test::PartMesh> meshes(files.size());
  meshes[0] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {test::Tri(0, 1, 2)}};
  auto model = test::ModelOfParts(meshes);
  for (size_t p = 0; p < files.size(); ++p) {
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
    ModelFormat text_form;
    bool binary;
    const char* head;  // the file's first bytes
  };
  const Case cases[] = {
      {ModelFormat::kVrnText, false, "<version>"},
      {ModelFormat::kVrnText, true, "VRN"},
      {ModelFormat::kVr2Text, false, "<version>"},
      {ModelFormat::kVr2Text, true, "VR2"},
  };
  for (const Case& c : cases) {
    auto model = test::TwoPartModel();
    ScriptedHost host;
    SaveFormatChoice choice;
    choice.binary = c.binary;
    choice.no_anim = true;
    const FormatRow& row = RowOf(c.text_form);
    const std::string path = dir.File("out." + std::string(row.extensions.front()));
    ASSERT_TRUE(SaveWithChoice(*model, path, row, choice, host));
    EXPECT_EQ(test::ReadFile(path).rfind(c.head, 0), 0u);
    auto copy = test::NewModel();
    ASSERT_TRUE(ReadModelFile(*copy, path, host, {false}, nullptr));
    EXPECT_EQ(copy->anim_count, 0);  // "ｱﾆﾒなし" left the Anims out
    EXPECT_EQ(copy->blend[4], 0.5f);
    EXPECT_FALSE(SaveWithChoice(*model, dir.File("no/m.vrn"), row, choice, host));
    EXPECT_EQ(host.Texts().back(), kCannotSaveMessage);  // after the writer's own message
  }
}

// A failed save shows the row's own message for what failed of the model's file, then
// "保存できません" unless the caller leaves it out (save as DXF). Failures elsewhere, such as a
// texture file beside the model, get only the general message.
TEST(SaveTest, AFailedSaveShowsTheMessagesItsRowNames) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("blocked").c_str(), 0755), 0);
  const std::string cannot_create = "ファイルを作成できません",
                    cannot_write = "ファイルを保存できません";
  struct Case {
    ModelFormat format;
    const char* path;
    bool add_cannot_save;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {ModelFormat::kVrnText, "no/m.vrn", true, {cannot_create, kCannotSaveMessage}},
      {ModelFormat::kVrnText, "blocked", true, {cannot_write, kCannotSaveMessage}},
      {ModelFormat::kVr2Binary, "blocked", true, {kCannotSaveMessage}},
      {ModelFormat::kDxf, "blocked", false, {cannot_write}},
      {ModelFormat::kX, "no/m.x", true, {kCannotSaveMessage}},
      {ModelFormat::kGltf, "no/m.gltf", true, {kCannotSaveMessage}},
      {ModelFormat::kVrnText, "blocked_texture.vrn", true, {kCannotSaveMessage}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    auto model = test::TwoPartModel();
    model->parts[0].texture_embedded = true;
    model->parts[0].texture_file = "no/t.png";  // no such folder: it cannot be written
    model->parts[0].texture = Texture::FromImage(Image{1, 1, {1, 2, 3, 4}});
    ScriptedHost host;
    EXPECT_FALSE(
        SaveAndReport(*model, dir.File(c.path), RowOf(c.format), {}, host, c.add_cannot_save));
    EXPECT_EQ(host.Texts(), c.texts);
    EXPECT_EQ(host.entries[0].icon,
              c.texts[0] == kCannotSaveMessage ? MessageIcon::kNone : MessageIcon::kStop);
  }
}

// A save as into another folder takes the model's texture files along and writes an embedded
// texture whose name another file has under a free one, and says both in one notice.
TEST(SaveTest, ASaveSaysInOneNoticeWhatItDidBesideTheModel) {
  test::TempDir dir;
  ASSERT_TRUE(::mkdir(dir.File("from").c_str(), 0755) == 0 &&
              ::mkdir(dir.File("to").c_str(), 0755) == 0);
  test::WriteFile(dir.File("from/skin.bmp"), "skin");
  test::WriteFile(dir.File("to/made.png"), "not ours");
  auto model = test::TwoPartModel();
  model->model_dir = dir.File("from/");
  model->parts[0].texture_file = "skin.bmp";
  model->parts[1].texture_embedded = true;
  model->parts[1].texture_file = "made.png";
  model->parts[1].texture = Texture::FromImage(Image{1, 1, {1, 2, 3, 4}});
  ScriptedHost host;
  ASSERT_TRUE(SaveAndReport(*model, dir.File("to/m.vrn"), RowOf(ModelFormat::kVrnText), {}, host));
  EXPECT_EQ(host.Texts(), std::vector<std::string>{
                              "テクスチャのファイルを保存先のフォルダーにコピーしました。\r\n"
                              "\r\nskin.bmp\r\n\r\n"
                              "同じ名前の別のファイルがあるため、名前を変えて保存しました。\r\n"
                              "\r\nmade.png → made-2.png"});
  EXPECT_EQ(model->parts[1].texture_file, "made-2.png");
}

}  // namespace
}  // namespace vorna
