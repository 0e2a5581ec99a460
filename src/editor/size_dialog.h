// The size-and-position dialog without its widgets: the values it proposes, how it reads its six
// boxes, and its information text.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "maths/vector.h"
#include "model/model.h"

namespace vorna {

struct SizeAndPosition {
  Vec3 move;
  Vec3 scale{1.0f, 1.0f, 1.0f};
};

// The texts the six boxes start with, scale x, y, z then move x, y, z: "%f" of 1 / model size on
// every axis and of minus total_center, so that OK centres the model at the origin and makes its
// largest extent 1.2.
std::array<std::string, 6> ProposedSizeTexts(const Model& model);

// Reads the six boxes (scale x, y, z, move x, y, z). A scale that reads as 0 counts as 1, a move
// that is no number as 0; a text that reads as infinite, NaN or beyond single precision counts as
// no number.
SizeAndPosition ReadSizeTexts(const std::array<std::string, 6>& texts);

// The dialog's report of the model after the edit: file name, total centre, box, and every
// Part's centre, each value v shown as (v + move) * scale. Grows with the number of Parts.
std::string SizeDialogInformation(const Model& model, const SizeAndPosition& edit);

}  // namespace vorna
