#include "model/model.h"

#include <algorithm>

namespace vorna {

void Reset(Model& model) {
  model.current_motion = 0;
  for (Part& part : model.parts) {
    part.texture.reset();
    part.texture_file.clear();
  }
  model.forest.Clear();

  model.positions = {};
  model.normals = {};
  model.tex_u = {};
  model.tex_v = {};
  model.blend = {};
  model.faces = {};
  model.parts = {};

  model.parts_count = 0;
  model.node_count = 0;
  model.motion_count = 0;
  model.anim_count = 0;
  model.total_vertex_count = 0;
  model.total_face_count = 0;
  model.total_center = {};
  model.total_corner_min = {};
  model.total_corner_max = {};
  model.texture_all = 0;
  model.all_triangles = 0;
  model.modified = 0;
  model.loaded_type = kLoadedNone;
  model.model_dir.clear();
  model.model_file_name.clear();
  model.current_anim = -1;

  for (Unit& unit : model.units) unit = Unit{};
  for (Motion& motion : model.motions) motion = Motion{};
  for (Anim& anim : model.anims) anim = Anim{};

  model.selected_unit = -1;
  for (int n = 0; n < kMaxNodes; ++n) {
    model.parent[n] = 0;
    model.node_name[n].clear();
  }
  for (int u = 0; u < kMaxUnits; ++u) {
    model.units[u].save_order = static_cast<uint32_t>(u);
    model.units[u].blend_param[3] = 20;
  }
  for (int p = 0; p < kMaxParts; ++p) model.draw_order[p] = static_cast<uint32_t>(p);
}

void AllocateParts(Model& model, int parts_count) {
  model.parts.assign(static_cast<size_t>(parts_count) + 1, Part{});
  model.parts_count = parts_count;
  model.node_count = parts_count;
}

void AllocateVertices(Model& model, int total_vertex_count) {
  const size_t n = static_cast<size_t>(total_vertex_count);
  model.total_vertex_count = total_vertex_count;
  model.positions.assign(n, Vec3{});
  model.normals.assign(n, Vec3{});
  model.tex_u.assign(n, 0.0f);
  model.tex_v.assign(n, 0.0f);
  model.blend.assign(n, 0.0f);
}

void AllocateFaces(Model& model, int total_face_count) {
  model.total_face_count = total_face_count;
  model.faces.assign(static_cast<size_t>(total_face_count), Face{});
}

void DeriveAxis(Model& model, int unit) {
  const Unit& u = model.units[unit];
  model.units[unit].axis = TransformCoord(
      Vec3{1.0f, 0.0f, 0.0f}, RotationXYZ(u.axis_angle[0], u.axis_angle[1], u.axis_angle[2]));
}

void CheckTriangles(Model& model) {
  model.all_triangles = std::all_of(model.faces.begin(), model.faces.end(),
                                    [](const Face& f) { return f.IsTriangle(); })
                            ? 1
                            : 0;
}

std::string ClampField(std::string_view text, int capacity) {
  return std::string(text.substr(0, static_cast<size_t>(std::max(capacity - 1, 0))));
}

}  // namespace vorna
