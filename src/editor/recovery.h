// Crash recovery without widgets: where the copy of an unsaved model lives, when it is written,
// whether a copy found at the next start is worth offering, the question that offers it, and
// writing, restoring and removing it. One copy per editor, that is per user and desktop; the
// container is editor/recovery_file.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "editor/recovery_file.h"
#include "io/read_error.h"
#include "model/model.h"

namespace vorna {

// The state folder: $XDG_STATE_HOME/vorna, or $HOME/.local/state/vorna when XDG_STATE_HOME is
// unset, empty or not absolute (as the base directory rules ask). Empty when neither is usable.
std::string RecoveryFolder(const std::string& xdg_state_home, const std::string& home);
// The copy of the editor on desktop `desktop_key` in `folder`.
std::string RecoveryCopyPath(const std::string& folder, const std::string& desktop_key);

// When a copy is written: once a change has waited kIntervalMs without one, or at once after a
// step that took kLongStepMs or more to make, as long as the model differs from its saved
// state. Times are in milliseconds on any steady clock.
class RecoverySchedule {
 public:
  static constexpr int64_t kIntervalMs = 60 * 1000;
  static constexpr int64_t kLongStepMs = 2000;

  // The model changed (a step, undo, redo, a load, a save): `unsaved` says whether it differs
  // from its saved state, `step_ms` how long the step took to make (0 for undo and redo).
  void Changed(int64_t now_ms, bool unsaved, int64_t step_ms);
  // Milliseconds until a copy is due (0: now), or nullopt while nothing waits for one.
  std::optional<int64_t> DueIn(int64_t now_ms) const;
  // A copy of the model as it is now is being written.
  void WriteStarted();
  // It ended. A failure makes the copy due again after another interval; true when it is the
  // first failure since the last copy written, the one to tell the user about.
  bool WriteEnded(bool ok, int64_t now_ms);

 private:
  std::optional<int64_t> waiting_since_;  // the oldest change no copy holds
  bool urgent_ = false;
  bool failing_ = false;
};

// Makes the folder that holds `copy_path` (and those above it); the copy's own folder only the
// user may enter, as the copies hold the user's models. False with `why` set on failure.
bool MakeRecoveryFolder(const std::string& copy_path, std::string* why);

// Writes `model` as the copy at `copy_path` (creating its folder, readable by the user alone),
// atomically: a crash while writing leaves the previous copy. `written_at` is the time of the
// copy in seconds since 1970. False with `why` set when it cannot be written.
bool WriteRecoveryCopy(const std::string& copy_path, const Model& model, int64_t written_at,
                       std::string* why);

// The copy at `copy_path` when one is worth offering: readable, and newer than the file it
// belongs to (or that file is gone). A copy that is not is removed, as is one whose header
// cannot be read.
std::optional<RecoveryHeader> FindRecoveryCopy(const std::string& copy_path);

// The question that offers `header`'s copy, naming its file and the local time of the copy,
// answered "復元" or "破棄".
std::string RecoveryQuestion(const RecoveryHeader& header);

// Reads the copy into `model` as the unsaved, modified state of the file it belongs to. False
// (Model reset, `error` set) when the copy cannot be read.
bool RestoreRecoveryCopy(const std::string& copy_path, Model& model, ReadError* error);

void RemoveRecoveryCopy(const std::string& copy_path);

// Shown once in the status bar when copies cannot be written, before the reason.
inline constexpr char kRecoveryWriteFailed[] = "復元用のコピーを保存できません: ";

}  // namespace vorna
