// Vertex and face ranges of Parts, clamped to the arrays that hold them. Models read from files
// can carry odd records (ranges past the arrays, decreasing starts); every loop over a Part's
// geometry goes through these so that such a record gives an empty or shortened range, never an
// access outside the arrays.
#pragma once

#include <algorithm>
#include <cstdint>

#include "model/model.h"

namespace vorna {

struct IndexRange {
  uint32_t begin = 0;
  uint32_t end = 0;
  uint32_t size() const { return end - begin; }
  bool empty() const { return begin == end; }
};

// Parts with a record and a following record (the sentinel closes the last one).
inline int UsablePartCount(const Model& model) {
  const int records = static_cast<int>(model.parts.size());
  return std::clamp(model.parts_count, 0, std::max(records - 1, 0));
}

// Length every per-vertex array has.
inline uint32_t UsableVertexCount(const Model& model) {
  const size_t n = std::min({model.positions.size(), model.normals.size(), model.tex_u.size(),
                             model.tex_v.size(), model.blend.size()});
  return static_cast<uint32_t>(std::min<size_t>(n, UINT32_MAX));
}

inline IndexRange ClampedRange(uint32_t first, uint32_t next, uint32_t limit) {
  const uint32_t begin = std::min(first, limit);
  return {begin, std::clamp(next, begin, limit)};
}

// [first_vertex, next first_vertex) of `part`, within the per-vertex arrays.
inline IndexRange PartVertexRange(const Model& model, int part) {
  if (part < 0 || part >= UsablePartCount(model)) return {};
  return ClampedRange(model.parts[part].first_vertex, model.parts[part + 1].first_vertex,
                      UsableVertexCount(model));
}

// [first_face, next first_face) of `part`, within the face array.
inline IndexRange PartFaceRange(const Model& model, int part) {
  if (part < 0 || part >= UsablePartCount(model)) return {};
  const uint32_t faces = static_cast<uint32_t>(std::min<size_t>(model.faces.size(), UINT32_MAX));
  return ClampedRange(model.parts[part].first_face, model.parts[part + 1].first_face, faces);
}

}  // namespace vorna
