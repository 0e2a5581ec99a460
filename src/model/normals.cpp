#include "model/normals.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>
#include <vector>

#include "model/part_range.h"

namespace vorna {

namespace {

// A unit vector along an edge and the edge's length (zero for both when the edge has none).
struct Direction {
  Vec3 unit;
  float length;
};

Direction DirectionOf(Vec3 edge) {
  const float length = Length(edge);
  if (length == 0.0f) return {Vec3{}, 0.0f};
  return {{edge.x / length, edge.y / length, edge.z / length}, length};
}

Vec3 DivideByLength(Vec3 v) { return DirectionOf(v).unit; }

Vec3 Reversed(Vec3 v) { return {-v.x, -v.y, -v.z}; }

// A triangle's unit face normal (p1 - p0) x (p2 - p0) and its angle at each corner, negative
// where the corner adds nothing: a vertex the triangle named at an earlier corner, or an edge of no
// length (coincident corners leave the angle undefined; such a triangle has no area to add).
struct TriangleShare {
  Vec3 face;
  float angle[3];
};

TriangleShare ShareOf(const std::vector<Vec3>& positions, uint32_t i0, uint32_t i1, uint32_t i2) {
  const Vec3 p[3] = {positions[i0], positions[i1], positions[i2]};
  TriangleShare share{DivideByLength(Cross(p[1] - p[0], p[2] - p[0])), {-1.0f, -1.0f, -1.0f}};
  // Each edge is made unit length once: the corner at its other end takes it reversed, which
  // flips only signs, so the cosines are bit for bit those of normalising each corner's own edges.
  // Not so for edges beyond the floats' range, whose not-a-numbers carry signs: those corners'
  // edges are made their own way.
  const Direction d01 = DirectionOf(p[1] - p[0]);
  const Direction d02 = DirectionOf(p[2] - p[0]);
  const Direction d12 = DirectionOf(p[2] - p[1]);
  Direction edges[3][2] = {{d01, d02},
                           {{Reversed(d01.unit), d01.length}, d12},
                           {{Reversed(d02.unit), d02.length}, {Reversed(d12.unit), d12.length}}};
  if (!std::isfinite(d01.length) || !std::isfinite(d02.length) || !std::isfinite(d12.length)) {
    for (int c = 0; c < 3; ++c) {
      edges[c][0] = DirectionOf(p[c == 0 ? 1 : 0] - p[c]);
      edges[c][1] = DirectionOf(p[c == 2 ? 1 : 2] - p[c]);
    }
  }
  const uint32_t index[3] = {i0, i1, i2};
  for (int c = 0; c < 3; ++c) {
    if ((c >= 1 && index[c] == index[0]) || (c == 2 && index[2] == index[1])) continue;
    const Direction& a = edges[c][0];
    const Direction& b = edges[c][1];
    if (a.length == 0.0f || b.length == 0.0f) continue;
    // Rounding can push the cosine of two unit vectors a little past 1.
    share.angle[c] = std::acos(std::clamp(Dot(a.unit, b.unit), -1.0f, 1.0f));
  }
  return share;
}

void AddShare(const TriangleShare& share, uint32_t i0, uint32_t i1, uint32_t i2,
              std::vector<Vec3>& sums) {
  const uint32_t index[3] = {i0, i1, i2};
  for (int c = 0; c < 3; ++c) {
    if (!(share.angle[c] < 0.0f)) sums[index[c]] = sums[index[c]] + share.face * share.angle[c];
  }
}

// Calls `use(i0, i1, i2)` with the global vertex indices of each triangle of `face` (a quad is its
// fan) that names only vertices of its Part, which starts at vertex `first` and has `count`.
template <typename Use>
void ForEachTriangle(const Face& face, uint32_t first, uint32_t count, Use&& use) {
  const uint32_t* c = face.corner;
  if (c[0] < count && c[1] < count && c[2] < count) use(first + c[0], first + c[1], first + c[2]);
  if (c[3] != kNoCorner && c[0] < count && c[2] < count && c[3] < count) {
    use(first + c[0], first + c[2], first + c[3]);
  }
}

// Parts with fewer faces are not worth a second thread.
constexpr uint32_t kFacesForTwoThreads = 1u << 16;

// Adds the shares of faces [begin, end) of a Part to `sums`, in the faces' order. A large Part's
// second half is measured on a second thread while this one adds the first, then added here in
// order, so that every sum is the one a single thread makes, to the bit.
void AddFaces(const Model& model, uint32_t begin, uint32_t end, uint32_t first, uint32_t count,
              std::vector<Vec3>& sums) {
  const auto add = [&](uint32_t i0, uint32_t i1, uint32_t i2) {
    AddShare(ShareOf(model.positions, i0, i1, i2), i0, i1, i2, sums);
  };
  uint32_t middle = end;
  std::vector<TriangleShare> later;
  std::thread measure;
  if (end - begin >= kFacesForTwoThreads) {
    try {
      middle = begin + (end - begin) / 2;
      later.reserve(size_t{end - middle} * 2);
      measure = std::thread([&] {
        for (uint32_t f = middle; f < end; ++f) {
          ForEachTriangle(model.faces[f], first, count, [&](uint32_t i0, uint32_t i1, uint32_t i2) {
            later.push_back(ShareOf(model.positions, i0, i1, i2));
          });
        }
      });
    } catch (const std::exception&) {
      // No room or no thread: all on this one.
      middle = end;
    }
  }
  for (uint32_t f = begin; f < middle; ++f) ForEachTriangle(model.faces[f], first, count, add);
  if (middle == end) return;
  measure.join();
  size_t next = 0;
  for (uint32_t f = middle; f < end; ++f) {
    ForEachTriangle(model.faces[f], first, count, [&](uint32_t i0, uint32_t i1, uint32_t i2) {
      AddShare(later[next++], i0, i1, i2, sums);
    });
  }
}

}  // namespace

void ComputeNormals(Model& model) {
  std::vector<Vec3>& normals = model.normals;
  for (int k = 0; k < UsablePartCount(model); ++k) {
    const IndexRange vertices = PartVertexRange(model, k);
    const IndexRange faces = PartFaceRange(model, k);
    for (uint32_t v = vertices.begin; v < vertices.end; ++v) normals[v] = Vec3{};
    AddFaces(model, faces.begin, faces.end, vertices.begin, vertices.size(), normals);
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
