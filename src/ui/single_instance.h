// One editor per user: a later start hands its file to the running editor over a local socket
// and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace vorna {

// The socket name of the current user's editor.
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
