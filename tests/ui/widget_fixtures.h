// Models and hosts shared by the widget tests.
#pragma once

#include <QListWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWidget>

#include "model/model.h"
#include "support/model_fixtures.h"

namespace vorna::test {

// `count` Motions whose first unit's first angle is the Motion's number, so the poses can be told
// apart after a reorder.
inline void NumberedMotions(Model& model, int count) {
  model.motion_count = count;
  for (int m = 0; m < count; ++m) {
    model.motions[m].in_use = 1;
    model.motions[m].angle[0][0] = m + 1;
  }
}

// The texts of a list's lines, top to bottom.
inline QStringList Lines(const QListWidget* list) {
  QStringList lines;
  for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text();
  return lines;
}

// Each item of the tree as the names from its top-level item down, joined by ">"; "+" if ticked.
inline QStringList Paths(const QTreeWidget& tree) {
  QStringList paths;
  for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(&tree)); *it; ++it) {
    QString path = (*it)->text(0);
    for (QTreeWidgetItem* up = (*it)->parent(); up; up = up->parent()) {
      path = up->text(0) + ">" + path;
    }
    paths << path + ((*it)->checkState(0) == Qt::Checked ? "+" : "");
  }
  return paths;
}

// Pairs of shown sibling widgets under `top` drawn over each other: a control put into another's
// layout cell. Empty when the layout keeps them apart.
inline QStringList OverlappingSiblings(const QWidget& top) {
  QStringList pairs;
  const QList<QWidget*> widgets = top.findChildren<QWidget*>();
  for (QWidget* a : widgets) {
    for (QWidget* b : widgets) {
      if (a >= b || a->parentWidget() != b->parentWidget() || !a->isVisible() || !b->isVisible() ||
          a->isWindow() || b->isWindow() || !a->geometry().intersects(b->geometry())) {
        continue;
      }
      pairs << QString::fromLatin1(a->metaObject()->className()) + "/" +
                   b->metaObject()->className();
    }
  }
  return pairs;
}

}  // namespace vorna::test
