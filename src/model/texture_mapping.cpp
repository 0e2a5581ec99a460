#include "model/texture_mapping.h"

#include <algorithm>
#include <cmath>

#include "model/file_paths.h"
#include "model/part_range.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

// The box and vertex range a mapping of `part` works on.
struct MappingBox {
  Vec3 low;
  Vec3 high;
  Vec3 center;
  IndexRange vertices;
};

MappingBox BoxFor(const Model& model, int part) {
  if (model.texture_all) {
    return {model.total_corner_min,
            model.total_corner_max,
            model.total_center,
            {0, UsableVertexCount(model)}};
  }
  const Part& p = model.parts[part];
  return {p.corner_min, p.corner_max, p.center, PartVertexRange(model, part)};
}

float NonZero(float value) { return value == 0.0f ? 1.0f : value; }

float Extent(const MappingBox& box, int axis) {
  return NonZero(std::fabs(box.high[axis] - box.low[axis]));
}

int Direction(const MappingSettings& settings) {
  return settings.map_direction >= 0 && settings.map_direction <= 5 ? settings.map_direction : 0;
}

bool IsPart(const Model& model, int part) { return part >= 0 && part < UsablePartCount(model); }

void StoreInto(Part& part, const MappingSettings& settings) {
  part.texture_map_type = settings.map_direction;
  part.texture_map_param = {settings.map_scale_u, settings.map_scale_v, settings.map_offset_u,
                            settings.map_offset_v};
}

}  // namespace

MappingSettings SettingsOfPart(const Model& model, int part) {
  MappingSettings settings;
  settings.edit_part = part;
  if (!IsPart(model, part)) return settings;
  const Part& p = model.parts[part];
  settings.map_direction = p.texture_map_type;
  settings.map_scale_u = p.texture_map_param[0];
  settings.map_scale_v = p.texture_map_param[1];
  settings.map_offset_u = p.texture_map_param[2];
  settings.map_offset_v = p.texture_map_param[3];
  return settings;
}

bool StoreMappingSettings(Model& model, const MappingSettings& settings, Host& host) {
  if (!IsPart(model, settings.edit_part)) return false;
  if (!model.texture_all) {
    StoreInto(model.parts[settings.edit_part], settings);
    return true;
  }
  // Copies, since the loop below rewrites edit_part's record too.
  const std::string file = model.parts[settings.edit_part].texture_file;
  const uint32_t flag = model.parts[settings.edit_part].texture_map_flag;
  if (!FileExists(StoredFilePath(model.model_dir, file))) return false;
  WaitCursor wait(host);
  TextureCache cache;
  for (int p = 0; p < UsablePartCount(model); ++p) {
    Part& part = model.parts[p];
    StoreInto(part, settings);
    if (part.texture_file != file) {
      part.texture_file = file;
      LoadTexture(part, StoredFilePath(model.model_dir, file), &cache);
    }
    part.texture_map_flag = flag;
  }
  return true;
}

bool ApplyMapping(Model& model, const MappingSettings& settings, int part, Host& host) {
  if (!IsPart(model, part)) return false;
  if (!StoreMappingSettings(model, settings, host)) return false;
  switch (model.parts[part].texture_map_flag) {
    case 0:
      PlanarMapping(model, settings, part);
      break;
    case 1:
      SphericalMapping(model, settings, part);
      break;
    case 2:
      WrapMapping(model, settings, part);
      break;
    default:
      break;
  }
  return true;
}

void PlanarMapping(Model& model, const MappingSettings& settings, int part) {
  if (!IsPart(model, part)) return;
  const MappingBox box = BoxFor(model, part);
  const int direction = Direction(settings);
  // Horizontal and vertical axis of the image on the projection plane.
  const int h = direction == 2 || direction == 3 ? 2 : 0;
  const int v = direction >= 4 ? 2 : 1;
  const float width = direction % 2 == 1 ? -Extent(box, h) : Extent(box, h);
  const float fu = width * NonZero(settings.map_scale_u);
  const float fv = Extent(box, v) * NonZero(settings.map_scale_v);
  for (uint32_t i = box.vertices.begin; i < box.vertices.end; ++i) {
    const Vec3 q = model.positions[i];
    model.tex_u[i] = ((q[h] - box.low[h]) - settings.map_offset_u) / fu;
    model.tex_v[i] = ((box.high[v] - q[v]) - settings.map_offset_v) / fv;
  }
}

void SphericalMapping(Model& model, const MappingSettings& settings, int part) {
  if (!IsPart(model, part)) return;
  const MappingBox box = BoxFor(model, part);
  const int direction = Direction(settings);
  const int h = direction == 2 || direction == 3 ? 2 : 0;
  const int v = direction >= 4 ? 2 : 1;
  for (uint32_t i = box.vertices.begin; i < box.vertices.end; ++i) {
    const Vec3 n = model.normals[i];
    model.tex_u[i] = n[h] / 2.0f + 0.5f;
    model.tex_v[i] = -(n[v] / 2.0f + 0.5f);
  }
}

void WrapMapping(Model& model, const MappingSettings& settings, int part) {
  if (!IsPart(model, part)) return;
  const MappingBox box = BoxFor(model, part);
  const int direction = Direction(settings);
  // The angle is measured in the plane across the wrapping axis: atan2(first, second).
  int first, second, v;
  if (direction <= 1) {
    first = 0, second = 2, v = 1;
  } else if (direction <= 3) {
    first = 2, second = 0, v = 1;
  } else {
    first = 0, second = 1, v = 2;
  }
  const float fv = Extent(box, v) * NonZero(settings.map_scale_v);
  const float scale_u = NonZero(settings.map_scale_u);
  for (uint32_t i = box.vertices.begin; i < box.vertices.end; ++i) {
    const Vec3 q = model.positions[i];
    float a =
        std::atan2(q[first] - box.center[first], q[second] - box.center[second]) * 180.0f / kPi;
    if (a < 0.0f) a += 360.0f;
    if (a > 360.0f) a -= 360.0f;
    model.tex_u[i] = ((360.0f - a) / 360.0f) / scale_u;
    model.tex_v[i] = (box.high[v] - q[v]) / fv;
  }
}

float PreviewScale(const Model& model, const MappingSettings& settings) {
  if (!IsPart(model, settings.edit_part)) return 1.0f;
  const Part& part = model.parts[settings.edit_part];
  const MappingBox box{part.corner_min, part.corner_max, part.center, {}};
  static constexpr int kPlaneAxes[3][2] = {{0, 1}, {2, 1}, {0, 2}};
  const int plane = Direction(settings) / 2;
  const float a = Extent(box, kPlaneAxes[plane][0]);
  const float b = Extent(box, kPlaneAxes[plane][1]);
  return std::min(1.2f / a, 1.2f / b);
}

void CopyToAllParts(Model& model, const MappingSettings& settings, TextureDialogPage page,
                    bool mapping_applied, Host& host) {
  const int edit = settings.edit_part;
  if (!IsPart(model, edit)) return;
  TextureCache cache;
  for (int p = 0; p < UsablePartCount(model); ++p) {
    if (p == edit) continue;
    if (page == TextureDialogPage::kTexture) {
      Part& part = model.parts[p];
      part.texture_file = model.parts[edit].texture_file;
      LoadTexture(part, StoredFilePath(model.model_dir, part.texture_file), &cache);
      part.texture_map_flag = model.parts[edit].texture_map_flag;
      if (part.texture_map_flag > 0 || mapping_applied) {
        if (!part.texture_file.empty()) {
          ApplyMapping(model, settings, p, host);
        } else {
          const IndexRange range = PartVertexRange(model, p);
          std::fill(model.tex_u.begin() + range.begin, model.tex_u.begin() + range.end, 0.0f);
          std::fill(model.tex_v.begin() + range.begin, model.tex_v.begin() + range.end, 0.0f);
        }
      }
    } else if (page == TextureDialogPage::kMaterial) {
      model.parts[p].material = model.parts[edit].material;
    }
  }
}

}  // namespace vorna
