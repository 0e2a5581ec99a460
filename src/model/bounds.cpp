#include "model/bounds.h"

#include <cmath>

#include "model/part_range.h"

namespace vorna {

namespace {

Vec3 Middle(Vec3 a, Vec3 b) {
  // Sum and halve in double precision, then store as float.
  return {static_cast<float>((static_cast<double>(a.x) + b.x) / 2.0),
          static_cast<float>((static_cast<double>(a.y) + b.y) / 2.0),
          static_cast<float>((static_cast<double>(a.z) + b.z) / 2.0)};
}

void Widen(Vec3& low, Vec3& high, Vec3 low_in, Vec3 high_in) {
  for (int axis = 0; axis < 3; ++axis) {
    if (low[axis] > low_in[axis]) low[axis] = low_in[axis];
    if (high[axis] < high_in[axis]) high[axis] = high_in[axis];
  }
}

}  // namespace

void RecomputeBounds(Model& model) {
  bool have_total = false;
  Vec3 total_min, total_max;
  for (int k = 0; k < UsablePartCount(model); ++k) {
    Part& part = model.parts[k];
    const IndexRange range = PartVertexRange(model, k);
    if (range.empty()) {
      part.corner_min = part.corner_max = part.center = Vec3{};
      continue;
    }
    Vec3 low = model.positions[range.begin];
    Vec3 high = low;
    for (uint32_t v = range.begin + 1; v < range.end; ++v) {
      const Vec3 p = model.positions[v];
      Widen(low, high, p, p);
    }
    part.corner_min = low;
    part.corner_max = high;
    part.center = Middle(low, high);
    if (!have_total) {
      total_min = low;
      total_max = high;
      have_total = true;
    } else {
      Widen(total_min, total_max, low, high);
    }
  }
  model.total_corner_min = total_min;
  model.total_corner_max = total_max;
  model.total_center = Middle(total_min, total_max);
}

double ModelSize(const Model& model) {
  double largest = -1.0;
  for (int axis = 0; axis < 3; ++axis) {
    const double extent = std::fabs(model.total_corner_max[axis] - model.total_corner_min[axis]);
    if (extent >= largest) largest = extent;
  }
  const double size = largest / static_cast<double>(1.2f);
  if (size == 0.0 || !std::isfinite(size) || size < 0.0) return 1.0;
  return size;
}

}  // namespace vorna
