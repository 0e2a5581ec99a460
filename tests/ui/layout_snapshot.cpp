#include "ui/layout_snapshot.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTreeWidget>

#include "support/test_support.h"

namespace vorna::test {
namespace {

QString Quoted(const QString& text) { return '"' + text + '"'; }

class Describer {
 public:
  QStringList lines;

  void Window(const QWidget& window) {
    // An explicit size only: the size a layout asks for depends on the fonts.
    lines << QString::fromLatin1(window.metaObject()->className()) + " " +
                 Quoted(window.windowTitle()) +
                 (window.testAttribute(Qt::WA_Resized)
                      ? QStringLiteral(" %1x%2").arg(window.width()).arg(window.height())
                      : QString());
    if (const auto* main = qobject_cast<const QMainWindow*>(&window)) {
      Menus(main->menuBar(), 1);
    } else if (window.layout() != nullptr) {
      Layout(*window.layout(), 1);
    }
  }

 private:
  void Line(int depth, const QString& text) { lines << QString(depth * 2, ' ') + text; }

  void Menus(const QWidget* owner, int depth) {
    if (owner == nullptr) return;
    for (const QAction* action : owner->actions()) {
      if (action->isSeparator()) {
        Line(depth, "---");
        continue;
      }
      // Each key on its own: "Ctrl+Y; Ctrl+Shift+Z" are two keys, "Ctrl+Y, Ctrl+Shift+Z" a chord.
      QStringList keys;
      for (const QKeySequence& key : action->shortcuts()) {
        keys << key.toString(QKeySequence::PortableText);
      }
      Line(depth, Quoted(action->text()) + (action->isChecked() ? " checked" : "") +
                      (action->isEnabled() ? "" : " disabled") +
                      (keys.isEmpty() ? QString() : " " + keys.join(QStringLiteral("; "))));
      Menus(action->menu(), depth + 1);
    }
  }

  static QString Identity(const QWidget& w) {
    QString s = QString::fromLatin1(w.metaObject()->className());
    if (const auto* label = qobject_cast<const QLabel*>(&w)) {
      s += " " + Quoted(label->text());
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(&w)) {
      s += " " + Quoted(button->text()) + (button->isChecked() ? " checked" : "");
      if (const auto* push = qobject_cast<const QPushButton*>(button)) {
        s += QString(push->isDefault() ? " default" : "") + (push->autoDefault() ? " auto" : "");
      }
    } else if (const auto* group = qobject_cast<const QGroupBox*>(&w)) {
      s += " " + Quoted(group->title()) + (group->isChecked() ? " checked" : "");
    } else if (const auto* slider = qobject_cast<const QSlider*>(&w)) {
      s += QStringLiteral(" %1 in %2..%3 page %4 ticks %5")
               .arg(slider->value())
               .arg(slider->minimum())
               .arg(slider->maximum())
               .arg(slider->pageStep())
               .arg(slider->tickInterval());
    } else if (const auto* spin = qobject_cast<const QSpinBox*>(&w)) {
      s += QStringLiteral(" %1 in %2..%3")
               .arg(spin->value())
               .arg(spin->minimum())
               .arg(spin->maximum());
    } else if (const auto* combo = qobject_cast<const QComboBox*>(&w)) {
      for (int i = 0; i < combo->count(); ++i) {
        s += (i == combo->currentIndex() ? " *" : " ") + Quoted(combo->itemText(i));
      }
    } else if (const auto* edit = qobject_cast<const QLineEdit*>(&w)) {
      s += " " + Quoted(edit->text());
      if (edit->maxLength() != 32767) s += QStringLiteral(" max %1").arg(edit->maxLength());
      if (edit->isReadOnly()) s += " read-only";
    } else if (const auto* list = qobject_cast<const QListWidget*>(&w)) {
      for (int i = 0; i < list->count(); ++i) {
        s += (list->item(i)->isSelected() ? " *" : " ") + Quoted(list->item(i)->text());
      }
    } else if (const auto* tree = qobject_cast<const QTreeWidget*>(&w)) {
      for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        QStringList columns;
        for (int c = 0; c < item->columnCount(); ++c) columns << item->text(c);
        s += (item->isSelected() ? " *" : " ") + Quoted(columns.join('|'));
      }
    } else if (const auto* text = qobject_cast<const QPlainTextEdit*>(&w)) {
      s += " " + Quoted(text->toPlainText().replace('\n', '|'));
    } else if (const auto* box = qobject_cast<const QDialogButtonBox*>(&w)) {
      for (const QAbstractButton* b : box->buttons()) s += " " + Quoted(b->text());
    }
    return s + (w.isHidden() ? " hidden" : "") + (w.isEnabled() ? "" : " disabled");
  }

  void Widget(const QWidget& w, const QString& where, int depth) {
    Line(depth, where + Identity(w));
    if (const auto* tabs = qobject_cast<const QTabWidget*>(&w)) {
      for (int i = 0; i < tabs->count(); ++i) {
        Widget(*tabs->widget(i),
               "tab " + Quoted(tabs->tabText(i)) + (i == tabs->currentIndex() ? " shown " : " "),
               depth + 1);
      }
    } else if (w.layout() != nullptr && qobject_cast<const QDialogButtonBox*>(&w) == nullptr) {
      Layout(*w.layout(), depth + 1);
    }
  }

  // Each item with its cell or stretch and its alignment, then what it holds.
  void Layout(const QLayout& layout, int depth, const QString& where = QString()) {
    const QMargins m = layout.contentsMargins();
    QString head = where + QString::fromLatin1(layout.metaObject()->className()) +
                   QStringLiteral(" margins %1 %2 %3 %4 spacing %5")
                       .arg(m.left())
                       .arg(m.top())
                       .arg(m.right())
                       .arg(m.bottom())
                       .arg(layout.spacing());
    const auto* grid = qobject_cast<const QGridLayout*>(&layout);
    const auto* box = qobject_cast<const QBoxLayout*>(&layout);
    for (int r = 0; grid != nullptr && r < grid->rowCount(); ++r) {
      if (grid->rowStretch(r) != 0) {
        head += QStringLiteral(" row%1*%2").arg(r).arg(grid->rowStretch(r));
      }
    }
    for (int c = 0; grid != nullptr && c < grid->columnCount(); ++c) {
      if (grid->columnStretch(c) != 0) {
        head += QStringLiteral(" column%1*%2").arg(c).arg(grid->columnStretch(c));
      }
    }
    Line(depth, head);
    if (layout.menuBar() != nullptr) Menus(layout.menuBar(), depth + 1);
    for (int i = 0; i < layout.count(); ++i) {
      QLayoutItem* item = layout.itemAt(i);
      QString at;
      int row, column, rows, columns;
      if (grid != nullptr) {
        grid->getItemPosition(i, &row, &column, &rows, &columns);
        at = QStringLiteral("(%1,%2) %3x%4 ").arg(row).arg(column).arg(rows).arg(columns);
      } else if (box != nullptr && box->stretch(i) != 0) {
        at = QStringLiteral("stretch %1 ").arg(box->stretch(i));
      }
      if (item->alignment() != Qt::Alignment()) {
        at += QStringLiteral("align %1 ").arg(int(item->alignment()), 0, 16);
      }
      if (item->widget() != nullptr) {
        Widget(*item->widget(), at, depth + 1);
      } else if (item->layout() != nullptr) {
        Layout(*item->layout(), depth + 1, at);
      } else if (QSpacerItem* spacer = item->spacerItem()) {
        Line(depth + 1, at + QStringLiteral("spacer %1x%2%3")
                                 .arg(spacer->sizeHint().width())
                                 .arg(spacer->sizeHint().height())
                                 .arg(spacer->expandingDirections() ? " expanding" : ""));
      }
    }
  }
};

}  // namespace

QString LayoutDescription(const QWidget& window) {
  Describer describer;
  describer.Window(window);
  return describer.lines.join('\n') + '\n';
}

QString LayoutDifference(const QWidget& window) {
  const QString name = QString::fromLatin1(window.metaObject()->className()).remove("vorna::");
  return QString::fromStdString(ReferenceFileDifference(LayoutDescription(window).toStdString(),
                                                        "layouts/" + name.toStdString() + ".txt"));
}

}  // namespace vorna::test
