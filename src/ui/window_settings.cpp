#include "ui/window_settings.h"

#include <QStringList>

#include "ui/file_dialogs.h"

namespace vorna {
namespace {

const QString kRecentFiles = QStringLiteral("recentFiles");
const QString kGeometry = QStringLiteral("window/geometry");
const QString kLastFolder = QStringLiteral("folders/lastChosen");
const QString kImportSkeleton = QStringLiteral("import/skeleton");

}  // namespace

WindowSettings::WindowSettings()
    : settings_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                            QStringLiteral("vorna"), QStringLiteral("vorna"))) {}

WindowSettings::WindowSettings(const QString& file)
    : settings_(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

std::vector<std::string> WindowSettings::RecentFiles() const {
  std::vector<std::string> paths;
  for (const QString& path : settings_->value(kRecentFiles).toStringList()) {
    paths.push_back(PathBytes(path));
  }
  return paths;
}

void WindowSettings::SetRecentFiles(const std::vector<std::string>& paths) {
  QStringList list;
  for (const std::string& path : paths) list.push_back(PathText(path));
  settings_->setValue(kRecentFiles, list);
  settings_->sync();
}

QByteArray WindowSettings::Geometry() const { return settings_->value(kGeometry).toByteArray(); }

void WindowSettings::SetGeometry(const QByteArray& geometry) {
  settings_->setValue(kGeometry, geometry);
}

QString WindowSettings::LastFolder() const { return settings_->value(kLastFolder).toString(); }

void WindowSettings::SetLastFolder(const QString& folder) {
  settings_->setValue(kLastFolder, folder);
  settings_->sync();
}

std::optional<bool> WindowSettings::ImportSkeleton() const {
  if (!settings_->contains(kImportSkeleton)) return std::nullopt;
  return settings_->value(kImportSkeleton).toBool();
}

void WindowSettings::SetImportSkeleton(bool on) {
  settings_->setValue(kImportSkeleton, on);
  settings_->sync();
}

}  // namespace vorna
