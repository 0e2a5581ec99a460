// glTF 2.0 files (".glb", ".gltf"), written: every Part with faces as a mesh of one triangle
// primitive with its material and texture, the Units as a skeleton of joints skinning the Parts
// they own, and the Motions as animations that reproduce our poses exactly at their keys.
//
// Coordinates: ours are left-handed with the front view looking along +z; glTF is right-handed,
// so z is negated on the way out and every triangle's winding reversed, which keeps the model
// facing a glTF viewer the way it faces our front view.
//
// Skinning: joint 0 is a root node that never moves (the frame of the top-level Units); every
// Unit is a joint whose rest transform sits at its pivot. A vertex follows its own Unit's joint
// with weight 1 - blend and its parent Unit's joint with weight blend, which is the two-matrix
// blending our renderer draws (blend weights outside 0..1 are clamped; glTF cannot extrapolate).
// Parts without a Unit above them are not skinned.
//
// Animations: one per Anim with its Motions as keys (a looping Anim repeats its first Motion as
// a last key; "loop" is in the animation's extras), or one "ALL" over every Motion. Channels are
// linear. Every animation keys the same channels: those that any animation moves away from
// their rest value; a channel holding one value throughout an animation gets only its first and
// last key.
//
// What glTF has no words for goes into extras, so that our own import restores it exactly: each
// joint's basis type, tilt axis angles and blend settings ("basis_type", "axis_angle",
// "blend_param"), the name of each skinned Part's Unit's joint ("joint" on its mesh node), and per
// animation the Motion of every key ("motions") and its place in the Anim list ("anim_index"),
// or that it is no Anim ("anim": false, the "ALL" one, written also when some Motion lies outside
// every Anim).
//
// Save options: without `skin` the file has no skeleton (and so no animations), every Part a
// plain mesh in its rest position; without `anim` no animations; without `translation` or
// `scale` no channels of that kind.
//
// Materials (gltf_material.h): baseColorFactor = diffuse RGBA and emissiveFactor = emissive RGB,
// colours as linear light; metallic 0, roughness from the specular power, BLEND when diffuse
// alpha < 1. Textures: PNG and JPEG files are copied as they are, every other readable image is
// re-encoded as PNG.
#pragma once

#include <string>

#include "formats/save_options.h"
#include "io/write_error.h"
#include "model/model.h"

namespace vorna {

// Writes `model` (unchanged) to `path`: with `binary` one .glb with the buffer and the images
// inside, else .gltf JSON with the buffer as "<name>.bin" and the texture images beside it, all
// referred to by relative URIs. Beside a .gltf no file is replaced that the .gltf being replaced
// does not name: a name another file has is passed over for a numbered one ("<name>-2.bin"),
// which options.beside (may be null) records. Keys are options.gltf.key_interval seconds apart.
// Files are saved atomically; options.progress is told the bytes of the one file whose rename
// commits the save (the .glb, or the .bin that a .gltf is written after), and a stop before that
// rename leaves the old files. False, with `error` (may be null), when the model has no Part with
// faces or holds a number that is not finite, the key interval is outside kMinGltfKeyInterval to
// kMaxGltfKeyInterval (kModel), or a file cannot be saved.
bool ExportGltf(const Model& model, const std::string& path, bool binary,
                const SaveOptions& options = {}, WriteError* error = nullptr);

}  // namespace vorna
