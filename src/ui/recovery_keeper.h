// Keeps the recovery copy of the editor's model (editor/recovery.h) in step with it: told of every
// change, it writes a copy of a copy of the Model on a worker thread when the schedule says so,
// so that the view never waits, and removes the copy once the model holds nothing unsaved or
// the editor ends cleanly. A lock next to the copy keeps a second editor of the same desktop
// away from it.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "editor/recovery.h"

namespace vorna {

// The copy of this user's editor on this desktop, in the state folder; empty when the user has
// no home to keep it in.
std::string DefaultRecoveryCopyPath();

class RecoveryKeeper : public QObject {
  Q_OBJECT

 public:
  // `copy_path` empty: no copies at all. `unsaved_model` gives the model to copy while it holds
  // unsaved edits and null otherwise; `may_copy_now` says whether nothing is half done (no
  // dialog editing it, no read or save running).
  RecoveryKeeper(std::string copy_path, std::function<const Model*()> unsaved_model,
                 std::function<bool()> may_copy_now, QObject* parent = nullptr);
  // The editor ends cleanly: the copy goes.
  ~RecoveryKeeper() override;

  // True when this editor owns the copy (no other editor of the desktop does).
  bool active() const { return lock_ != nullptr; }
  const std::string& copy_path() const { return copy_path_; }

  // The model changed; `step_ms` is how long the step took to make.
  void Changed(qint64 step_ms = 0);
  // Nothing changed in the model, but it may hold nothing unsaved any more (closed, saved): then
  // the copy goes.
  void Settle();
  // A copy left by an editor that did not end cleanly and is worth offering.
  std::optional<RecoveryHeader> Leftover() const;
  // The copy is not wanted: removed, after any write still running.
  void Discard();

 signals:
  // The first copy that cannot be written since the last one that could, with the reason.
  void writeFailed(const QString& message);

 private:
  void WriteNow();
  void Written(bool ok, const QString& why);
  void Wait();

  std::string copy_path_;
  std::function<const Model*()> unsaved_model_;
  std::function<bool()> may_copy_now_;
  std::unique_ptr<QLockFile> lock_;
  RecoverySchedule schedule_;
  QTimer timer_;
  std::thread worker_;
};

}  // namespace vorna
