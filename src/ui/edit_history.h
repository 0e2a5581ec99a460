// The undo history of the editor window: the steps the session's recorder makes, each wrapped in
// a QUndoCommand on one QUndoStack. The stack's clean state is the saved state, and the Model's
// `modified` flag follows it. The steps are capped by the memory they hold; the oldest go first.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QUndoStack>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "editor/editor_session.h"

namespace vorna {

struct StepRecord;

class EditHistory : public QObject {
  Q_OBJECT

 public:
  static constexpr size_t kDefaultByteCap = size_t{256} << 20;

  explicit EditHistory(EditorSession& session, QObject* parent = nullptr);
  // The stack empties itself on destruction; nobody may hear of that, the session may be gone.
  ~EditHistory() override { stack_.disconnect(); }

  QUndoStack& stack() { return stack_; }
  void set_byte_cap(size_t bytes) { byte_cap_ = bytes; }
  // The memory the steps on the stack hold.
  size_t bytes() const;

  // Opens a step named after the command or tree edit `id` (editor/commands.h StepName); ids
  // without a step name record nothing. Every Begin needs its End.
  void Begin(int id);
  // Closes the step and puts it on the stack when the Model changed.
  void End();
  // The open step is taken back when it ends (its dialog was cancelled): the Model returns to
  // what it was at Begin and nothing is recorded.
  void Revert();
  // The Motion strip's thumbnails, kept with each step so that undo and redo show them as they
  // were (null: none kept).
  void SetThumbnailSource(std::function<std::vector<QImage>()> source) {
    thumbnails_ = std::move(source);
  }

  void Undo();
  void Redo();
  // The names of the steps undo and redo would take, "" for none.
  std::string_view UndoName() const;
  std::string_view RedoName() const;
  // The Model was saved: this is the state that needs no save question.
  void MarkSaved();
  // A model was loaded or closed: no step applies to it. A load that already changed the model
  // (fitted it) leaves no clean state to return to.
  void Clear();

 signals:
  // Undo or redo changed the Model; the window shows it again, with the strip's thumbnails as
  // they were at that state (empty when none were kept).
  void stepApplied(bool motions_changed, const std::vector<QImage>& thumbnails);
  // The Model's place in the history changed (a step, undo, redo, a save, a load): `modified`
  // is up to date; `step_ms` is how long a new step took to make, 0 otherwise.
  void positionChanged(qint64 step_ms);

 private:
  void Push(std::shared_ptr<StepRecord> record);
  void DropOldest();
  void FollowClean();
  std::vector<QImage> Thumbnails() const {
    return thumbnails_ ? thumbnails_() : std::vector<QImage>();
  }

  EditorSession& session_;
  QUndoStack stack_;
  size_t byte_cap_ = kDefaultByteCap;
  // The step Begin opened was an undoable one (nested Begins count too).
  std::vector<bool> open_;
  bool rebuilding_ = false;
  std::function<std::vector<QImage>()> thumbnails_;
  // Of the outermost step open: when it began and the thumbnails then.
  QElapsedTimer step_clock_;
  std::vector<QImage> thumbnails_before_;
  qint64 new_step_ms_ = 0;
};

// Runs `edit` as one step of `history` (null: just runs it).
template <typename Edit>
void RecordStep(EditHistory* history, int id, Edit&& edit) {
  if (history != nullptr) history->Begin(id);
  edit();
  if (history != nullptr) history->End();
}

}  // namespace vorna
