// Crash recovery end to end: an editor is killed in the middle of its edits and the next one
// restores them. The killed editor is this program started again as "RecoveryEditor", which
// runs the editor's window on the model named by VORNA_RECOVERY_MODEL.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "formats/registry.h"
#include "model/file_paths.h"
#include "support/test_support.h"
#include "ui/edit_history.h"
#include "ui/main_window.h"
#include "ui/recovery_keeper.h"
#include "ui/size_dialog.h"
#include "ui/ui_test_registry.h"
#include "ui/view_window.h"

namespace vorna {
namespace {

constexpr char kModelVariable[] = "VORNA_RECOVERY_MODEL";
// Every test program starts in a home of its own: the parent's state folder comes by name.
constexpr char kStateVariable[] = "VORNA_RECOVERY_STATE";

bool ShowReady(MainWindow& window) {
  window.show();
  return QTest::qWaitForWindowExposed(&window) &&
         QTest::qWaitFor([&] { return window.view_window()->device_ready(); });
}

// The editor that is killed: it opens the model, flips it and spends a few seconds in the size
// dialog, a step long enough to be copied at once. Once the copy is there it saves what the
// model would be saved as beside it ("expected.vrn") and says "ready".
class RecoveryEditor : public QObject {
  Q_OBJECT

 private slots:
  void EditUntilKilled() {
    const QString model = qEnvironmentVariable(kModelVariable);
    qputenv("XDG_STATE_HOME", qgetenv(kStateVariable));
    ScriptedHost host;
    MainWindow window(&host);
    QVERIFY(ShowReady(window));
    QVERIFY(window.OpenPath(model));
    window.RunCommand(kCmdFlipCulling);
    QTimer::singleShot(RecoverySchedule::kLongStepMs + 100, &window, [] {
      if (auto* size = qobject_cast<SizeDialog*>(QApplication::activeModalWidget())) {
        size->scale_box(0)->setText(QStringLiteral("0.5"));
        size->accept();
      }
    });
    window.RunCommand(kCmdSizePosition);
    const std::string copy = DefaultRecoveryCopyPath();
    QTRY_VERIFY_WITH_TIMEOUT(FileExists(copy), 10000);
    auto saved = std::make_unique<Model>(window.session().model());
    QVERIFY(SaveModel(*saved, PathBytes(QFileInfo(model).dir().filePath("expected.vrn")),
                      ModelFormat::kVrnText, {}, host));
    std::printf("ready\n");
    std::fflush(stdout);
    QTest::qWait(60000);
  }
};

class RecoveryTest : public QObject {
  Q_OBJECT

 private slots:
  void AKilledEditorsEditsAreRestoredAsTheyWere() {
    test::TempDir dir;
    const QString model = QString::fromStdString(dir.File("walker.vrn"));
    test::WriteFile(dir.File("walker.vrn"), test::ReadFile(VORNA_SOURCE_DIR "/samples/walker.vrn"));
    QTemporaryDir state;
    const QByteArray own_state = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));

    QProcess editor;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kModelVariable, model);
    environment.insert(kStateVariable, state.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    editor.setProcessEnvironment(environment);
    editor.start(QCoreApplication::applicationFilePath(), {QStringLiteral("RecoveryEditor")});
    QVERIFY(editor.waitForStarted());
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += editor.readAllStandardOutput()).contains("ready"), 60000);
    editor.kill();  // SIGKILL: nothing of the editor's own runs any more
    QVERIFY(editor.waitForFinished());
    const std::string expected = test::ReadFile(dir.File("expected.vrn"));
    QVERIFY(!expected.empty());

    ScriptedHost host;
    host.QueueAnswer(Answer::kYes);  // "復元"
    QTemporaryDir settings;
    MainWindow again(&host, nullptr, settings.filePath(QStringLiteral("vorna.ini")));
    QVERIFY(ShowReady(again));
    QTRY_VERIFY(again.session().model_loaded());
    QCOMPARE(host.entries.size(), size_t{1});
    QVERIFY(host.entries[0].text.find("walker.vrn") != std::string::npos);
    QVERIFY(again.session().model().modified);
    QCOMPARE(again.windowTitle(), QStringLiteral("VORNA  <walker.vrn> *"));
    // Saving writes the file the copy belongs to, in its format: what the killed editor had.
    again.RunCommand(kCmdSave);
    QCOMPARE(test::ReadFile(dir.File("walker.vrn")), expected);
    QCOMPARE(again.windowTitle(), QStringLiteral("VORNA  <walker.vrn>"));
    QVERIFY(!FileExists(DefaultRecoveryCopyPath()));  // nothing unsaved is left
    qputenv("XDG_STATE_HOME", own_state);
  }
};

// The killed editor runs only when asked for by name, with its model.
[[maybe_unused]] const int kEditorRegistered =
    qEnvironmentVariableIsSet(kModelVariable)
        ? test::RegisterUiTest("RecoveryEditor", [] { return new RecoveryEditor; })
        : 0;

}  // namespace

VORNA_UI_TEST(RecoveryTest)

}  // namespace vorna

#include "recovery_test.moc"
