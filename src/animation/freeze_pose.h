// Freezing a pose: the model as one Motion shows it, without the hierarchy that moved it.
#pragma once

#include "model/model.h"

namespace vorna {

// Moves every vertex and normal to where the renderer draws them in Motion `motion` (each Part's
// two matrices blended by its vertices' weights; normals through the inverse transpose and, as
// drawn, not renormalised), then removes every Unit, Motion and Anim: the Parts hang at the top
// level, one Motion in its rest state remains, blend weights are 0 and the boxes are recomputed.
// Marks the model modified. False, changing nothing, for a Motion that is not in use.
bool FreezePose(Model& model, int motion);

}  // namespace vorna
