// Every menu command from Edit to Direction and the Motion buttons, in a random order on the
// sample with a random node selected and questions answered at random. Each dialog one opens
// gets random slider and spin box positions, texts (numbers, nonsense, huge values), combo
// choices, list and tree rows, tabs, buttons (and the dialogs they open) and menu items, then OK or
// Cancel. Checked is that the editor survives it (run under the sanitizers, this finds the index
// and state faults the scripted tests do not think of), that no dialog opens with one control drawn
// over another or opens away from the window, that after each change the view shows the state as it
// is now (a redraw that is never asked for leaves it showing the one before), and that the run goes
// as it went before: each dialog's controls and the view as the monkey leaves them, and after each
// command the window title, status line, menu states, messages, Unit tree, model, modified flag and
// the view drawn are compared with ui/monkey.txt.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/commands.h"
#include "formats/tagged_text.h"
#include "model/host.h"
#include "model/model_check.h"
#include "render/camera.h"
#include "support/test_support.h"
#include "ui/dialog_placement.h"
#include "ui/layout_snapshot.h"
#include "ui/main_window.h"
#include "ui/motion_strip.h"
#include "ui/ui_test_registry.h"
#include "ui/unit_tree.h"
#include "ui/view_window.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

template <typename T>
T* Pick(const QList<T*>& items, QRandomGenerator& rng) {
  return items.empty() ? nullptr : items[rng.bounded(static_cast<int>(items.size()))];
}

struct Monkey {
  QRandomGenerator rng;
  MainWindow* window = nullptr;
  std::string trace;
  int opened = 0;
  QStringList misplaced;  // as opened, before the monkey hides or moves anything
  QStringList stale;      // where the view went on showing an earlier state
  RenderContext frame;    // the view at a size of its own: the window's depends on the fonts

  // The session's view of `model` drawn into `frame`, as a number. The projection too follows the
  // view: perspective, playback and the free camera's zoom.
  std::string FrameDigest(Model& model) {
    SetupProjection(frame, window->session().view());
    RenderFrame(frame, model, window->session().view());
    const std::vector<uint8_t>& drawn = frame.device->back_buffer().rgba;
    return std::to_string(std::hash<std::string_view>()(
        std::string_view(reinterpret_cast<const char*>(drawn.data()), drawn.size())));
  }

  // What the view puts on screen, once the frame asked for is painted, is the session as it is: a
  // frame drawn afresh at the view's size, with its marker size, material and texture preview.
  void CheckViewCurrent(const QString& where) {
    const QImage on_screen = window->view_window()->grab().toImage().convertToFormat(
        QImage::Format_RGBA8888);  // paints at once what the next paint would show
    EditorSession& session = window->session();
    const RenderContext& shown = session.render();
    RenderContext fresh;
    QVERIFY(InitDevice(fresh, session.view(), on_screen.width(), on_screen.height()));
    fresh.marker_scale = shown.marker_scale;
    fresh.default_material = shown.default_material;
    fresh.preview = shown.preview;
    SetupProjection(fresh, session.view());
    Model copy = session.model();
    RenderFrame(fresh, copy, session.view());
    const Image& drawn = fresh.device->back_buffer();
    if (on_screen != QImage(drawn.rgba.data(), drawn.width, drawn.height, drawn.width * 4,
                            QImage::Format_RGBA8888)) {
      stale << where;
    }
  }

  // Works the dialog that has opened over `outer` (null: the main window), if one has: pokes it,
  // traces it and leaves it with OK or Cancel; false when none has.
  bool WorkNext(const QWidget* outer) {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || dialog == outer) return false;
    const QString name = QString::fromLatin1(dialog->metaObject()->className());
    const bool accept = rng.bounded(2) == 0;
    ++opened;
    for (const QString& pair : test::OverlappingSiblings(*dialog)) misplaced << name + ": " + pair;
    if (outer == nullptr &&
        dialog->pos() != BesideWindow(window->frameGeometry(), dialog->frameGeometry().size(),
                                      dialog->screen()->availableGeometry())) {
      misplaced << name + ": not beside the window";
    }
    for (int step = 0; step < 40 && dialog->isVisible(); ++step) {
      Poke(*dialog);
      CheckViewCurrent(name);
    }
    if (!dialog->isVisible()) {  // closed by a button of its own
      trace += "closed " + name.toStdString() + "\n";
      return true;
    }
    Model shown = window->session().model();  // what the view draws while the dialog is open
    trace += "drawn " + FrameDigest(shown) + "\n";
    trace += (accept ? "OK " : "Cancel ") + test::LayoutDescription(*dialog).toStdString();
    if (accept) dialog->accept();
    if (dialog->isVisible()) {  // Cancel, or OK refused what the dialog holds
      if (accept) trace += "refused\n";
      dialog->reject();
    }
    return true;
  }

  // One random change to one of the dialog's controls.
  void Poke(QDialog& dialog) {
    static const char* const kTexts[] = {"",     "0",   "1",   "-5",  "abc",
                                         "1e40", "nan", "360", "0.5", "99999999999"};
    const auto position = [this](auto* w) {  // of a slider or spin box
      if (w && w->isEnabled())
        w->setValue(w->minimum() + rng.bounded(w->maximum() - w->minimum() + 1));
    };
    const auto entry = [this](auto* w) {  // of a combo box or tab widget
      if (w && w->isEnabled() && w->count() > 0) w->setCurrentIndex(rng.bounded(w->count()));
    };
    switch (rng.bounded(8)) {
      case 0:
        position(Pick(dialog.findChildren<QSlider*>(), rng));
        break;
      case 1:
        if (QLineEdit* e = Pick(dialog.findChildren<QLineEdit*>(), rng);
            e && e->isEnabled() && !e->isReadOnly()) {
          e->setFocus();
          e->setText(QString::fromLatin1(kTexts[rng.bounded(10)]));
        }
        break;
      case 2:
        entry(Pick(dialog.findChildren<QComboBox*>(), rng));
        break;
      case 3: {
        // Toggles and push buttons but OK, Cancel and Qt's own tool buttons (the menu bar's popup
        // would wait for a click).
        QList<QAbstractButton*> buttons;
        for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
          if (b->isEnabled() && qobject_cast<QDialogButtonBox*>(b->parentWidget()) == nullptr &&
              qobject_cast<QToolButton*>(b) == nullptr) {
            buttons.push_back(b);
          }
        }
        if (QAbstractButton* b = Pick(buttons, rng)) {
          QObject context;  // takes the handler along when the click opens no dialog
          QTimer::singleShot(0, &context, [this, &dialog] { WorkNext(&dialog); });
          b->click();
        }
        break;
      }
      case 4:
        position(Pick(dialog.findChildren<QSpinBox*>(), rng));
        break;
      case 5: {  // a row of a list or tree; a combo box's list is a window of its own
        QList<QAbstractItemView*> views;
        for (QAbstractItemView* v : dialog.findChildren<QAbstractItemView*>()) {
          if (v->window() == &dialog && v->isEnabled() && v->model()->rowCount() > 0) views << v;
        }
        if (QAbstractItemView* v = Pick(views, rng)) {
          v->setCurrentIndex(v->model()->index(rng.bounded(v->model()->rowCount()), 0));
        }
        break;
      }
      case 6:
        entry(Pick(dialog.findChildren<QTabWidget*>(), rng));
        break;
      default: {
        // Items ending in dots open file dialogs; they are left out.
        QList<QAction*> items;
        for (QMenu* menu : dialog.findChildren<QMenu*>()) {
          for (QAction* a : menu->actions()) {
            if (!a->isSeparator() && a->isEnabled() && a->menu() == nullptr &&
                !a->text().contains(QStringLiteral(".."))) {
              items.push_back(a);
            }
          }
        }
        if (QAction* a = Pick(items, rng)) a->trigger();
      }
    }
  }
};

class DialogMonkeyTest : public QObject {
  Q_OBJECT

 private slots:
  void EveryDialogSurvivesRandomEdits() {
    // VORNA_MONKEY_SEED replays or varies the run.
    const bool seeded = qEnvironmentVariableIsSet("VORNA_MONKEY_SEED");
    Monkey monkey{
        QRandomGenerator(seeded ? qEnvironmentVariableIntValue("VORNA_MONKEY_SEED") : 1234)};
    QRandomGenerator& rng = monkey.rng;
    std::string& trace = monkey.trace;
    ScriptedHost host;
    MainWindow window(&host);
    monkey.window = &window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.view_window()->device_ready());
    QVERIFY(window.OpenPath(QStringLiteral(VORNA_SOURCE_DIR "/samples/walker.vrn")));
    const Model& model = window.session().model();
    QVERIFY(InitDevice(monkey.frame, window.session().view(), 64, 48));
    size_t told = 0;
    // Every command of the menus between File and Help but playback, and the Motion buttons.
    std::vector<int> ids;
    for (const CommandInfo& command : CommandTable()) {
      if (command.menu > kMenuFile && command.menu < kMenuHelp && command.id != kCmdPlayStop) {
        ids.push_back(command.id);
      }
    }
    for (int motion = 0; motion < 6; ++motion) ids.push_back(kCmdMotionButton + motion);
    // Three rounds on the sample, then on a model read from DXF (no Units, no Anims), on a
    // textured one with Units of many Parts, and on models read from .x and glTF.
    const std::string source = VORNA_SOURCE_DIR "/";
    for (const char* path :
         {"", "", "", "tests/data/cli/cases/walker.dxf", "samples/character.vrn", "",
          "tests/data/cli/cases/walker_skin.x", "tests/data/cli/inputs/turns.vrn",
          "tests/data/cli/cases/two_parts.gltf", "tests/data/cli/cases/character.glb"}) {
      if (*path != '\0') {
        window.session().model().modified = false;  // dropped, not saved
        QVERIFY(window.OpenPath(QString::fromStdString(source + path)));
      }
      std::shuffle(ids.begin(), ids.end(), rng);
      for (int id : ids) {
        window.unit_tree()->setCurrentItem(window.unit_tree()->ItemOfNode(
            static_cast<int>(rng.bounded(static_cast<quint32>(model.node_count)))));
        host.QueueAnswer(rng.bounded(2) == 0 ? Answer::kYes : Answer::kNo);  // for a question
        QTimer::singleShot(0, this, [&monkey] { monkey.WorkNext(nullptr); });
        if (const int motion = id - kCmdMotionButton; motion >= 0 && motion < kMaxMotions) {
          // A Motion is chosen on the strip, as the user does.
          if (motion < window.strip()->ButtonCount()) window.strip()->ButtonAt(motion)->click();
        } else {
          window.RunCommand(id);
        }
        QCoreApplication::processEvents();  // the handler above, when no dialog opened
        monkey.CheckViewCurrent(QString::number(id));
        trace += std::to_string(id) + " " + window.windowTitle().toStdString() + " | " +
                 window.statusBar()->findChild<QLabel*>()->text().toStdString() + "\n";
        for (; told < host.entries.size(); ++told) {  // folders named from the checkout
          std::string text = host.entries[told].text;
          if (const size_t at = text.find(source); at != std::string::npos) {
            text.erase(at, source.size());
          }
          trace += text + "\n";
        }
        for (const QAction* menu : window.menuBar()->actions()) {
          for (const QAction* item : menu->menu()->actions()) {
            trace += item->isSeparator()  ? ' '
                     : !item->isEnabled() ? '-'
                     : item->isChecked()  ? 'X'
                                          : 'E';
          }
        }
        trace += "\ntree " + test::Paths(*window.unit_tree()).join(' ').toStdString();
        QVERIFY(CheckModel(model, nullptr));         // a model the reader would accept
        auto copy = std::make_unique<Model>(model);  // the writer clamps what it writes
        trace += "\nframe " + monkey.FrameDigest(*copy);
        trace += " model " +
                 std::to_string(
                     std::hash<std::string>()(FormatTaggedText(*copy, {}, TextVariant::kVrn))) +
                 (model.modified ? " modified\n" : "\n");
      }
    }
    QVERIFY(monkey.opened >= 30);  // most commands were enabled and opened their dialog
    monkey.misplaced.removeDuplicates();
    QCOMPARE(monkey.misplaced, QStringList());
    monkey.stale.removeDuplicates();
    QCOMPARE(monkey.stale, QStringList());
    QCOMPARE(test::ReferenceFileDifference(trace, "ui/monkey.txt"), "");
  }
};

}  // namespace

VORNA_UI_TEST(DialogMonkeyTest)

}  // namespace vorna

#include "dialog_monkey_test.moc"
