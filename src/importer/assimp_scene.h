// The import helper's one step: a file read by the general-purpose import library, turned into
// the neutral description of a character (animation/skeleton_scene.h) with the images inside it,
// ready for the scene stream (formats/scene_stream.h).
//
// Axes. The description's are glTF's: right-handed, +Y up, the front of a character facing +Z.
// The library hands every family right-handed; COLLADA (by its up_axis), 3DS and MD5 come with
// +Z up already turned to +Y up by the library; FBX files say their up and front axes in their
// global settings, which we apply; Source SMD files are +Z up facing +X, id MD5 ones face +X;
// STL files are +Z up facing -Y; the rest (Milkshape, OBJ, PLY) are taken as +Y up facing +Z.
// A turn that axes need hangs above the file's root as one extra node, so that animations of the
// root stay as they are. Units are the file's own.
//
// Meshes. Every triangle mesh that a node holds is one mesh of the description, once per node that
// holds it; rigid meshes are placed by that node, skinned ones are carried into the scene's space
// at rest (their bind shape where the file's rest pose is its bind pose) with each bone's offset
// matrix turned into an inverse bind matrix of that space. Points and lines are left out. Texture
// coordinates of the first set are flipped to glTF's top-left origin. Normals that are not all
// finite numbers are left out (the build computes them).
//
// Materials: diffuse colour and opacity, specular, emissive and shininess; the diffuse (else the
// base colour) texture, by file name, or as an image inside the file.
//
// Animations: every node animation as translation, rotation and scale channels with linear
// interpolation (the library's own), key times converted from ticks to seconds (25 ticks per
// second when the file does not say).
#pragma once

#include <string>

#include "formats/scene_stream.h"

struct aiScene;
namespace Assimp {
class Importer;
}

namespace vorna {

// Reads `path` with the library's `importer`, which keeps the library's scene; false with a message
// (the library's own where it has one).
bool ReadWithAssimp(Assimp::Importer& importer, const std::string& path, StreamedScene* out,
                    std::string* why);

// Fills `out` from a scene the library read with triangulation and primitives sorted by type.
bool DescribeAssimpScene(const aiScene& scene, StreamedScene* out, std::string* why);

}  // namespace vorna
