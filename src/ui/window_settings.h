// What the editor keeps between runs: the recent files, the window's place and size, the folder
// of the last file chosen in a file dialog, and whether files are read with their skeletons. Stored
// with QSettings in the user's settings folder (XDG_CONFIG_HOME), or in a file of the caller's
// choosing.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorna {

class WindowSettings {
 public:
  // The user's settings: vorna/vorna.ini in the settings folder.
  WindowSettings();
  // An INI file of its own (tests).
  explicit WindowSettings(const QString& file);

  std::vector<std::string> RecentFiles() const;
  void SetRecentFiles(const std::vector<std::string>& paths);
  QByteArray Geometry() const;
  void SetGeometry(const QByteArray& geometry);
  QString LastFolder() const;
  void SetLastFolder(const QString& folder);
  // Whether files are read with their skeletons; unset until the file menu's item is used.
  std::optional<bool> ImportSkeleton() const;
  void SetImportSkeleton(bool on);

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace vorna
