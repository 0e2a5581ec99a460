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

TEST(ProgressFlowTest, AStoppedLoadOrSaveLeavesModelAndFileAsTheyWereAndSaysNothing) {
  test::TempDir dir;
  const std::string saved = dir.File("saved.vrn");
  test::WriteFile(saved, "old bytes");
  ScriptedHost host;
  SaveAsUi ui(saved);
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
