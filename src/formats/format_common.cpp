#include "formats/format_common.h"

#include <algorithm>
#include <cassert>

#include "model/file_paths.h"
#include "model/model_check.h"

namespace vorna {

bool ReadModelFile(const std::string& path, FileBytes* out, ReadError* error) {
  return ReadWholeFile(ResolveFileName(path), out, error);
}

bool VersionReadable(const std::string& version, Host& host) {
  if (version >= kOldestVersionRead) return true;
  host.Message("ファイル バージョンが違います", MessageIcon::kNone);
  return false;
}

void SetTitleAndDirectory(Model& model, const std::string& path) {
  model.model_dir = DirectoryOf(path);
  model.model_file_name = FileNameOf(path);
}

void ClampAnimsToMotions(Model& model) {
  const int32_t last = std::max(model.motion_count - 1, 0);
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  for (int a = 0; a < model.anim_count; ++a) {
    model.anims[a].first_motion = std::min(model.anims[a].first_motion, last);
    model.anims[a].last_motion = std::min(model.anims[a].last_motion, last);
  }
}

bool FinishReadingModel(Model& model, std::vector<CornerCoordinates>* corners, ReadError* error) {
  auto fail = [error](const char* text) { return Fail(error, ReadErrorKind::kInvalidModel, text); };
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
  if (!CheckModel(model, error)) return false;
  if (corners != nullptr) StoreCornerCoordinates(model, *corners);
  for (int u = 0; u < model.unit_count(); ++u) DeriveAxis(model, u);
  return true;
}

}  // namespace vorna
