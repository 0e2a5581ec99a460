#include "ui/unit_tree.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

#include "model/hierarchy_edit.h"
#include "model/host.h"
#include "ui/ui_test_registry.h"
#include "ui/widget_fixtures.h"

namespace vorna {
namespace {

// Nodes: Part P (0), Unit A (1) at the top, Unit B (2) under A, P under B.
std::unique_ptr<Model> ArmModel(const std::string& b_name = "B") {
  return test::Loaded({"P"}, {"A", b_name}, {2, -1, 1}, 1);
}

struct PaintCounter : QObject {
  int paints = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return false;
  }
};

// Drags `node` over `target`'s item of a shown tree and drops it there, as the mouse would.
void DragOnto(UnitTree& tree, int node, int target) {
  std::unique_ptr<QMimeData> data(tree.DragData(node));
  const QPoint at = tree.visualItemRect(tree.ItemOfNode(target)).center();
  QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tree.viewport(), &enter);
  QApplication::processEvents();
  PaintCounter counter;
  tree.viewport()->installEventFilter(&counter);
  QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tree.viewport(), &move);
  QVERIFY(move.isAccepted());
  QCOMPARE(tree.DropHighlight(), target);
  QTRY_VERIFY(counter.paints > 0);  // the highlight shows at once
  QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tree.viewport(), &drop);
}

bool ShowBuilt(UnitTree& tree) {
  tree.resize(300, 300);
  tree.show();
  const bool exposed = QTest::qWaitForWindowExposed(&tree);
  tree.BuildUnitTree();
  return exposed;
}

}  // namespace

class UnitTreeTest : public QObject {
  Q_OBJECT

 private slots:
  void MirrorsTheForestAndFollowsTheUser() {
    auto model = ArmModel();
    ScriptedHost host;
    UnitTree tree(*model, host);
    tree.BuildUnitTree();
    QCOMPARE(test::Paths(tree), QStringList({"A", "A>B", "A>B>P"}));
    QVERIFY(tree.ItemOfNode(2)->isExpanded());
    QCOMPARE(model->units[1].tree_expanded, 2u);  // opened for the user, kept open by edits

    QSignalSpy selection(&tree, &UnitTree::selectionChanged);
    tree.setCurrentItem(tree.ItemOfNode(2));
    QCOMPARE(selection.count(), 1);
    QCOMPARE(model->selected_unit, 1);
    QVERIFY(IsHighlighted(*model, 0));
    tree.setCurrentItem(tree.ItemOfNode(0));
    QCOMPARE(model->selected_unit, -1);

    tree.ItemOfNode(1)->setExpanded(false);
    QCOMPARE(model->units[0].tree_expanded, 1u);
    tree.ItemOfNode(1)->setExpanded(true);
    QCOMPARE(model->units[0].tree_expanded, 2u);

    tree.ItemOfNode(0)->setCheckState(0, Qt::Checked);
    QVERIFY(model->forest.at(0).ticked);
    tree.TickAll(false);
    QCOMPARE(tree.ItemOfNode(0)->checkState(0), Qt::Unchecked);

    tree.AddUnit();
    QCOMPARE(model->node_name[3], std::string("Unit_001"));
    QVERIFY(test::Paths(tree).contains("Unit_001"));
    QVERIFY(tree.selectedItems().isEmpty());
    QCOMPARE(model->selected_unit, 2);
  }

  void DropsTickedNodesThroughTheCore() {
    auto model = test::Loaded({"P", "Q"}, {"A", "B"}, {2, 3, -1, 2}, 1);
    ScriptedHost host;
    UnitTree tree(*model, host);
    QVERIFY(ShowBuilt(tree));
    QCOMPARE(test::Paths(tree), QStringList({"A", "A>B", "A>B>Q", "A>P"}));

    QSignalSpy changed(&tree, &UnitTree::treeChanged);
    DragOnto(tree, 0, 1);  // a Part onto a Part: siblings under Q's Unit
    QCOMPARE(model->parent[0], 3);
    QCOMPARE(changed.count(), 1);
    // What was open stays open.
    QVERIFY(tree.ItemOfNode(2)->isExpanded() && tree.ItemOfNode(3)->isExpanded());

    DragOnto(tree, 2, 3);  // a Unit onto its own child: refused
    QCOMPARE(model->parent[3], 2);
    QCOMPARE(model->parent[2], -1);

    tree.ItemOfNode(1)->setCheckState(0, Qt::Checked);
    DragOnto(tree, 3, 2);  // B with the ticked Q onto A
    QCOMPARE(model->parent[1], 2);
    QCOMPARE(test::Paths(tree), QStringList({"A", "A>B", "A>B>P", "A>Q"}));
    QVERIFY(!model->forest.at(1).ticked);
    QCOMPARE(tree.ItemOfNode(1)->checkState(0), Qt::Unchecked);
    // Both were drop targets, even B whose own move was refused, so both stay open.
    QVERIFY(tree.ItemOfNode(2)->isExpanded());
    QVERIFY(tree.ItemOfNode(3)->isExpanded());
  }

  void DeleteKeyAsksWithTheShownNames() {
    auto model = ArmModel("\x98\x72");  // "腕" in CP932
    ScriptedHost host;
    UnitTree tree(*model, host);
    tree.BuildUnitTree();
    tree.setCurrentItem(tree.ItemOfNode(2));
    QTest::keyClick(&tree, Qt::Key_Delete);  // answered No
    QCOMPARE(model->node_count, 3);
    QCOMPARE(host.entries.size(), size_t{1});
    QCOMPARE(host.entries[0].text, std::string("腕\n\n以上の1個のユニットを削除しますか？"));
    QCOMPARE(model->node_name[2], std::string("\x98\x72"));

    // B goes while P is selected under A, which the user closed: A opens to show P.
    tree.ItemOfNode(1)->setExpanded(false);
    tree.ItemOfNode(2)->setCheckState(0, Qt::Checked);
    tree.setCurrentItem(tree.ItemOfNode(0));
    host.QueueAnswer(Answer::kYes);
    tree.DeleteUnits();
    QCOMPARE(model->node_count, 2);
    QCOMPARE(test::Paths(tree), QStringList({"A", "A>P"}));
    QCOMPARE(model->parent[0], 1);
    QVERIFY(tree.ItemOfNode(1)->isExpanded());
    QCOMPARE(tree.currentItem(), tree.ItemOfNode(0));
  }

  void DoubleClickOnTheSelectedItemOnlyOpensTheDialog() {
    auto model = ArmModel();
    ScriptedHost host;
    UnitTree tree(*model, host);
    QVERIFY(ShowBuilt(tree));
    tree.setCurrentItem(tree.ItemOfNode(1));
    QSignalSpy started(&tree, &UnitTree::labelEditStarted);
    QSignalSpy dialogs(&tree, &UnitTree::unitDialogRequested);
    const int interval = QApplication::doubleClickInterval();
    // The dialog's own event loop, long enough for a scheduled rename to fall due.
    connect(&tree, &UnitTree::unitDialogRequested, &tree, [&] { QTest::qWait(interval + 200); });
    const QPoint at = tree.visualItemRect(tree.ItemOfNode(1)).center();
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(interval + 200);
    QCOMPARE(dialogs.count(), 1);
    QCOMPARE(started.count(), 0);
    // A single click on the selected item still renames.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at, interval + 100);
    QTRY_COMPARE(started.count(), 1);
  }

  void RenamesInPlaceAsCp932() {
    // "≒" from the second of its two CP932 codes: converting it back would give the first.
    auto model = ArmModel("\x87\x90");
    ScriptedHost host;
    UnitTree tree(*model, host);
    QVERIFY(ShowBuilt(tree));
    QSignalSpy started(&tree, &UnitTree::labelEditStarted);
    QSignalSpy finished(&tree, &UnitTree::labelEditFinished);

    const auto edit = [&](int node, const QString& text, Qt::Key end) {
      tree.editItem(tree.ItemOfNode(node));
      auto* box = tree.viewport()->findChild<QLineEdit*>();
      QVERIFY(box != nullptr);
      if (!text.isNull()) box->setText(text);
      QTest::keyClick(box, end);
      // The box commits and closes from the event loop and is deleted later.
      QCoreApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    };
    edit(1, QString::fromUtf8("腕2"), Qt::Key_Return);
    QCOMPARE(model->node_name[1], std::string("\x98\x72") + "2");
    QCOMPARE(tree.ItemOfNode(1)->text(0), QString::fromUtf8("腕2"));
    edit(1, "other", Qt::Key_Escape);  // Esc keeps the name
    QCOMPARE(model->node_name[1], std::string("\x98\x72") + "2");
    edit(2, QString(), Qt::Key_Return);  // confirmed unchanged: the stored bytes stay
    QCOMPARE(model->node_name[2], std::string("\x87\x90"));
    QCOMPARE(started.count(), 3);
    QCOMPARE(finished.count(), 3);
  }
};

VORNA_UI_TEST(UnitTreeTest)

}  // namespace vorna

#include "unit_tree_test.moc"
