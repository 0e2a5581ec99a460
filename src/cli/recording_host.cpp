#include "cli/recording_host.h"

namespace vorna {

void RecordingHost::Message(std::string_view text, MessageIcon /*icon*/) {
  messages_.emplace_back(text);
}

Answer RecordingHost::Question(std::string_view /*text*/, Buttons buttons, MessageIcon /*icon*/) {
  return buttons == Buttons::kOk ? Answer::kOk : yes_no_;
}

std::string RecordingHost::OneLine() const {
  std::string line;
  for (const std::string& message : messages_) {
    if (!line.empty()) line += "; ";
    for (char c : message) {
      if (c == '\r') continue;
      line.push_back(c == '\n' ? ' ' : c);
    }
  }
  return line;
}

}  // namespace vorna
