#include "ui/recovery_keeper.h"

#include <chrono>
#include <ctime>
#include <utility>

#include "ui/single_instance.h"

namespace vorna {
namespace {

// How long a copy that could not start (a dialog open, a save running) waits for the next try.
constexpr int kRetryMs = 1000;

qint64 NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::string DefaultRecoveryCopyPath() {
  const std::string folder =
      RecoveryFolder(qgetenv("XDG_STATE_HOME").toStdString(), qgetenv("HOME").toStdString());
  const QString key = DefaultDesktopKey();
  if (folder.empty() || key.isEmpty()) return {};
  return RecoveryCopyPath(folder, key.toStdString());
}

RecoveryKeeper::RecoveryKeeper(std::string copy_path, std::function<const Model*()> unsaved_model,
                               std::function<bool()> may_copy_now, QObject* parent)
    : QObject(parent),
      copy_path_(std::move(copy_path)),
      unsaved_model_(std::move(unsaved_model)),
      may_copy_now_(std::move(may_copy_now)) {
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, &RecoveryKeeper::WriteNow);
  std::string why;
  if (copy_path_.empty() || !MakeRecoveryFolder(copy_path_, &why)) return;
  // A lock of a process that no longer runs (one that crashed) is taken over.
  auto lock = std::make_unique<QLockFile>(QString::fromStdString(copy_path_ + ".lock"));
  if (lock->tryLock(0)) lock_ = std::move(lock);
}

RecoveryKeeper::~RecoveryKeeper() {
  timer_.stop();
  Wait();
  if (active()) RemoveRecoveryCopy(copy_path_);
}

void RecoveryKeeper::Wait() {
  if (worker_.joinable()) worker_.join();
}

void RecoveryKeeper::Changed(qint64 step_ms) {
  if (!active()) return;
  const qint64 now = NowMs();
  const bool unsaved = unsaved_model_() != nullptr;
  schedule_.Changed(now, unsaved, step_ms);
  if (!unsaved) {
    timer_.stop();
    Discard();
    return;
  }
  if (const std::optional<int64_t> due = schedule_.DueIn(now)) {
    timer_.start(static_cast<int>(*due));
  }
}

void RecoveryKeeper::Settle() {
  if (active() && unsaved_model_() == nullptr) Changed();
}

std::optional<RecoveryHeader> RecoveryKeeper::Leftover() const {
  if (!active()) return std::nullopt;
  return FindRecoveryCopy(copy_path_);
}

void RecoveryKeeper::Discard() {
  if (!active()) return;
  Wait();
  RemoveRecoveryCopy(copy_path_);
}

void RecoveryKeeper::WriteNow() {
  if (worker_.joinable() || !may_copy_now_()) {
    timer_.start(kRetryMs);
    return;
  }
  const Model* model = unsaved_model_();
  if (model == nullptr) return;
  // The copy is taken here, between two events, so the worker never sees a Model being edited.
  auto copy = std::make_unique<Model>(*model);
  schedule_.WriteStarted();
  worker_ = std::thread([this, copy = std::move(copy), path = copy_path_,
                         when = static_cast<int64_t>(std::time(nullptr))] {
    std::string why;
    const bool ok = WriteRecoveryCopy(path, *copy, when, &why);
    QMetaObject::invokeMethod(
        this, [this, ok, why = QString::fromStdString(why)] { Written(ok, why); },
        Qt::QueuedConnection);
  });
}

void RecoveryKeeper::Written(bool ok, const QString& why) {
  Wait();
  const qint64 now = NowMs();
  if (schedule_.WriteEnded(ok, now))
    emit writeFailed(QString::fromUtf8(kRecoveryWriteFailed) + why);
  if (unsaved_model_() == nullptr) {
    Discard();  // saved while the copy was written
    return;
  }
  if (const std::optional<int64_t> due = schedule_.DueIn(now)) {
    timer_.start(static_cast<int>(*due));
  }
}

}  // namespace vorna
