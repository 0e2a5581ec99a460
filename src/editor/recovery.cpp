#include "editor/recovery.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <utility>

#include "io/atomic_file.h"
#include "io/whole_file.h"

namespace vorna {

namespace {

// The header lies within the copy's first bytes: its two texts are bounded by the container.
constexpr std::streamsize kHeaderBytes = 256 * 1024;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

bool MakeRecoveryFolder(const std::string& copy_path, std::string* why) {
  const std::string folder = FolderOf(copy_path);
  std::error_code code;
  std::filesystem::create_directories(FolderOf(folder), code);
  if (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) return true;
  *why = folder + ": " + std::strerror(errno);
  return false;
}

std::string RecoveryFolder(const std::string& xdg_state_home, const std::string& home) {
  if (!xdg_state_home.empty() && xdg_state_home.front() == '/') return xdg_state_home + "/vorna";
  if (!home.empty()) return home + "/.local/state/vorna";
  return {};
}

std::string RecoveryCopyPath(const std::string& folder, const std::string& desktop_key) {
  return folder + "/recovery-" + desktop_key + ".copy";
}

void RecoverySchedule::Changed(int64_t now_ms, bool unsaved, int64_t step_ms) {
  if (!unsaved) {
    waiting_since_.reset();
    urgent_ = false;
    return;
  }
  if (!waiting_since_) waiting_since_ = now_ms;
  if (step_ms >= kLongStepMs) urgent_ = true;
}

std::optional<int64_t> RecoverySchedule::DueIn(int64_t now_ms) const {
  if (!waiting_since_) return std::nullopt;
  if (urgent_) return 0;
  return std::max<int64_t>(0, *waiting_since_ + kIntervalMs - now_ms);
}

void RecoverySchedule::WriteStarted() {
  waiting_since_.reset();
  urgent_ = false;
}

bool RecoverySchedule::WriteEnded(bool ok, int64_t now_ms) {
  if (ok) {
    failing_ = false;
    return false;
  }
  if (!waiting_since_) waiting_since_ = now_ms;
  return !std::exchange(failing_, true);
}

bool WriteRecoveryCopy(const std::string& copy_path, const Model& model, int64_t written_at,
                       std::string* why) {
  if (!MakeRecoveryFolder(copy_path, why)) return false;
  if (WriteFileAtomically(copy_path, EncodeRecoveryCopy(model, written_at))) return true;
  *why = copy_path + ": " + std::strerror(errno);
  return false;
}

std::optional<RecoveryHeader> FindRecoveryCopy(const std::string& copy_path) {
  std::ifstream file(copy_path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string start(static_cast<size_t>(kHeaderBytes), '\0');
  file.read(start.data(), kHeaderBytes);
  start.resize(static_cast<size_t>(file.gcount()));
  RecoveryHeader header;
  struct stat original {};
  const bool newer = DecodeRecoveryHeader(start, &header) &&
                     (::stat((header.model_dir + header.model_file_name).c_str(), &original) != 0 ||
                      original.st_mtime <= header.written_at);
  if (!newer) {
    RemoveRecoveryCopy(copy_path);
    return std::nullopt;
  }
  return header;
}

std::string RecoveryQuestion(const RecoveryHeader& header) {
  const std::time_t when = static_cast<std::time_t>(header.written_at);
  std::tm local{};
  char time_text[64] = "";
  if (localtime_r(&when, &local) != nullptr) {
    std::strftime(time_text, sizeof time_text, "%Y/%m/%d %H:%M:%S", &local);
  }
  return header.model_file_name + " の保存されていない変更が残っています（" + time_text +
         " の自動保存）。\r\n\r\n復元すると、その変更を保存されていない状態で開きます。"
         "破棄すると、自動保存は削除されます。";
}

bool RestoreRecoveryCopy(const std::string& copy_path, Model& model, ReadError* error) {
  FileBytes bytes;
  if (!ReadWholeFile(copy_path, &bytes, error)) {
    Reset(model);
    return false;
  }
  if (!DecodeRecoveryCopy(bytes.text(), model, nullptr, error)) return false;
  model.modified = 1;
  return true;
}

void RemoveRecoveryCopy(const std::string& copy_path) { std::remove(copy_path.c_str()); }

}  // namespace vorna
