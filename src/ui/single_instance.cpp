#include "ui/single_instance.h"

#include <unistd.h>

#include <QCryptographicHash>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QPointer>

namespace vorna {
namespace {

// Paths longer than this are not accepted from another process.
constexpr qint64 kMaxMessage = 64 * 1024;

}  // namespace

QString DesktopKey(const QString& platform, const QString& x_display,
                   const QString& wayland_display) {
  QString desktop;
  if (platform == QLatin1String("xcb")) {
    // ":0" and ":0.1" are screens of one display, which one editor serves.
    desktop = x_display;
    const qsizetype colon = desktop.lastIndexOf(QLatin1Char(':'));
    const qsizetype dot = desktop.indexOf(QLatin1Char('.'), colon);
    if (colon >= 0 && dot > colon) desktop.truncate(dot);
    if (desktop.isEmpty()) return QString();
  } else if (platform.startsWith(QLatin1String("wayland"))) {
    desktop = wayland_display.isEmpty() ? QStringLiteral("wayland-0") : wayland_display;
  } else {
    desktop = platform;
  }
  // Display names hold ':' and '/', which a socket or file name must not.
  return QString::fromLatin1(
      QCryptographicHash::hash((platform + QLatin1Char('\n') + desktop).toUtf8(),
                               QCryptographicHash::Sha1)
          .toHex()
          .left(16));
}

QString DefaultDesktopKey() {
  return DesktopKey(QGuiApplication::platformName(), qEnvironmentVariable("DISPLAY"),
                    qEnvironmentVariable("WAYLAND_DISPLAY"));
}

QString InstanceName(uid_t user, const QString& platform, const QString& x_display,
                     const QString& wayland_display) {
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
    return QString();
  }
  const QString key = DesktopKey(platform, x_display, wayland_display);
  if (key.isEmpty()) return QString();
  return QStringLiteral("vorna-editor-%1-%2").arg(static_cast<qulonglong>(user)).arg(key);
}

QString DefaultInstanceName() {
  return InstanceName(getuid(), QGuiApplication::platformName(), qEnvironmentVariable("DISPLAY"),
                      qEnvironmentVariable("WAYLAND_DISPLAY"));
}

bool SingleInstance::HandOver(const QString& path, int timeout_ms) const {
  QLocalSocket socket;
  socket.connectToServer(name_);
  if (!socket.waitForConnected(timeout_ms)) return false;
  // The path, then a line feed that says the message is complete.
  socket.write(path.toUtf8() + '\n');
  if (!socket.waitForBytesWritten(timeout_ms)) return false;
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeout_ms);
  return true;
}

bool SingleInstance::Listen() {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  if (!server_.listen(name_)) {
    // A socket left behind by an editor that did not end cleanly: nobody answers on it.
    QLocalSocket probe;
    probe.connectToServer(name_);
    if (probe.waitForConnected(500)) return false;
    QLocalServer::removeServer(name_);
    if (!server_.listen(name_)) return false;
  }
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::Accept);
  return true;
}

void SingleInstance::Accept() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->bytesAvailable() > kMaxMessage) {
        socket->abort();
        return;
      }
      if (!socket->canReadLine()) return;
      QByteArray line = socket->readLine(kMaxMessage);
      line.chop(1);
      socket->disconnectFromServer();
      emit handedOver(QString::fromUtf8(line));
    });
  }
}

}  // namespace vorna
