// Stopping a load or a save from its progress: the open model and its file stay as they were.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "editor/file_commands.h"
#include "formats/format_common.h"
#include "formats/model_file_fixtures.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Save as always picks `path` as a VRN text file.
class SaveAsUi : public FileCommandUi {
 public:
  explicit SaveAsUi(std::string path) : path_(std::move(path)) {}
  void StopPlayback() override {}
  bool ShowOpenDialog(std::string*, int*) override { return false; }
  bool ShowSaveAsDialog(const std::string&, std::string* name, int* filter_index) override {
    *name = path_;
    *filter_index = SaveFilterIndex(ModelFormat::kVrnText);
    return true;
  }
  bool ShowSaveFormatDialog(SaveFamily, SaveFormatChoice*) override { return true; }
  void ShowXExportDialog(const std::string&) override {}

 private:
  std::string path_;
};

TEST(ProgressFlowTest, AStoppedLoadKeepsTheOpenModelAndSaysNothing) {
  test::TempDir dir;
  ScriptedHost host;
  SaveAsUi ui(dir.File("unused.vrn"));
  auto other = test::SampleWalker();
  ASSERT_TRUE(SaveModel(*other, dir.File("other.vrn"), ModelFormat::kVrnBinary, {}, host));
  auto model = test::SampleWalker();
  SetTitleAndDirectory(*model, dir.File("open.vrn"));
  model->positions[0].x = 42;
  model->modified = 1;

  host.QueueAnswer(Answer::kNo);  // "既読のファイルを保存しますか？": go on without saving
  host.stop_after_reports = 0;
  const LoadResult result = OpenFile(*model, dir.File("other.vrn"), host, ui);
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.cancelled);
  EXPECT_TRUE(result.kept_current);
  EXPECT_EQ(model->model_file_name, "open.vrn");
  EXPECT_EQ(model->positions[0].x, 42);
  EXPECT_EQ(model->modified, 1);
  EXPECT_EQ(host.entries.size(), 1u);  // only the save question, no failure message
  EXPECT_EQ(host.long_tasks, std::vector<LongTask>{LongTask::kReading});

  host.stop_after_reports = -1;
  EXPECT_TRUE(OpenFile(*model, dir.File("other.vrn"), host, ui).ok);
  EXPECT_EQ(model->model_file_name, "other.vrn");
  EXPECT_EQ(model->modified, 0);
}

TEST(ProgressFlowTest, AStoppedSaveSavesNothingAndKeepsTheModelToReplace) {
  test::TempDir dir;
  const std::string path = dir.File("saved.vrn");
  test::WriteFile(path, "old bytes");
  ScriptedHost host;
  SaveAsUi ui(path);
  auto model = test::SampleWalker();
  model->modified = 1;
  host.stop_after_reports = 0;
  EXPECT_FALSE(SaveAs(*model, host, ui));
  EXPECT_EQ(test::ReadFile(path), "old bytes");
  EXPECT_EQ(model->modified, 1);
  EXPECT_TRUE(host.entries.empty());

  // Saving before a load was stopped: the unsaved model must not be replaced.
  ASSERT_TRUE(
      SaveModel(*test::SampleWalker(), dir.File("next.vrn"), ModelFormat::kVrnText, {}, host));
  host.QueueAnswer(Answer::kYes);
  const LoadResult result = LoadWithPrompt(*model, dir.File("next.vrn"), host, ui);
  EXPECT_TRUE(result.kept_current);
  EXPECT_EQ(model->modified, 1);
  EXPECT_EQ(test::ReadFile(path), "old bytes");

  host.stop_after_reports = 1;  // a stop after the writing began: still before the rename
  OverwriteSave(*model, host, ui);
  EXPECT_EQ(test::ReadFile(path), "old bytes");
  host.stop_after_reports = -1;
  EXPECT_TRUE(SaveAs(*model, host, ui));
  EXPECT_NE(test::ReadFile(path), "old bytes");
  EXPECT_EQ(model->modified, 0);
}

}  // namespace
}  // namespace vorna
