#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "model/host.h"
#include "support/test_support.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"
#include "ui/ui_test_registry.h"

namespace vorna {
namespace {

const QString kWalker = QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn");

QStringList MenuTexts(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) texts.push_back(action->text());
  return texts;
}

class RecentFilesTest : public QObject {
  Q_OBJECT

 private slots:
  void SurviveARestartAndLoseGoneFiles() {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("vorna.ini"));
    const QString copy = dir.filePath(QStringLiteral("copy.vrn"));
    QVERIFY(QFile::copy(kWalker, copy));
    ScriptedHost host;
    {
      MainWindow window(&host, nullptr, settings);
      QVERIFY(!window.recent_menu()->menuAction()->isEnabled());
      QVERIFY(window.OpenPath(kWalker));
      QVERIFY(window.OpenPath(copy));
      QVERIFY(window.OpenPath(kWalker));
      window.resize(640, 400);
      window.move(30, 40);
      SetLastChosenFolder(dir.path());
      host.QueueAnswer(Answer::kYes);  // "VORNA を終了しますか？"
      QVERIFY(window.close());
    }
    SetLastChosenFolder(QString());
    MainWindow again(&host, nullptr, settings);
    QCOMPARE(MenuTexts(again.recent_menu()),
             QStringList({QStringLiteral("&1 ") + kWalker, QStringLiteral("&2 ") + copy}));
    QCOMPARE(again.size(), QSize(640, 400));
    QCOMPARE(LastChosenFolder(), dir.path());

    // The copy has gone: choosing it says so and takes it off the list, for good.
    QVERIFY(QFile::remove(copy));
    host.entries.clear();
    again.recent_menu()->actions()[1]->trigger();
    QCOMPARE(host.entries.size(), size_t{1});
    QVERIFY(host.entries[0].text.find("が見つかりません") != std::string::npos);
    QCOMPARE(MenuTexts(again.recent_menu()), QStringList({QStringLiteral("&1 ") + kWalker}));
    MainWindow third(&host, nullptr, settings);
    QCOMPARE(third.recent_files().paths().size(), size_t{1});
  }
};

VORNA_UI_TEST(RecentFilesTest)

}  // namespace
}  // namespace vorna

#include "recent_files_test.moc"
