// Texture coordinates per face corner, as VR2 files store them.
#pragma once

#include <array>
#include <vector>

#include "model/model.h"

namespace vorna {

struct CornerCoordinates {
  std::array<float, 4> u{};
  std::array<float, 4> v{};
};

// One entry per face in face-array order: each corner's vertex u and v, then the seam adjustment
// done separately for u and v: when one corner is below 0.3 and another above 0.7 (strict,
// single precision), every corner below 0.3 gets 1.0 added, so that a face spanning the wrap
// seam interpolates across it. A triangle's fourth pair is written as 0, 0 and never adjusted.
std::vector<CornerCoordinates> ComputeCornerCoordinates(const Model& model);

// Moves corner values back to vertices: for each Part in order, each face, each corner (the
// fourth only for a quad), u and v each stored when at most 1.0, later corners winning. `corners`
// has one entry per face; vertices no corner qualifies for keep their values.
void StoreCornerCoordinates(Model& model, const std::vector<CornerCoordinates>& corners);

}  // namespace vorna
