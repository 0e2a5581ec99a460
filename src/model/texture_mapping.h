// Texture coordinates computed from a Part's geometry by a planar, spherical or wrap-around
// projection, and the mapping settings kept with the Parts.
//
// Directions (map_direction, stored as texture_map_type): 0 and 1 project along z onto the XY
// plane, 2 and 3 along x onto ZY, 4 and 5 along y onto XZ; the odd one of each pair mirrors u in
// the planar mapping. A direction outside 0..5 maps as 0.
//
// The box of a mapping is the Part's stored box and vertex range, or with texture_all the total
// box and every vertex. An extent of 0 counts as 1, and so does a scale of 0, so no setting
// divides by zero.
#pragma once

#include <cstdint>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The texture dialog's working settings.
struct MappingSettings {
  int edit_part = 0;
  int32_t map_direction = 0;
  float map_scale_u = 1.0f;
  float map_scale_v = 1.0f;
  float map_offset_u = 0.0f;
  float map_offset_v = 0.0f;
};

// The working settings of `part` as stored in its record (edit_part = part).
MappingSettings SettingsOfPart(const Model& model, int part);

// Stores the settings as texture_map_type and texture_map_param of edit_part. With texture_all,
// every Part gets them, edit_part's texture file (loaded from model_dir, shown with the wait
// cursor) and its texture_map_flag; that fails, changing nothing, when edit_part's texture file
// does not exist in model_dir. False also for an edit_part that is no Part.
bool StoreMappingSettings(Model& model, const MappingSettings& settings, Host& host);

// StoreMappingSettings, then the coordinates of `part` (with texture_all: of every vertex) by the
// texture_map_flag of `part`: 0 planar, 1 spherical, 2 wrap-around; another flag computes
// nothing. False when storing fails or `part` is no Part.
bool ApplyMapping(Model& model, const MappingSettings& settings, int part, Host& host);

// Projects the box onto the plane of the direction: with scale 1 and offset 0 the image covers
// the box once, u growing with x (z for directions 2, 3), v growing downwards. The offsets (model
// units) move the image's top-left corner right and down.
void PlanarMapping(Model& model, const MappingSettings& settings, int part);
// From the normals: u = n.h / 2 + 0.5, v = -(n.v / 2 + 0.5) on the plane of the direction.
void SphericalMapping(Model& model, const MappingSettings& settings, int part);
// Around the box's centre: u = (360 - angle) / 360 / scale_u, v from the top of the box.
void WrapMapping(Model& model, const MappingSettings& settings, int part);

// The preview's scale: the smaller of 1.2 / a and 1.2 / b for the extents a, b of edit_part's box
// on the plane of the direction (0 counting as 1). 1 for an edit_part that is no Part.
float PreviewScale(const Model& model, const MappingSettings& settings);

// What the texture dialog shows while CopyToAllParts runs.
enum class TextureDialogPage : int32_t { kClosed = 0, kTexture = 1, kMaterial = 2 };

// For every Part other than edit_part: on the texture page, its texture file, texture and kind
// become edit_part's and, when the kind is above 0 or the mapping is applied, its coordinates are
// computed with the current settings (all 0 when there is no texture file); on the material page,
// its material becomes edit_part's.
void CopyToAllParts(Model& model, const MappingSettings& settings, TextureDialogPage page,
                    bool mapping_applied, Host& host);

}  // namespace vorna
