#include "model/normals.h"

#include <algorithm>
#include <cmath>

#include "model/part_range.h"

namespace vorna {

namespace {

Vec3 DivideByLength(Vec3 v) {
  const float length = Length(v);
  if (length == 0.0f) return Vec3{};
  return {v.x / length, v.y / length, v.z / length};
}

// Adds the angle-weighted face normal of triangle (i0, i1, i2) (global vertex indices) to the sums
// of its distinct vertices.
void AccumulateTriangle(const std::vector<Vec3>& positions, uint32_t i0, uint32_t i1, uint32_t i2,
                        std::vector<Vec3>& sums) {
  const Vec3 p[3] = {positions[i0], positions[i1], positions[i2]};
  const Vec3 face = DivideByLength(Cross(p[1] - p[0], p[2] - p[0]));
  const uint32_t index[3] = {i0, i1, i2};
  for (int c = 0; c < 3; ++c) {
    // Only the first corner that names a vertex counts for it.
    if ((c >= 1 && index[c] == index[0]) || (c == 2 && index[2] == index[1])) continue;
    const int a = c == 0 ? 1 : 0;
    const int b = c == 2 ? 1 : 2;
    const Vec3 edge_a = p[a] - p[c];
    const Vec3 edge_b = p[b] - p[c];
    // Coincident corners leave the angle undefined; such a triangle has no area to contribute.
    if (Length(edge_a) == 0.0f || Length(edge_b) == 0.0f) continue;
    // Rounding can push the cosine of two unit vectors a little past 1.
    const float cosine =
        std::clamp(Dot(DivideByLength(edge_a), DivideByLength(edge_b)), -1.0f, 1.0f);
    sums[index[c]] = sums[index[c]] + face * std::acos(cosine);
  }
}

}  // namespace

void ComputeNormals(Model& model) {
  std::vector<Vec3>& normals = model.normals;
  for (int k = 0; k < UsablePartCount(model); ++k) {
    const IndexRange vertices = PartVertexRange(model, k);
    const IndexRange faces = PartFaceRange(model, k);
    const uint32_t count = vertices.size();
    for (uint32_t v = vertices.begin; v < vertices.end; ++v) normals[v] = Vec3{};
    for (uint32_t f = faces.begin; f < faces.end; ++f) {
      const uint32_t* c = model.faces[f].corner;
      const uint32_t first = vertices.begin;
      if (c[0] < count && c[1] < count && c[2] < count) {
        AccumulateTriangle(model.positions, first + c[0], first + c[1], first + c[2], normals);
      }
      if (c[3] != kNoCorner && c[0] < count && c[2] < count && c[3] < count) {
        AccumulateTriangle(model.positions, first + c[0], first + c[2], first + c[3], normals);
      }
    }
    for (uint32_t v = vertices.begin; v < vertices.end; ++v)
      normals[v] = DivideByLength(normals[v]);
  }
}

void RebuildFaces(Model& model, bool keep_triangles) {
  if (!keep_triangles) {
    ComputeNormals(model);
    return;
  }
  const int parts = UsablePartCount(model);
  std::vector<Face> triangles;
  size_t needed = 0;
  for (int k = 0; k < parts; ++k) needed += PartFaceRange(model, k).size();
  triangles.reserve(needed * 2);
  std::vector<uint32_t> starts(static_cast<size_t>(parts) + 1, 0);
  for (int k = 0; k < parts; ++k) {
    const IndexRange faces = PartFaceRange(model, k);
    for (uint32_t f = faces.begin; f < faces.end; ++f) {
      const uint32_t* c = model.faces[f].corner;
      triangles.push_back(Face{{c[0], c[1], c[2], kNoCorner}});
      if (c[3] != kNoCorner) triangles.push_back(Face{{c[0], c[2], c[3], kNoCorner}});
    }
    starts[k + 1] = static_cast<uint32_t>(triangles.size());
  }
  for (size_t k = 0; k < model.parts.size(); ++k) {
    model.parts[k].first_face = starts[std::min(k, starts.size() - 1)];
  }
  model.total_face_count = static_cast<int32_t>(triangles.size());
  model.faces = std::move(triangles);
}

}  // namespace vorna
