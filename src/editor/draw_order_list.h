// The draw-order dialog without its widgets: one line per Part in the current draw_order, moved
// up and down, written back on OK.
#pragma once

#include <string>
#include <vector>

#include "model/model.h"

namespace vorna {

class DrawOrderList {
 public:
  struct Line {
    int part = 0;
    std::string text;  // "%06f  %s": the diffuse alpha of the Part's material, its node_name
  };

  // The lines in the order of draw_order. An entry that names no Part, or a Part named twice,
  // is left out, and Parts missing from draw_order follow in index order, so every Part has
  // exactly one line.
  explicit DrawOrderList(const Model& model);

  const std::vector<Line>& lines() const { return lines_; }
  // The selected line, -1 for none.
  int selected() const { return selected_; }
  void Select(int line);

  // Exchanges the selected line with its neighbour above (below) and keeps it selected. Nothing
  // at the end or without a selection.
  void MoveUp();
  void MoveDown();

  // Writes the Parts of the lines, top to bottom, into draw_order, and sets `modified` when that
  // changed the order. Cancel simply drops the list.
  void Ok(Model& model) const;

 private:
  std::vector<Line> lines_;
  int selected_ = -1;
};

}  // namespace vorna
