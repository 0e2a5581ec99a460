#include "editor/size_dialog.h"

#include <cmath>
#include <limits>

#include "io/number_text.h"
#include "model/bounds.h"
#include "model/part_range.h"

namespace vorna {

namespace {

Vec3 Edited(Vec3 v, const SizeAndPosition& edit) {
  return {(v.x + edit.move.x) * edit.scale.x, (v.y + edit.move.y) * edit.scale.y,
          (v.z + edit.move.z) * edit.scale.z};
}

void AppendXyz(std::string& text, Vec3 v, const char* separator_after_z) {
  text += "x: " + FormatFixed6(v.x) + "\r\ny: " + FormatFixed6(v.y) + "\r\nz: " + FormatFixed6(v.z);
  text += separator_after_z;
}

// A number beyond single precision would turn every coordinate it touches into an infinity, and
// the model would vanish from the view for good: it counts as no number, as infinities do.
double SingleOrZero(double value) {
  return std::fabs(value) <= std::numeric_limits<float>::max() ? value : 0.0;
}

}  // namespace

std::array<std::string, 6> ProposedSizeTexts(const Model& model) {
  const std::string scale = FormatFixed6(1.0 / ModelSize(model));
  return {scale,
          scale,
          scale,
          FormatFixed6(-model.total_center.x),
          FormatFixed6(-model.total_center.y),
          FormatFixed6(-model.total_center.z)};
}

SizeAndPosition ReadSizeTexts(const std::array<std::string, 6>& texts) {
  SizeAndPosition edit;
  for (int axis = 0; axis < 3; ++axis) {
    const double scale = SingleOrZero(ParseDecimal(texts[axis], 0.0));
    edit.scale[axis] = scale == 0.0 ? 1.0f : static_cast<float>(scale);
    edit.move[axis] = static_cast<float>(SingleOrZero(ParseDecimal(texts[3 + axis], 0.0)));
  }
  return edit;
}

std::string SizeDialogInformation(const Model& model, const SizeAndPosition& edit) {
  std::string text = "[FILE NAME]\r\n" + model.model_file_name + "\r\n\r\n[TOTAL CENTER]\r\n";
  AppendXyz(text, Edited(model.total_center, edit), "\r\n\r\n[TOTAL MIN]\r\n");
  AppendXyz(text, Edited(model.total_corner_min, edit), "\r\n\r\n[TOTAL MAX]\r\n");
  AppendXyz(text, Edited(model.total_corner_max, edit), "");
  text += "\r\n\r\n[CENTER]";
  for (int p = 0; p < UsablePartCount(model); ++p) {
    text += "\r\n<" + model.node_name[p] + ">\r\n";
    AppendXyz(text, Edited(model.parts[p].center, edit), "\r\n");
  }
  return text;
}

}  // namespace vorna
