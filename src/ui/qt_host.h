// Messages, questions and the wait cursor of the core shown with Qt: modal message boxes with
// the caption "VORNA" owned by the main window, and the override cursor. Long reads and saves run
// on a worker thread behind a progress dialog that appears when they last.
#pragma once

#include <QPointer>
#include <QWidget>

#include "model/host.h"

namespace vorna {

class QtHost : public Host {
 public:
  explicit QtHost(QWidget* owner = nullptr) : owner_(owner) {}
  void set_owner(QWidget* owner) { owner_ = owner; }

  void Message(std::string_view text, MessageIcon icon) override;
  Answer Question(std::string_view text, Buttons buttons, MessageIcon icon) override;
  void BeginWait() override;
  void EndWait() override;
  // The work runs on a worker thread while this thread goes on handling events other than the
  // user's. Past `show_after_ms` the dialog "ﾌｧｲﾙを読み込んでいます･･･" or
  // "ﾌｧｲﾙを保存しています･･･" appears, window-modal, with the percentage and "ｷｬﾝｾﾙ"; a save loses
  // the button once its bytes are all written, as nothing can be stopped from then on.
  void RunLongTask(LongTask task,
                   const std::function<void(const ProgressCallback&)>& work) override;
  // True while a long task runs: nothing may start another read or save, or touch the Model.
  bool busy() const { return busy_; }
  void set_show_after_ms(int ms) { show_after_ms_ = ms; }

 private:
  QPointer<QWidget> owner_;
  bool busy_ = false;
  int show_after_ms_ = 300;
};

}  // namespace vorna
