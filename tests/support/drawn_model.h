// Our model as the renderer draws it, for tests that compare it with a file or another model.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "animation/pose.h"
#include "model/model.h"

namespace vorna::test {

using DrawnModel = std::multimap<std::tuple<float, float, float>, std::pair<float, Vec3>>;

// The model as the renderer draws Motion `m`: each vertex by its rest position, with its blend
// weight.
inline DrawnModel Drawn(Model& model, int m) {
  EvaluatePose(model, m);
  DrawnModel drawn;
  for (int p = 0; p < model.parts_count; ++p) {
    const auto [first, second] = PartBlendMatrices(model, p);
    // A Part without a Unit is drawn where it rests, whatever its weights say.
    const bool owned = model.IsUnitNode(model.parent[p]);
    for (uint32_t v = model.parts[p].first_vertex; v < model.parts[p + 1].first_vertex; ++v) {
      const Vec3 r = model.positions[v];
      const float b = owned && !model.blend.empty() ? model.blend[v] : 0.0f;
      drawn.insert({{r.x, r.y, r.z},
                    {b, TransformCoord(r, first) * b + TransformCoord(r, second) * (1.0f - b)}});
    }
  }
  return drawn;
}

// A file's vertices in our axes.
using Points = std::vector<std::array<double, 3>>;

// The distance between each of the file's vertices (`rest` and `posed`) and the model's in Motion
// `m`, vertices matched by rest position within `match`; smallest first.
inline std::vector<double> Distances(Model& model, int m, const Points& rest, const Points& posed,
                                     float match) {
  const DrawnModel drawn = Drawn(model, m);
  std::vector<double> distances;
  for (size_t v = 0; v < rest.size(); ++v) {
    const auto r = rest[v];
    auto it = drawn.lower_bound({static_cast<float>(r[0]) - match, -HUGE_VALF, -HUGE_VALF});
    double best = HUGE_VAL;
    for (; it != drawn.end() && std::get<0>(it->first) <= r[0] + match; ++it) {
      const auto [x, y, z] = it->first;
      if (std::fabs(y - r[1]) > match || std::fabs(z - r[2]) > match) continue;
      const Vec3 d = it->second.second;
      best = std::min(best, std::hypot(d.x - posed[v][0], d.y - posed[v][1], d.z - posed[v][2]));
    }
    EXPECT_LT(best, HUGE_VAL) << "vertex " << v << " has no counterpart";
    distances.push_back(best);
  }
  std::sort(distances.begin(), distances.end());
  return distances;
}

inline double WorstDistance(Model& model, int m, const Points& rest, const Points& posed,
                            float match) {
  const std::vector<double> d = Distances(model, m, rest, posed, match);
  return d.empty() ? 0.0 : d.back();
}

// Each Motion of `anim` with its time in an animation it covers from `first` to `last` seconds in
// even steps (a loop leaves out its last step, which repeats the first).
inline std::vector<std::pair<int, double>> AnimTimes(const Anim& anim, double first, double last) {
  const int steps = std::max(anim.last_motion - anim.first_motion + (anim.loop ? 1 : 0), 1);
  std::vector<std::pair<int, double>> times;
  for (int m = anim.first_motion; m <= anim.last_motion; ++m) {
    times.push_back({m, first + (last - first) * (m - anim.first_motion) / steps});
  }
  return times;
}

}  // namespace vorna::test
