// .x files (".x"), read: the file's meshes become one Part per material. Frames, animations and
// skin information are not read: the Model gets no Units, Motions or Anims. With
// ReadOptions::skeleton they are: the file goes through the skeletal import (x_scene.h,
// animation/skeleton_import.h) instead, which the rest of this comment does not describe.
//
// Every Mesh of the file (at the top level or inside Frames) joins one combined mesh, its
// positions carried through the FrameTransformMatrix of each enclosing Frame, innermost first.
// Polygons of more than three corners become fans of triangles from their first corner; faces of
// fewer than three corners are left out. MeshNormals with their own face indices give per-corner
// normals: a position that meets several normals in one Part becomes several vertices. Meshes
// without usable normals get normals computed from their triangles. MeshTextureCoords give u and
// v per position (0 without them). MeshMaterialList assigns materials per face; a list shorter
// than the faces repeats its last entry (the one-entry list colours the whole mesh), and a mesh
// without a list gets the default material. The materials of all meshes, in file order, are the
// Parts: Part i holds the faces of material i, in file order, with their own vertices, so a
// material used by no face is an empty Part. Parts are named "no-name"; ambient = diffuse; a
// texture file name is kept and its image loaded from the file's directory.
//
// Refused silently: anything the .x codec refuses, a file without a face, an index outside its
// mesh (skin weights included), a model beyond the vertex and face capacity. Refused with
// "パーツ数が256個を超えました": 256 or more Parts. On failure the Model is empty.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/read_error.h"
#include "io/read_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Resets the Model and reads the file at `path` into it; `error` (may be null) says why a read
// failed. Whatever is read passes CheckModel.
bool ImportX(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
             ReadError* error = nullptr);

// Resets the Model and fills it from `bytes` (untrusted). Texture names are resolved against
// `directory` (empty or ending in '/').
bool ParseX(Model& model, std::span<const std::uint8_t> bytes, const std::string& directory,
            Host& host, const ReadOptions& options = {}, ReadError* error = nullptr);

}  // namespace vorna
