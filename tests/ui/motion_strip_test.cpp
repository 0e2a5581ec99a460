#include "ui/motion_strip.h"

#include <QListWidget>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "model/host.h"
#include "ui/layout_snapshot.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

// `motions` numbered Motions, with thumbnails whose red channel tells which pose they show.
struct FakeView {
  explicit FakeView(int motions) : model(test::Loaded({}, {}, {})) {
    test::NumberedMotions(*model, motions);
  }
  std::unique_ptr<Model> model;
  ScriptedHost host;
  int stops = 0;

  MotionStripHooks Hooks() {
    return {[this] { ++stops; },
            [this] {
              QImage image(32, 32, QImage::Format_RGB32);
              image.fill(qRgb(model->motions[model->current_motion].angle[0][0] * 10, 0, 0));
              return image;
            }};
  }
};

// A strip whose customise dialog answers with a fixed order.
class ScriptedStrip : public MotionStrip {
 public:
  using MotionStrip::MotionStrip;
  std::vector<int> order;

 protected:
  bool RunCustomizeDialog(std::vector<int>* result) override {
    *result = order;
    return true;
  }
};

std::vector<int> Poses(const Model& model) {
  std::vector<int> poses;
  for (int m = 0; m < model.motion_count; ++m) poses.push_back(model.motions[m].angle[0][0]);
  return poses;
}

std::vector<int> ThumbnailPoses(const MotionStrip& strip) {
  std::vector<int> poses;
  for (const QImage& image : strip.Thumbnails()) poses.push_back(qRed(image.pixel(0, 0)) / 10);
  return poses;
}

std::vector<int> Pressed(const MotionStrip& strip) {
  std::vector<int> pressed;
  for (int p = 0; p < strip.ButtonCount(); ++p) {
    if (strip.ButtonAt(p)->isChecked()) pressed.push_back(p);
  }
  return pressed;
}

}  // namespace

class MotionStripTest : public QObject {
  Q_OBJECT

 private slots:
  // Which Motion goes and which becomes current is the core's; here the buttons and the question.
  void CustomizingReordersTheMotionTable() {
    FakeView view(3);
    Model* model = view.model.get();
    ScriptedStrip strip(*model, view.host, view.Hooks());
    strip.RebuildFromTable();

    model->current_motion = 0;  // the window moving the pressed button to the current Motion
    strip.SyncPressed();
    QCOMPARE(Pressed(strip), std::vector<int>({0}));
    strip.order = {1, 2, 0};  // Motion 1 moved behind Motion 3
    strip.Customize();
    QCOMPARE(Poses(*model), std::vector<int>({2, 3, 1}));
    QCOMPARE(ThumbnailPoses(strip), std::vector<int>({2, 3, 1}));
    QCOMPARE(model->current_motion, 2);
    QCOMPARE(Pressed(strip), std::vector<int>({2}));
  }

  void CustomizeDialogEditsTheOrder() {
    MotionCustomizeDialog dialog({}, 3);
    QCOMPARE(test::LayoutDifference(dialog), QString());
    dialog.MoveSelected(-1);  // the first cannot go up
    dialog.MoveSelected(1);
    dialog.MoveSelected(1);
    QCOMPARE(dialog.Order(), std::vector<int>({1, 2, 0}));
    dialog.RemoveSelected();  // the moved entry, now the last
    dialog.MoveSelected(-1);  // the new last, up to the top
    QCOMPARE(dialog.Order(), std::vector<int>({2, 1}));
    QCOMPARE(dialog.list()->currentRow(), 0);
    dialog.RemoveSelected();
    dialog.RemoveSelected();
    dialog.RemoveSelected();
    QVERIFY(dialog.Order().empty());
    dialog.Reset();
    QCOMPARE(dialog.Order(), std::vector<int>({0, 1, 2}));
  }

  void PagerScrollsOnlyWhenButtonsDoNotFit() {
    FakeView view(10);
    Model* model = view.model.get();
    MotionPager pager(*model, view.host, view.Hooks());
    QCOMPARE(pager.height(), MotionStrip::kButtonSide + 2);
    pager.resize(1000, pager.height());
    pager.strip()->RebuildFromTable();
    QVERIFY(!pager.ArrowsShown());
    pager.resize(200, pager.height());
    pager.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pager));
    QVERIFY(pager.ArrowsShown());
    // The arrows scroll away from the current Motion (kept in sight: the window's test).
    const int end = pager.ScrollPosition();
    pager.ScrollBy(-2);
    QCOMPARE(pager.ScrollPosition(), end - 2 * MotionStrip::kButtonSide);
    const auto arrows = pager.findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(arrows.size(), 2);
    arrows[1]->click();  // right: a button back towards the end
    QCOMPARE(pager.ScrollPosition(), end - MotionStrip::kButtonSide);
    arrows[0]->click();
    QCOMPARE(pager.ScrollPosition(), end - 2 * MotionStrip::kButtonSide);
    // Choosing a Motion out of sight scrolls to it.
    model->current_motion = 0;
    pager.ShowCurrent();
    QCOMPARE(pager.ScrollPosition(), 0);
  }
};

VORNA_UI_TEST(MotionStripTest)

}  // namespace vorna

#include "motion_strip_test.moc"
