// Drawing inside a frame: the model's parts in the colour or the texture look, the ground slab,
// one marker per unit at its pivot, and the texture dialog's preview. Every step leaves the
// device's fixed state (see camera.h) as it found it, except what the next step sets anyway:
// DrawParts leaves the world matrices, material, texture and cylindrical wrapping of its last
// part, the preview leaves its world matrix.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "maths/vector.h"
#include "model/model.h"
#include "model/texture_mapping.h"
#include "render/device.h"
#include "render/view_state.h"

namespace vorna {

// A small mesh in the model's own face form: four vertex indices, the fourth kNoCorner for a
// triangle.
struct FixedMesh {
  std::vector<Vec3> vertices;
  std::vector<Face> faces;
};

// The ground slab, the tilted-axis marker and the unit sphere, built once with the device.
struct FixedMeshes {
  // 2 x 2 wide, 0.01 thick, its top face at y = 0; 8 vertices, 12 triangles.
  FixedMesh ground;
  // A double pyramid 0.2 long along x and 0.06 thick; 6 vertices, 8 triangles.
  FixedMesh axis_marker;
  // A coarse sphere of radius 0.036 about the origin; 26 vertices, 16 triangles and 16 quads.
  FixedMesh sphere;
};

FixedMeshes BuildFixedMeshes();

// The texture dialog's working state as the preview reads it; owned by whoever shows the dialog.
struct TexturePreviewSettings {
  MappingSettings mapping;  // edit_part, map_direction, map_scale_u/v, map_offset_u/v
  float preview_scale = 1.0f;
  bool mapping_applied = false;  // the mapping is applied and the part shows its texture
};

// What the drawing needs besides the device, the Model and the view state.
struct DrawingContext {
  Device& device;
  const FixedMeshes& meshes;
  Vec3 eye_position;          // for the depth sort
  float marker_scale = 1.0f;  // markers follow the model's size (SetMarkerScale in camera.h)
  Material default_material;  // the colour look's material
};

enum class PartLook { kColour, kTexture, kWeight };

// The colour look (flat white or highlight colours, lit, with the default material) while the
// texture dialog is closed and texture colour is off; the texture look (each part's material and
// texture) otherwise. The weight display, while on, replaces both outside the texture dialog:
// the colour look with every vertex coloured by the selected Unit's share in it.
PartLook LookOf(const ViewState& view);

// How much a Unit moves the vertices of a part. One-weight blending places a vertex of weight b
// at b * (v * world 0) + (1 - b) * (v * world 1), where world 0 is the pose above the owning
// Unit and world 1 includes the owner's own motion: the owner's share is 1 - b, a Unit above the
// owner moves the vertex wholly, any other Unit not at all.
struct UnitShare {
  enum Kind { kNone, kOwner, kWhole } kind = kNone;
  float Of(float blend) const {
    return kind == kOwner ? 1.0f - blend : (kind == kWhole ? 1.0f : 0.0f);
  }
};
UnitShare ShareOfUnit(const Model& model, int part, int unit);

// The weight display's colour for a share: opaque, blue at 0 to red at 1 (a share outside 0 .. 1
// is held to it, one that is not a number counts as 0).
uint32_t WeightColour(float share);

// Draws every part in `look` with view.fill_mode, in depth_order when semi-transparent (after
// DepthSort) and in draw_order otherwise, each with its owning unit's pose_matrix as world 0 and
// its own as world 1, blended per vertex by its weight. The fill mode is solid afterwards.
// Parts, faces or vertex indices outside the Model's arrays are skipped.
void DrawParts(DrawingContext& context, Model& model, const ViewState& view, PartLook look);

// Writes depth_order of the parts: by decreasing distance between each part's posed centre (the
// centre through pose_matrix) and the eye, ties to the lower index. A distance that is not a
// number counts as 0, so every part is listed exactly once.
void DepthSort(Model& model, Vec3 eye_position);

// The ground slab under the rest pose's lowest point, unlit, white with part_alpha.
void DrawGround(DrawingContext& context, const Model& model, const ViewState& view);

// The marker of unit `unit` on its pivot, moved by current_motion's translation and by its
// ancestors, turned by its tilt angles: the tilted-axis double pyramid for basis_type 1, the
// sphere otherwise. Red for the selected unit, yellow-green when the selection highlights it
// (IsHighlighted), blue otherwise.
void DrawUnitMarker(DrawingContext& context, const Model& model, int unit);

// The texture dialog's preview of part `preview.mapping.edit_part`: the part alone, centred and
// scaled by preview_scale, with the placement quad of the whole texture image while the mapping
// is not applied; with texture_all the whole posed model in the texture look instead of the part.
// Draws nothing for an edit_part that is no part.
void DrawTexturePreview(DrawingContext& context, Model& model, const ViewState& view,
                        const TexturePreviewSettings& preview);

// The four corners of the placement quad: corners of the box (corner_min, corner_max) on the side
// `map_direction` (0..5; another value counts as 0), in the order their texture coordinates
// (0, 0), (0, -1), (1, -1), (1, 0) go.
std::array<Vec3, 4> PlacementCorners(Vec3 corner_min, Vec3 corner_max, int map_direction);

// The world matrix of the placement quad after the preview's own matrix: the scale about the
// box's far corner and the offsets, on the projection plane of `mapping.map_direction`.
Matrix PlacementTransform(Vec3 corner_min, Vec3 corner_max, const MappingSettings& mapping,
                          float preview_scale);

}  // namespace vorna
