// The arrangement of a window's controls as text, compared with a reference we keep.
#pragma once

#include <QString>
#include <QWidget>

namespace vorna::test {

// "" when `window`'s layout, controls and menus, and what they show, are described as in
// tests/data/layouts/<class name>.txt; otherwise the first line that differs. The description
// holds what the code decides (cells, stretch, margins, texts, values and ranges, check marks,
// enabled states, shortcuts), not the sizes the fonts give, so it holds on any machine. Call it
// as the window opens, before it is shown. Regenerated like every reference file (see
// ReferenceFileDifference).
QString LayoutDifference(const QWidget& window);
// The description itself.
QString LayoutDescription(const QWidget& window);

}  // namespace vorna::test
