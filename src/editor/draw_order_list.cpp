#include "editor/draw_order_list.h"

#include <cassert>
#include <utility>

#include "io/number_text.h"
#include "model/part_range.h"

namespace vorna {

namespace {

std::string LineText(const Model& model, int part) {
  // "%06f" pads to six characters, which six decimals always exceed except for "inf" and "nan".
  std::string alpha = FormatFixed6(model.parts[part].material.diffuse.a);
  if (alpha.size() < 6) alpha.insert(0, 6 - alpha.size(), ' ');
  return alpha + "  " + model.node_name[part];
}

}  // namespace

DrawOrderList::DrawOrderList(const Model& model) {
  const int parts = UsablePartCount(model);
  assert(parts < kMaxParts);
  std::vector<bool> listed(static_cast<size_t>(parts), false);
  for (int i = 0; i < parts; ++i) {
    const uint32_t part = model.draw_order[i];
    if (part >= static_cast<uint32_t>(parts) || listed[part]) continue;
    listed[part] = true;
    lines_.push_back({static_cast<int>(part), LineText(model, static_cast<int>(part))});
  }
  for (int part = 0; part < parts; ++part) {
    if (!listed[part]) lines_.push_back({part, LineText(model, part)});
  }
}

void DrawOrderList::Select(int line) {
  selected_ = line >= 0 && line < static_cast<int>(lines_.size()) ? line : -1;
}

void DrawOrderList::MoveUp() {
  if (selected_ <= 0) return;
  std::swap(lines_[selected_], lines_[selected_ - 1]);
  --selected_;
}

void DrawOrderList::MoveDown() {
  if (selected_ < 0 || selected_ + 1 >= static_cast<int>(lines_.size())) return;
  std::swap(lines_[selected_], lines_[selected_ + 1]);
  ++selected_;
}

void DrawOrderList::Ok(Model& model) const {
  // The order is saved with the model (Parts are written in drawing order), so a changed order
  // is an unsaved edit like any other and must not be dropped without the save question.
  bool changed = false;
  for (size_t i = 0; i < lines_.size() && i < model.draw_order.size(); ++i) {
    const auto part = static_cast<uint32_t>(lines_[i].part);
    changed = changed || model.draw_order[i] != part;
    model.draw_order[i] = part;
  }
  if (changed) model.modified = 1;
}

}  // namespace vorna
