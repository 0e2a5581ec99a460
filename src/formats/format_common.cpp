#include "formats/format_common.h"

#include <algorithm>

#include "model/file_paths.h"

namespace vorna {

void SetTitleAndDirectory(Model& model, const std::string& path) {
  model.model_dir = DirectoryOf(path);
  model.model_file_name = FileNameOf(path);
}

std::string WindowTitle(const Model& model) {
  if (model.model_file_name.empty()) return "VORNA";
  return "VORNA  <" + model.model_file_name + ">";
}

void ClampAnimsToMotions(Model& model) {
  const int32_t last = std::max(model.motion_count - 1, 0);
  for (int a = 0; a < std::clamp(model.anim_count, 0, kMaxAnims); ++a) {
    model.anims[a].first_motion = std::min(model.anims[a].first_motion, last);
    model.anims[a].last_motion = std::min(model.anims[a].last_motion, last);
  }
}

bool GeometryIsConsistent(const Model& model, std::string* why) {
  auto fail = [why](const char* text) {
    if (why != nullptr) *why = text;
    return false;
  };
  if (model.parts_count <= 0 || model.parts.size() != static_cast<size_t>(model.parts_count) + 1) {
    return fail("no parts");
  }
  if (model.positions.size() != static_cast<size_t>(model.total_vertex_count) ||
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
    const uint32_t vertices = model.PartVertexCount(p);
    for (uint32_t f = model.parts[p].first_face; f < model.parts[p + 1].first_face; ++f) {
      const Face& face = model.faces[f];
      if (face.corner[0] >= vertices || face.corner[1] >= vertices || face.corner[2] >= vertices ||
          (!face.IsTriangle() && face.corner[3] >= vertices)) {
        return fail("a face uses a vertex outside its part");
      }
    }
  }
  return true;
}

bool FinishReadingModel(Model& model, std::vector<CornerCoordinates>* corners, std::string* why) {
  auto fail = [why](const char* text) {
    if (why != nullptr) *why = text;
    return false;
  };
  if (model.parts_count <= 0) return fail("the file holds no parts");
  if (model.total_vertex_count <= 0) return fail("the file holds no vertices");
  if (model.total_face_count <= 0) return fail("the file holds no faces");
  const Part& sentinel = model.parts.back();
  if (sentinel.first_vertex <= static_cast<uint32_t>(model.total_vertex_count) &&
      sentinel.first_face <= static_cast<uint32_t>(model.total_face_count)) {
    model.total_vertex_count = static_cast<int32_t>(sentinel.first_vertex);
    model.total_face_count = static_cast<int32_t>(sentinel.first_face);
    for (auto* array : {&model.tex_u, &model.tex_v, &model.blend}) {
      array->resize(sentinel.first_vertex);
    }
    model.positions.resize(sentinel.first_vertex);
    model.normals.resize(sentinel.first_vertex);
    model.faces.resize(sentinel.first_face);
    if (corners != nullptr) corners->resize(sentinel.first_face);
  }
  if (model.total_vertex_count <= 0 || model.total_face_count <= 0) {
    return fail("the parts hold no vertices or no faces");
  }
  if (!GeometryIsConsistent(model, why)) return false;
  if (corners != nullptr) StoreCornerCoordinates(model, *corners);
  for (int u = 0; u < model.unit_count(); ++u) DeriveAxis(model, u);
  return true;
}

}  // namespace vorna
