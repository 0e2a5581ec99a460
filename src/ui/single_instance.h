// One editor per user and display: a later start on the same desktop hands its file to the
// running editor over a local socket and ends. Other desktops of the same user, and runs without
// a display (tests, scripts), keep editors of their own.
#pragma once

#include <sys/types.h>

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace vorna {

// A short name for the desktop of Qt platform `platform`: the X display (without its screen
// number) for xcb, the Wayland display for wayland, the platform's name for the others. Empty
// for an X platform without a display.
QString DesktopKey(const QString& platform, const QString& x_display,
                   const QString& wayland_display);
// The desktop of this process (after the application is created).
QString DefaultDesktopKey();
// The socket name of `user`'s editor on that desktop. Empty for offscreen and minimal: such runs
// never share an editor.
QString InstanceName(uid_t user, const QString& platform, const QString& x_display,
                     const QString& wayland_display);
// The socket name of this process's user and desktop (after the application is created).
QString DefaultInstanceName();

class SingleInstance : public QObject {
  Q_OBJECT
 public:
  explicit SingleInstance(QString name, QObject* parent = nullptr)
      : QObject(parent), name_(std::move(name)) {}

  // Hands `path` (empty: none) to a running editor. True when one took it.
  bool HandOver(const QString& path, int timeout_ms = 2000) const;
  // Becomes the running editor. False when the name cannot be taken.
  bool Listen();

 signals:
  // A later start arrived, with its file or an empty path.
  void handedOver(const QString& path);

 private:
  void Accept();

  QString name_;
  QLocalServer server_;
};

}  // namespace vorna
