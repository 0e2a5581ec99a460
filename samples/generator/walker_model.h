// The small sample the tests draw and convert: a walker of boxes and a round head, with a unit
// hierarchy of both basis types, blend weights at the hips, a walk cycle and a wave.
#pragma once

#include "model/model.h"

namespace vorna {

// Resets `model` and builds the walker in it.
void BuildWalkerModel(Model& model);

}  // namespace vorna
