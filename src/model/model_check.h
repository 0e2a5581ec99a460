// What a reader guarantees of a Model it reports as read: readers end with this one check, so
// drawing, normals, animation and the writers may index the arrays through these values without
// checking them again.
//
// - 1 to kMaxParts - 1 Parts with parts_count + 1 Part records (the last the sentinel);
// - node_count from parts_count up to kMaxNodes, every Unit's parent -1 or another node;
// - motion_count and anim_count within 0 .. kMaxCount, current_anim -1 or one of the Anims;
// - at least one vertex and one face; the five per-vertex arrays total_vertex_count long, faces
//   total_face_count long;
// - Part ranges start at vertex and face 0, never decrease and end at the totals;
// - every face corner lies inside its own Part (a triangle's fourth is kNoCorner).
#pragma once

#include "io/read_error.h"
#include "model/model.h"

namespace vorna {

// True when `model` keeps every rule above; otherwise false, with `error` (may be null) set to
// kInvalidModel and the first rule broken.
bool CheckModel(const Model& model, ReadError* error);

}  // namespace vorna
