#include "model/model_check.h"

#include <cstddef>

namespace vorna {

namespace {

const char* FirstBrokenRule(const Model& m) {
  if (m.parts_count < 1 || m.parts_count >= kMaxParts) return "the part count is out of range";
  if (m.parts.size() != static_cast<size_t>(m.parts_count) + 1) {
    return "the part records do not match the part count";
  }
  if (m.node_count < m.parts_count || m.node_count > kMaxNodes) {
    return "the node count is out of range";
  }
  for (int n = m.parts_count; n < m.node_count; ++n) {
    if (m.parent[n] < -1 || m.parent[n] >= m.node_count || m.parent[n] == n) {
      return "a unit's parent is not a node";
    }
  }
  if (m.motion_count < 0 || m.motion_count > kMaxCount || m.anim_count < 0 ||
      m.anim_count > kMaxCount) {
    return "the motion or anim count is out of range";
  }
  if (m.current_anim < -1 || m.current_anim >= m.anim_count) {
    return "the current anim is not one of the anims";
  }
  if (m.total_vertex_count <= 0 || m.total_face_count <= 0) return "no vertices or no faces";
  const auto vertices = static_cast<size_t>(m.total_vertex_count);
  if (m.positions.size() != vertices || m.normals.size() != vertices ||
      m.tex_u.size() != vertices || m.tex_v.size() != vertices || m.blend.size() != vertices ||
      m.faces.size() != static_cast<size_t>(m.total_face_count)) {
    return "vertex or face arrays do not match their totals";
  }
  if (m.parts[0].first_vertex != 0 || m.parts[0].first_face != 0) {
    return "the first part does not start at vertex and face 0";
  }
  for (int p = 0; p < m.parts_count; ++p) {
    if (m.parts[p + 1].first_vertex < m.parts[p].first_vertex ||
        m.parts[p + 1].first_face < m.parts[p].first_face) {
      return "part ranges overlap";
    }
  }
  if (m.parts.back().first_vertex != static_cast<uint32_t>(m.total_vertex_count) ||
      m.parts.back().first_face != static_cast<uint32_t>(m.total_face_count)) {
    return "part ranges do not end at the totals";
  }
  for (int p = 0; p < m.parts_count; ++p) {
    const uint32_t count = m.PartVertexCount(p);
    for (uint32_t f = m.parts[p].first_face; f < m.parts[p + 1].first_face; ++f) {
      const Face& face = m.faces[f];
      if (face.corner[0] >= count || face.corner[1] >= count || face.corner[2] >= count ||
          (!face.IsTriangle() && face.corner[3] >= count)) {
        return "a face uses a vertex outside its part";
      }
    }
  }
  return nullptr;
}

}  // namespace

bool CheckModel(const Model& model, ReadError* error) {
  const char* broken = FirstBrokenRule(model);
  return broken == nullptr || Fail(error, ReadErrorKind::kInvalidModel, broken);
}

}  // namespace vorna
