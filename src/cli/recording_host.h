// A Host for work that must not talk while it runs (parallel conversions, the thumbnailer): it
// keeps every message for the caller to report as one line, and answers questions as told.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/host.h"

namespace vorna {

class RecordingHost : public Host {
 public:
  // `yes_no` answers yes/no and yes/no/cancel questions; OK-only questions get OK.
  explicit RecordingHost(Answer yes_no = Answer::kNo) : yes_no_(yes_no) {}
  void Message(std::string_view text, MessageIcon icon) override;
  Answer Question(std::string_view text, Buttons buttons, MessageIcon icon) override;
  void BeginWait() override {}
  void EndWait() override {}

  // The messages so far on one line, separated by "; ", line breaks turned into blanks.
  std::string OneLine() const;

 private:
  Answer yes_no_;
  std::vector<std::string> messages_;
};

}  // namespace vorna
