#include "editor/file_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "formats/model_file_fixtures.h"
#include "formats/vrn_binary.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// The dialogs as a script: each call takes the next prepared answer and is recorded.
class ScriptedUi : public FileCommandUi {
 public:
  struct SaveAsAnswer {
    bool ok;
    std::string name;
    int filter_index;
  };
  std::deque<SaveAsAnswer> save_as;
  std::deque<std::pair<bool, SaveFormatChoice>> formats;
  std::deque<std::pair<bool, std::string>> opens;
  std::vector<std::string> calls;

  void StopPlayback() override { calls.push_back("stop"); }
  bool ShowOpenDialog(std::string* path, int* filter_index) override {
    calls.push_back("open dialog");
    if (opens.empty()) return false;
    const auto [ok, chosen] = opens.front();
    opens.pop_front();
    *path = chosen;
    *filter_index = OpenFilterIndex(ModelFormat::kVrnText);
    return ok;
  }
  bool ShowSaveAsDialog(const std::string& proposed, std::string* name,
                        int* filter_index) override {
    calls.push_back("save as " + proposed);
    if (save_as.empty()) return false;
    const SaveAsAnswer answer = save_as.front();
    save_as.pop_front();
    *name = answer.name;
    *filter_index = answer.filter_index;
    return answer.ok;
  }
  bool ShowSaveFormatDialog(const FormatRow& row, SaveFormatChoice* choice) override {
    calls.push_back(row.save_dialog_title);
    if (formats.empty()) return false;
    const auto [ok, chosen] = formats.front();
    formats.pop_front();
    *choice = chosen;
    return ok;
  }
  void ShowXExportDialog(const FormatRow&, const std::string& path) override {
    calls.push_back("x export " + path);
  }
};

int32_t LoadedTypeOf(ModelFormat format) { return RowOf(format).loaded_type; }

TEST(OverwriteSaveTest, WritesByLoadedTypeOrFallsBackToSaveAs) {
  test::TempDir dir;
  ScriptedHost host;
  ScriptedUi ui;
  auto model = test::TwoPartModel();
  model->model_dir = dir.path();
  model->model_file_name = "m.vrn";
  model->loaded_type = LoadedTypeOf(ModelFormat::kVrnBinary);
  OverwriteSave(*model, host, ui);
  EXPECT_EQ(test::ReadFile(dir.File("m.vrn")), FormatKeyedBinary(*model, {}, BinaryVariant::kVrn));
  EXPECT_EQ(ui.calls, std::vector<std::string>{"stop"});

  // A text polygon file has no writer: save as, proposing the name with ".vrn".
  model->model_file_name = "shape.txt";
  model->loaded_type = LoadedTypeOf(ModelFormat::kTextPolygon);
  OverwriteSave(*model, host, ui);
  EXPECT_EQ(ui.calls.back(), "save as shape.vrn");

  model->model_file_name = "scene.x";
  model->loaded_type = LoadedTypeOf(ModelFormat::kX);
  OverwriteSave(*model, host, ui);
  EXPECT_EQ(ui.calls.back(), "x export " + dir.File("scene.x"));
  EXPECT_TRUE(host.entries.empty());

  // A writer that fails shows "保存できません" after its own message.
  model->model_dir = dir.File("gone/");
  model->model_file_name = "m.vr2";
  model->loaded_type = LoadedTypeOf(ModelFormat::kVr2Text);
  OverwriteSave(*model, host, ui);
  EXPECT_EQ(host.Texts(), (std::vector<std::string>{"ファイルを作成できません", "保存できません"}));
}

// A typed extension that names an offered type wins over the type box; any other keeps the box.
TEST(SaveAsTest, TheTypedExtensionPicksAnOfferedType) {
  test::TempDir dir;
  const std::string vrn_dialog = RowOf(ModelFormat::kVrnText).save_dialog_title;
  const struct {
    const char* name;
    ModelFormat chosen;
    std::string call;
  } cases[] = {
      {"export.x", ModelFormat::kVrnText, "x export " + dir.File("export.x")},
      {"back.VRN", ModelFormat::kX, vrn_dialog},
      {"odd.name", ModelFormat::kX, "x export " + dir.File("odd.name")},
      {"plain", ModelFormat::kVrnText, vrn_dialog},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedHost host;
    ScriptedUi ui;
    ui.save_as.push_back({true, dir.File(c.name), SaveFilterIndex(c.chosen)});
    auto model = test::TwoPartModel();
    SaveAs(*model, host, ui);
    EXPECT_EQ(ui.calls.back(), c.call);
  }
}

TEST(LoadWithPromptTest, UnsavedEditsAreAskedAbout) {
  test::TempDir dir;
  const std::string path = dir.File("next.vrn");
  auto next = test::TwoPartModel();
  next->parts[0].texture_file.clear();
  next->node_name[1] = "next";
  test::WriteFile(path, FormatKeyedBinary(*next, {}, BinaryVariant::kVrn));
  const std::string question = "既読のファイルを保存しますか？";

  struct Case {
    const char* name;
    bool modified;
    Answer answer;
    const char* saved_as;  // the name given to save as, if it is confirmed
    bool loads;
  };
  const Case cases[] = {
      {"unmodified", false, Answer::kNo, nullptr, true},
      {"no", true, Answer::kNo, nullptr, true},
      {"cancel", true, Answer::kCancel, nullptr, false},
      {"yes, save as cancelled", true, Answer::kYes, nullptr, false},
      {"yes, saved", true, Answer::kYes, "saved.vrn", true},
      {"yes, exported to .x by its dialog", true, Answer::kYes, "saved.x", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto model = test::TwoPartModel();
    model->modified = c.modified ? 1 : 0;
    ScriptedHost host;
    host.QueueAnswer(c.answer);
    ScriptedUi ui;
    const bool x = c.saved_as != nullptr && std::string(c.saved_as).ends_with(".x");
    if (c.saved_as != nullptr) {
      ui.save_as.push_back({true, dir.File(c.saved_as),
                            SaveFilterIndex(x ? ModelFormat::kX : ModelFormat::kVrnText)});
      ui.formats.push_back({true, SaveFormatChoice{}});
    }
    const LoadResult result = LoadWithPrompt(*model, path, host, ui, {false});
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.kept_current, !c.loads);
    EXPECT_EQ(model->node_name[0], c.loads ? "next" : "P");
    EXPECT_EQ(!host.entries.empty() && host.entries[0].text == question, c.modified);
    EXPECT_EQ(ui.calls.front(), "stop");
    if (c.saved_as != nullptr) {
      EXPECT_EQ(ui.calls.back(), x ? "x export " + dir.File(c.saved_as) : "VRNﾌｧｲﾙの保存形式");
      // The export dialog writes the .x; here it is a script that writes nothing.
      EXPECT_EQ(test::ReadFile(dir.File(c.saved_as)).empty(), x);
    }
  }
}

TEST(OpenCommandTest, CancelDoesNothingAndFailuresAreReported) {
  test::TempDir dir;
  auto model = test::TwoPartModel();
  ScriptedHost host;
  ScriptedUi ui;
  LoadResult result = OpenCommand(*model, host, ui);
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.kept_current);
  EXPECT_TRUE(host.entries.empty());

  // The VRN filter completes a name without extension; the file is not there.
  ui.opens.push_back({true, dir.File("absent")});
  result = OpenCommand(*model, host, ui);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(host.Texts(), std::vector<std::string>{"ファイルを読み込めません"});
  EXPECT_EQ(model->node_name[0], "P");

  auto next = test::TwoPartModel();
  next->parts[0].texture_file.clear();
  test::WriteFile(dir.File("there.vrn"), FormatKeyedBinary(*next, {}, BinaryVariant::kVrn));
  ui.opens.push_back({true, dir.File("there")});
  result = OpenCommand(*model, host, ui);
  EXPECT_TRUE(result.ok) << result.error;
  EXPECT_EQ(model->loaded_type, LoadedTypeOf(ModelFormat::kVrnBinary));

  // A file that cannot be read keeps the open model, unsaved edits included.
  model->modified = 1;
  model->node_name[1] = "edited";
  test::WriteFile(dir.File("damaged.vrn"), "VRN but not really");
  ui.opens.push_back({true, dir.File("damaged.vrn")});
  host.QueueAnswer(Answer::kNo);  // "既読のファイルを保存しますか？"
  result = OpenCommand(*model, host, ui);
  EXPECT_TRUE(!result.ok && result.kept_current);
  EXPECT_EQ(model->node_name[1], "edited");
  EXPECT_EQ(model->modified, 1);
  EXPECT_EQ(model->model_file_name, "there.vrn");
}

// Stopping a load or a save from its progress: the open model and its file stay as they were.
TEST(ProgressFlowTest, AStoppedLoadOrSaveLeavesModelAndFileAsTheyWereAndSaysNothing) {
  test::TempDir dir;
  const std::string saved = dir.File("saved.vrn");
  test::WriteFile(saved, "old bytes");
  ScriptedHost host;
  ScriptedUi ui;
  ui.save_as.push_back({true, saved, SaveFilterIndex(ModelFormat::kVrnText)});
  ui.formats.push_back({true, SaveFormatChoice{}});
  ASSERT_TRUE(
      SaveModel(*test::SampleWalker(), dir.File("other.vrn"), ModelFormat::kVrnText, {}, host));
  auto model = test::SampleWalker();
  SetTitleAndDirectory(*model, dir.File("open.vrn"));
  model->positions[0].x = 42;
  model->modified = 1;
  host.stop_after_reports = 0;

  host.QueueAnswer(Answer::kNo);  // "既読のファイルを保存しますか？": go on without saving
  const LoadResult stopped = OpenFile(*model, dir.File("other.vrn"), host, ui);
  EXPECT_TRUE(stopped.ok && stopped.cancelled && stopped.kept_current);
  EXPECT_EQ(host.long_tasks, std::vector<LongTask>{LongTask::kReading});
  // Yes: save as first, which is stopped too; the unsaved model must then not be replaced.
  host.QueueAnswer(Answer::kYes);
  EXPECT_TRUE(LoadWithPrompt(*model, dir.File("other.vrn"), host, ui).kept_current);
  EXPECT_EQ(model->model_file_name, "open.vrn");
  EXPECT_EQ(model->positions[0].x, 42);
  EXPECT_EQ(model->modified, 1);
  EXPECT_EQ(test::ReadFile(saved), "old bytes");
  EXPECT_EQ(host.entries.size(), 2u);  // the two questions, no failure message
}

}  // namespace
}  // namespace vorna
