#include "model/model_check.h"

namespace vorna {

bool CheckModel(const Model& model, ReadError* error) {
  const auto fail = [error](const char* text) {
    return Fail(error, ReadErrorKind::kInvalidModel, text);
  };
  if (model.parts_count <= 0) return fail("the file holds no parts");
  if (model.parts_count >= kMaxParts ||
      model.parts.size() != static_cast<size_t>(model.parts_count) + 1) {
    return fail("the part records do not match the part count");
  }
  if (model.node_count < model.parts_count || model.node_count > kMaxNodes) {
    return fail("the unit count is out of range");
  }
  if (model.motion_count < 0 || model.motion_count > kMaxCount || model.anim_count < 0 ||
      model.anim_count > kMaxCount || model.current_anim < -1 ||
      model.current_anim >= model.anim_count) {
    return fail("the motion or animation count is out of range");
  }
  if (model.total_vertex_count <= 0 || model.total_face_count <= 0) {
    return fail("the parts hold no vertices or no faces");
  }
  const auto vertices = static_cast<size_t>(model.total_vertex_count);
  if (model.positions.size() != vertices || model.normals.size() != vertices ||
      model.tex_u.size() != vertices || model.tex_v.size() != vertices ||
      model.blend.size() != vertices ||
      model.faces.size() != static_cast<size_t>(model.total_face_count)) {
    return fail("vertex or face arrays do not match their totals");
  }
  if (model.parts[0].first_vertex != 0 || model.parts[0].first_face != 0) {
    return fail("the first part does not start at vertex and face 0");
  }
  for (int p = 0; p < model.parts_count; ++p) {
    if (model.parts[p + 1].first_vertex < model.parts[p].first_vertex ||
        model.parts[p + 1].first_face < model.parts[p].first_face) {
      return fail("part ranges overlap");
    }
  }
  if (model.parts.back().first_vertex != static_cast<uint32_t>(model.total_vertex_count) ||
      model.parts.back().first_face != static_cast<uint32_t>(model.total_face_count)) {
    return fail("part ranges do not end at the totals");
  }
  for (int p = 0; p < model.parts_count; ++p) {
    const uint32_t own = model.PartVertexCount(p);
    for (uint32_t f = model.parts[p].first_face; f < model.parts[p + 1].first_face; ++f) {
      const Face& face = model.faces[f];
      if (face.corner[0] >= own || face.corner[1] >= own || face.corner[2] >= own ||
          (!face.IsTriangle() && face.corner[3] >= own)) {
        return fail("a face uses a vertex outside its part");
      }
    }
  }
  return true;
}

}  // namespace vorna
