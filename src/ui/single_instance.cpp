#include "ui/single_instance.h"

#include <unistd.h>

#include <QLocalSocket>
#include <QPointer>

namespace vorna {
namespace {

// Paths longer than this are not accepted from another process.
constexpr qint64 kMaxMessage = 64 * 1024;

}  // namespace

QString DefaultInstanceName() {
  return QStringLiteral("vorna-editor-%1").arg(static_cast<qulonglong>(getuid()));
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
