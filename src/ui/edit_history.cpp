#include "ui/edit_history.h"

#include <QUndoCommand>
#include <functional>
#include <utility>
#include <vector>

namespace vorna {

// One recorded step with the strip's thumbnails before and after it.
struct StepRecord {
  std::shared_ptr<ModelStep> step;
  std::vector<QImage> before;
  std::vector<QImage> after;
};

namespace {

using Applied = std::function<void(bool, const std::vector<QImage>&)>;

// The command is pushed after its edit was made, so the first redo, which the stack runs on
// push, has nothing to do.
class StepCommand : public QUndoCommand {
 public:
  StepCommand(std::shared_ptr<StepRecord> record, Model& model, Applied applied)
      : QUndoCommand(QString::fromStdString(record->step->name())),
        record_(std::move(record)),
        model_(model),
        applied_(std::move(applied)) {}

  const std::shared_ptr<StepRecord>& record() const { return record_; }

  void undo() override { Apply(record_->before); }
  void redo() override {
    if (std::exchange(done_, false)) return;
    Apply(record_->after);
  }

 private:
  void Apply(const std::vector<QImage>& thumbnails) {
    record_->step->Swap(model_);
    applied_(record_->step->touches_motions(), thumbnails);
  }

  std::shared_ptr<StepRecord> record_;
  Model& model_;
  Applied applied_;
  bool done_ = true;
};

const StepCommand* StepAt(const QUndoStack& stack, int index) {
  return index >= 0 && index < stack.count() ? static_cast<const StepCommand*>(stack.command(index))
                                             : nullptr;
}

}  // namespace

EditHistory::EditHistory(EditorSession& session, QObject* parent)
    : QObject(parent), session_(session) {
  connect(&stack_, &QUndoStack::indexChanged, this, [this] { FollowClean(); });
  connect(&stack_, &QUndoStack::cleanChanged, this, [this] { FollowClean(); });
}

size_t EditHistory::bytes() const {
  size_t total = 0;
  for (int i = 0; i < stack_.count(); ++i) total += StepAt(stack_, i)->record()->step->bytes();
  return total;
}

void EditHistory::Begin(int id) {
  const std::string_view name = StepName(id);
  open_.push_back(!name.empty());
  if (name.empty()) return;
  if (!session_.steps().recording()) {
    step_clock_.start();
    thumbnails_before_ = Thumbnails();
  }
  session_.steps().Begin(name);
}

void EditHistory::End() {
  if (open_.empty()) return;
  const bool undoable = open_.back();
  open_.pop_back();
  if (!undoable) return;
  if (std::unique_ptr<ModelStep> step = session_.steps().End()) {
    new_step_ms_ = step_clock_.elapsed();
    Push(std::make_shared<StepRecord>(
        StepRecord{std::move(step), std::exchange(thumbnails_before_, {}), Thumbnails()}));
  }
}

void EditHistory::Revert() { session_.steps().Revert(); }

void EditHistory::Push(std::shared_ptr<StepRecord> record) {
  stack_.push(new StepCommand(std::move(record), session_.model(),
                              [this](bool motions, const std::vector<QImage>& thumbnails) {
                                emit stepApplied(motions, thumbnails);
                              }));
  DropOldest();
}

void EditHistory::DropOldest() {
  size_t total = bytes();
  if (total <= byte_cap_) return;
  // The stack drops commands only by count, so it is filled again with the newest steps that
  // fit; the newest is kept whatever it holds.
  const int count = stack_.count();
  std::vector<std::shared_ptr<StepRecord>> records;
  for (int i = 0; i < count; ++i) records.push_back(StepAt(stack_, i)->record());
  int drop = 0;
  while (drop < count - 1 && total > byte_cap_) total -= records[drop++]->step->bytes();
  if (drop == 0) return;
  const int clean = stack_.cleanIndex();
  rebuilding_ = true;
  stack_.clear();
  for (int i = drop; i < count; ++i) {
    if (i == clean) stack_.setClean();
    stack_.push(new StepCommand(records[i], session_.model(),
                                [this](bool motions, const std::vector<QImage>& thumbnails) {
                                  emit stepApplied(motions, thumbnails);
                                }));
  }
  if (clean == count) {
    stack_.setClean();
  } else if (clean < drop) {
    stack_.resetClean();
  }
  rebuilding_ = false;
}

void EditHistory::Undo() {
  if (stack_.canUndo()) stack_.undo();
}

void EditHistory::Redo() {
  if (stack_.canRedo()) stack_.redo();
}

std::string_view EditHistory::UndoName() const {
  const auto* command = StepAt(stack_, stack_.index() - 1);
  return command != nullptr ? std::string_view(command->record()->step->name())
                            : std::string_view();
}

std::string_view EditHistory::RedoName() const {
  const auto* command = StepAt(stack_, stack_.index());
  return command != nullptr ? std::string_view(command->record()->step->name())
                            : std::string_view();
}

void EditHistory::MarkSaved() {
  stack_.setClean();
  FollowClean();
}

void EditHistory::Clear() {
  rebuilding_ = true;
  stack_.clear();
  if (session_.model().modified) stack_.resetClean();
  rebuilding_ = false;
  emit positionChanged(0);
}

void EditHistory::FollowClean() {
  if (rebuilding_) return;
  session_.model().modified = stack_.isClean() ? 0 : 1;
  emit positionChanged(std::exchange(new_step_ms_, 0));
}

}  // namespace vorna
