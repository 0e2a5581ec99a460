// Boxes, centres and the size measure of a Model.
#pragma once

#include "model/model.h"

namespace vorna {

// Sets every Part's corner_min, corner_max and center (the middle of the box, not the mean of the
// vertices) and the Model's total box and total_center from the current positions. A Part without
// vertices gets the empty box at the origin and does not count towards the total box; with no
// vertices at all the total box is at the origin too. Cost: one pass over the vertices.
void RecomputeBounds(Model& model);

// The largest extent of the total box divided by 1.2, so a Model 1.2 units across has size 1.
// Returns 1.0 when that is 0 (a flat or single-point Model) or not a finite positive number.
double ModelSize(const Model& model);

}  // namespace vorna
