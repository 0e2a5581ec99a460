// glTF 2.0 files (".gltf", ".glb"). The document (formats/gltf_document.h) becomes the skeletal
// import's neutral description (formats/gltf_scene.h), which animation/skeleton_import.h turns
// into the Model: with ReadOptions::skeleton the nodes, skins and animations become Units, blend
// weights, Motions and Anims; without it (the default of a direct ParseGltf; the format row reads
// skeletons unless told otherwise) the meshes of the scene become one Part per material, as .x
// files are read.
//
// Meshes only: every triangle primitive of every mesh node of the scene (the default scene, else
// the first, else every root node) is placed by its node's world transform; skinned meshes are
// taken in their bind pose (as their accessors hold them). Strips and fans become triangles;
// points and lines are left out, and one message says so. z is negated (our coordinates are
// left-handed) and each triangle's winding reversed, undoing what our export does. Part i holds
// the triangles of material i in file order, each primitive with its own vertices; primitives
// without a material share one more Part with the default material at the end. Materials give
// diffuse (baseColorFactor), emissive and, through alpha, transparency; ambient = diffuse.
// Texture coordinates are the set the base-colour texture names, as its KHR_texture_transform
// changes them; vertex data may be quantized (KHR_mesh_quantization) or sparse. Missing normals
// are computed from the triangles. Part names are the material names ("no-name" for none), in
// CP932 when they can be.
//
// Textures: a base-colour image named by a relative URI becomes the Part's texture file, loaded
// from the file's directory. An image inside the file (a buffer view or a data URI) is decoded
// into the Part's texture, marked embedded, and named "<file stem>-<image number>.png" so that
// saving in a format that stores texture names writes it beside the model (beside_files.h).
//
// The bytes are untrusted: formats/gltf_document.h checks the document before anything is read.
// Refused besides what it refuses: a vertex attribute of the wrong type, a value or a placed
// vertex that is not finite, an index outside its primitive, a file without a triangle, a model
// beyond 2^25 vertices or faces. Refused with "パーツ数が256個を超えました": 256 or more Parts.
// On failure the Model is empty.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "io/read_error.h"
#include "io/read_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Resets the Model and reads the file at `path`; `error` (may be null) says why a read failed.
bool ImportGltf(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
                ReadError* error = nullptr);

// Resets the Model and fills it from `bytes` (untrusted; a .glb when they start with "glTF",
// else JSON). External files are looked up in `directory` (empty or ending in '/'); `stem` names
// the embedded textures.
bool ParseGltf(Model& model, std::span<const uint8_t> bytes, const std::string& directory,
               const std::string& stem, Host& host, const ReadOptions& options = {},
               ReadError* error = nullptr);

}  // namespace vorna
