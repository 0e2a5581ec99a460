// The scene stream: a character in the neutral form of animation/skeleton_scene.h as bytes, the
// way the import helper (src/importer, a separate process that links the general-purpose import
// library) hands what it read to us on its standard output. This header is the format's only
// documentation; the writer and the reader below are its only implementation.
//
// Everything is little-endian; f32 and f64 are IEEE single and double precision; a string is a
// u32 length that counts a terminating zero byte, the bytes, then that zero byte. A "list of N" is
// a u32 N followed by N records. In order:
//
//   magic      8 bytes "VRNSCENE", then u32 version = 1
//   nodes      list of: string name (UTF-8); i32 parent (-1 or an earlier or later node);
//              f64 translation[3], rotation[4] (x, y, z, w), scale[3];
//              u8 unit (0 or 1); when 1: u32 basis_type, i32 axis_angle[3], i32 blend_param[4]
//   images     list of images inside the model file: u8 kind; kind 0 an encoded image file
//              (PNG, JPEG, ...): u32 length, the bytes; kind 1 raw pixels: u32 width,
//              u32 height, width * height * 4 bytes R, G, B, A (rows top to bottom)
//   materials  list of: string name (UTF-8); f32 diffuse[4], specular[4], emissive[4] (RGBA);
//              f32 power; string texture file (as the model file names it, may be empty);
//              i32 image (-1, or the image inside the file that is the texture)
//   meshes     list of: string name; i32 material; i32 node; i32 owner_node;
//              u32 vertex count V; u8 has (1 normals, 2 texture coordinates, nothing else);
//              f32 positions[3V]; f32 normals[3V] when given; f32 uvs[2V] when given;
//              u32 triangle count T; u32 corners[3T];
//              list of bones: i32 node, f64 inverse_bind[16] (column-major);
//              when the list is not empty: u32 influence count I; u32 influence_start[V + 1];
//              I influences: u32 bone, f32 weight
//   animations list of: string name; u8 loop (0 not said, 1 no, 2 yes); u8 motions_only (0, 1);
//              list of i32 key_motions; list of channels: i32 node; u8 path (0 translation,
//              1 rotation, 2 scale); u8 interpolation (0 linear, 1 step, 2 cubic spline);
//              list of f32 times; list of f32 values
//   left out  u32 morph_targets, texture_coordinate_sets, vertex_colours, cameras, lights,
//              missing_joints
//   end        4 bytes "DONE", and nothing after them
//
// The stream is untrusted (the helper runs a large parser over the user's file and may be
// broken): the reader checks every count against the bytes still left before it allocates, and
// every enumeration and flag against its values. It does not check what refers to what (a
// mesh's node, a bone's node): BuildModelFromScene does that for every producer.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "animation/skeleton_scene.h"
#include "io/read_error.h"

namespace vorna {

// An image stored inside a model file: the bytes of an image file, or raw RGBA pixels.
struct SceneImage {
  std::vector<std::uint8_t> encoded;  // empty for raw pixels
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4 bytes when `encoded` is empty
  friend bool operator==(const SceneImage&, const SceneImage&) = default;
};

// What a stream carries: the description, the images inside the file, and per material (in the
// description's order) the image that is its texture or -1. A material's texture file name is
// SceneMaterial::part.texture_file; its colours are part.material (ambient is not carried:
// readers make it the diffuse colour).
struct StreamedScene {
  SceneDescription scene;
  std::vector<SceneImage> images;
  std::vector<std::int32_t> material_image;
};

// The stream of `streamed`. Fields the format does not carry (a material's Part apart from its
// colours, power and texture file name) are left out.
std::string WriteSceneStream(const StreamedScene& streamed);

// Fills `out` from `bytes` (untrusted). On failure `out` is empty and `error` (may be null)
// says what was wrong and at which byte.
bool ReadSceneStream(std::span<const std::uint8_t> bytes, StreamedScene* out,
                     ReadError* error = nullptr);

}  // namespace vorna
