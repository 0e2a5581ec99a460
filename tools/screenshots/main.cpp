// vorna-screenshots OUT-DIR [TOUR]: runs every tour (or the one named) on the current display and
// saves its pictures into OUT-DIR.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tour_support.h"
#include "ui/qt_translations.h"

namespace vorna::test {
namespace {

std::vector<std::pair<std::string, std::function<QObject*()>>>& Tours() {
  static std::vector<std::pair<std::string, std::function<QObject*()>>> tours;
  return tours;
}

QString& Folder() {
  static QString folder;
  return folder;
}

}  // namespace

int RegisterTour(const char* name, std::function<QObject*()> make) {
  Tours().emplace_back(name, std::move(make));
  return static_cast<int>(Tours().size());
}

QString TourFolder() { return Folder(); }

}  // namespace vorna::test

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vorna-screenshots OUT-DIR [TOUR]\n");
    return 2;
  }
  // The tours open file dialogs, which Qt lets remember folders in its settings file: they must
  // never reach the user's own.
  QTemporaryDir home;
  if (!home.isValid()) return 1;
  qputenv("HOME", QFile::encodeName(home.path()));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
  qputenv("XDG_STATE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.local/state")));
  QApplication app(argc, argv);
  vorna::InstallQtTranslations(app);
  vorna::test::Folder() = QString::fromLocal8Bit(argv[1]);
  const std::string only = argc > 2 ? argv[2] : "";
  int failures = 0;
  for (const auto& [name, make] : vorna::test::Tours()) {
    if (!only.empty() && name != only) continue;
    std::unique_ptr<QObject> tour(make());
    failures += QTest::qExec(tour.get(), 1, argv);
  }
  return failures == 0 ? 0 : 1;
}
