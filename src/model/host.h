// What the core needs from whoever runs it: message boxes, questions and the wait cursor. The
// editor implements it with Qt, vorna-cli on the terminal, tests with a script.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io/progress.h"

namespace vorna {

enum class MessageIcon { kNone, kInformation, kWarning, kStop, kQuestion };
// kRestoreDiscard: "復元" answers kYes, "破棄" kNo.
enum class Buttons { kOk, kYesNo, kYesNoCancel, kRestoreDiscard };
enum class Answer { kOk, kYes, kNo, kCancel };
// What a long operation does, for the words its progress is shown with.
enum class LongTask { kReading, kSaving };

// Message texts are UTF-8; the caption is always the program name.
class Host {
 public:
  virtual ~Host() = default;
  virtual void Message(std::string_view text, MessageIcon icon) = 0;
  virtual Answer Question(std::string_view text, Buttons buttons, MessageIcon icon) = 0;
  virtual void BeginWait() = 0;
  virtual void EndWait() = 0;
  // Runs `work`, a read or save that may take long, and returns when it has finished. `work`
  // reports through the callback it is given, whose false answer asks it to stop. The default
  // runs it here and never stops it; the editor runs it on a worker thread and shows its
  // progress, with a way to stop it, when it lasts. So `work` must use neither this Host nor
  // anything the caller's thread may use meanwhile.
  virtual void RunLongTask(LongTask /*task*/,
                           const std::function<void(const ProgressCallback&)>& work) {
    work(ProgressCallback());
  }
};

// Shows the wait cursor for its lifetime.
class WaitCursor {
 public:
  explicit WaitCursor(Host& host) : host_(host) { host_.BeginWait(); }
  ~WaitCursor() { host_.EndWait(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Host& host_;
};

// What a reader shows when a file holds more of something than it can take:
// CapacityMessage("面数が", 1000) is "面数が1000個を超えました".
std::string CapacityMessage(std::string_view counted, int limit);

// Shows "パーツ数が256個を超えました": every reader refuses kMaxParts or more Parts so.
void ShowTooManyParts(Host& host);

// Prints messages and questions to stderr; questions take a fixed answer per kind of button.
class StderrHost : public Host {
 public:
  // `yes_no` answers yes/no questions; yes/no/cancel questions get the same answer.
  explicit StderrHost(Answer yes_no = Answer::kNo) : yes_no_(yes_no) {}
  void Message(std::string_view text, MessageIcon icon) override;
  Answer Question(std::string_view text, Buttons buttons, MessageIcon icon) override;
  void BeginWait() override {}
  void EndWait() override {}

 private:
  Answer yes_no_;
};

// Records every message and question, answers questions from a queue (kNo when it runs dry for
// yes/no questions, kOk for OK-only ones), and counts the wait cursor's nesting.
class ScriptedHost : public Host {
 public:
  struct Entry {
    std::string text;
    MessageIcon icon;
    bool question;
  };
  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void Message(std::string_view text, MessageIcon icon) override;
  Answer Question(std::string_view text, Buttons buttons, MessageIcon icon) override;
  void BeginWait() override { ++wait_depth; }
  void EndWait() override { --wait_depth; }
  // Runs `work` here, answering its progress as `stop_after_reports` says, and records the task.
  void RunLongTask(LongTask task,
                   const std::function<void(const ProgressCallback&)>& work) override;

  std::vector<Entry> entries;
  int wait_depth = 0;
  // How many progress reports of each long task are answered "go on" before the first "stop";
  // negative: never stop.
  int stop_after_reports = -1;
  std::vector<LongTask> long_tasks;
  std::vector<std::string> Texts() const;

 private:
  std::deque<Answer> answers_;
};

}  // namespace vorna
