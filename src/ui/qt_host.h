// Messages, questions and the wait cursor of the core shown with Qt: modal message boxes with
// the caption "VORNA" owned by the main window, and the override cursor.
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

 private:
  QPointer<QWidget> owner_;
};

}  // namespace vorna
