// An .x file's frames, meshes, skin weights and animation sets as the skeletal import's neutral
// description (animation/skeleton_scene.h), for reading .x characters with their skeletons.
//
// Frames are the nodes (FrameTransformMatrix their rest transform). A mesh with SkinWeights is
// skinned by the frames they name, its matrixOffset the inverse bind matrix; any other mesh is
// carried rigidly by the frame it sits in. A SkinWeights naming a frame the file lacks gets a node
// of its own that stays at its bind pose. Each mesh becomes one description mesh per material it
// uses, its vertices split where a position meets several normals. An AnimationSet is an
// animation; its Animations' rotation, scale, position and matrix keys are channels on the frame
// they name, timed in AnimTicksPerSecond (4800 when the file gives none). Rotation keys are
// stored w first and conjugated, as .x writers store them. The file is left-handed: z is negated
// and every polygon's winding reversed.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "animation/skeleton_scene.h"
#include "formats/xfile/document.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "model/host.h"
#include "model/mesh_builder.h"

namespace vorna {

// Whether an index read from the file as a number lies below `limit`; sets `index` when it does.
bool XIndexBelow(double value, uint64_t limit, uint32_t* index);

// Walks an .x mesh's `face_count` faces (corner count, then corner indices, per face) and, while
// `normal_faces` matches them face by face, their normal indices (kNoNormal otherwise), calling
// `each(face, corners, normal_corners)` for every face. Sets `normals_fit` to whether the normal
// list held for every face. False, with `error`, when a face has more corners than the data or
// names a vertex at or beyond `vertex_count`.
bool ReadXFaces(
    std::span<const double> faces, uint32_t face_count, uint64_t vertex_count,
    std::span<const double> normal_faces, uint64_t normal_count,
    const std::function<void(uint32_t, std::span<const uint32_t>, std::span<const uint32_t>)>& each,
    bool* normals_fit, ReadError* error);

// A Material object's colours, power and texture file name into `look`; ambient = diffuse.
void ReadXMaterial(const xfile::DataObject& object, PartLook* look);

// Fills `scene` from `document` (untrusted: indices are checked against their lists). Textures are
// loaded from `directory` (empty or ending in '/') when options.load_textures. False, with `error`
// (may be null), when a face or a skin weight names a vertex its mesh lacks, or a mesh names a
// material its list lacks; refused with "パーツ数が256個を超えました" shown through `host` at 256
// or more materials.
bool DescribeXScene(const xfile::Document& document, const std::string& directory,
                    const ReadOptions& options, Host& host, SceneDescription* scene,
                    ReadError* error);

}  // namespace vorna
