#include "model/host.h"

#include <cstdio>

#include "model/model.h"

namespace vorna {

namespace {

std::string Printable(std::string_view text) {
  // Message texts end their lines with CR LF as the message boxes expect; a terminal wants LF.
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out.push_back(c);
  }
  return out;
}

}  // namespace

std::string CapacityMessage(std::string_view counted, int limit) {
  return std::string(counted) + std::to_string(limit) + "個を超えました";
}

void ShowTooManyParts(Host& host) {
  host.Message(CapacityMessage("パーツ数が", kMaxParts), MessageIcon::kNone);
}

void StderrHost::Message(std::string_view text, MessageIcon /*icon*/) {
  std::fprintf(stderr, "VORNA: %s\n", Printable(text).c_str());
}

Answer StderrHost::Question(std::string_view text, Buttons buttons, MessageIcon /*icon*/) {
  const Answer answer = buttons == Buttons::kOk ? Answer::kOk : yes_no_;
  std::fprintf(stderr, "VORNA: %s [%s]\n", Printable(text).c_str(),
               answer == Answer::kYes ? "yes" : (answer == Answer::kOk ? "ok" : "no"));
  return answer;
}

void ScriptedHost::Message(std::string_view text, MessageIcon icon) {
  entries.push_back({std::string(text), icon, false});
}

Answer ScriptedHost::Question(std::string_view text, Buttons buttons, MessageIcon icon) {
  entries.push_back({std::string(text), icon, true});
  if (buttons == Buttons::kOk) return Answer::kOk;
  if (answers_.empty()) return Answer::kNo;
  const Answer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void ScriptedHost::RunLongTask(LongTask task,
                               const std::function<void(const ProgressCallback&)>& work) {
  long_tasks.push_back(task);
  int reports = 0;
  work([this, &reports](std::uint64_t, std::uint64_t) {
    return stop_after_reports < 0 || reports++ < stop_after_reports;
  });
}

std::vector<std::string> ScriptedHost::Texts() const {
  std::vector<std::string> texts;
  for (const Entry& e : entries) texts.push_back(e.text);
  return texts;
}

}  // namespace vorna
