// A glTF document (gltf_document.h) as the skeletal import's neutral description
// (animation/skeleton_scene.h): what the glTF reader hands to BuildModelFromScene, with or
// without the skeleton.
//
// Nodes keep their TRS (a matrix is split into one). Every triangle primitive of every mesh node
// of the scene (the default scene, else the first, else every root node; each node once) is a
// mesh: skinned by its node's skin when it has JOINTS_n and WEIGHTS_n (every set), else carried
// rigidly by its node. Strips and fans become triangles; points and lines are counted and left
// out. Texture coordinates are the set the material's base colour texture uses, with its
// KHR_texture_transform applied. Materials give diffuse (baseColorFactor), emissive and, through
// alpha, transparency; ambient = diffuse; power from roughness as the export maps it; a
// base-colour image named by a relative URI becomes the texture file, loaded from the file's
// directory, an image inside the file is decoded into the texture, marked embedded and named
// "<stem>-<image number>.png". Animations give their translation, rotation and scale channels;
// what our own export recorded in extras (each joint's Unit settings, the joint of each Part,
// each animation's loop, key Motions and whether it is an Anim) is passed on. Morph targets,
// colours, extra coordinate sets, cameras and lights are counted for the notice.
#pragma once

#include <string>

#include "animation/skeleton_scene.h"
#include "formats/gltf_document.h"
#include "io/read_options.h"

namespace vorna {

// Fills `scene` from `doc` (checked by ReadGltfDocument). `skipped_primitives` gets the number of
// point and line primitives left out. False with `why` ("accessors[3]: ...") when an accessor's
// values are unusable or the model would exceed 2^25 vertices or faces.
bool DescribeGltfScene(const gltf::Document& doc, const std::string& directory,
                       const std::string& stem, const ReadOptions& options, SceneDescription* scene,
                       int* skipped_primitives, std::string* why);

}  // namespace vorna
