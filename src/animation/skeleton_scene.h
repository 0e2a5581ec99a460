// A character as other tools store it, in one neutral form: the node tree with rest transforms,
// meshes either skinned to nodes (any number of weighted influences per vertex) or carried rigidly
// by one node, and animations as per-node translation, rotation and scale channels. Every reader
// that can carry a skeleton (glTF, .x with its skin and animation sets, the separate import
// process) fills one of these; BuildModelFromScene (skeleton_import.h) is the one place that turns
// it into Parts, Units, blend weights, Motions and Anims.
//
// Conventions are glTF 2.0's, whatever the file's own: right-handed axes, column vectors,
// column-major matrices, quaternions stored x, y, z, w, a node's local transform T * R * S, times
// in seconds, names in UTF-8. A producer from a left-handed file negates z everywhere and reverses
// its triangles' winding; triangles face the viewer counter-clockwise.
//
// Everything is plain values and indices (no pointers), so a stream can carry it as it is. Nothing
// here is trusted: the build checks every index, count and number before it uses them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/mesh_builder.h"
#include "model/model.h"

namespace vorna {

using SceneMatrix = std::array<double, 16>;  // column-major
inline constexpr SceneMatrix kSceneIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

struct SceneTransform {
  std::array<double, 3> translation{0.0, 0.0, 0.0};
  std::array<double, 4> rotation{0.0, 0.0, 0.0, 1.0};  // x, y, z, w
  std::array<double, 3> scale{1.0, 1.0, 1.0};
};

// What our own glTF export records with each joint, so that the Unit comes back as it was.
struct UnitSettings {
  uint32_t basis_type = 2;
  std::array<int32_t, 3> axis_angle{};
  std::array<int32_t, 4> blend_param{0, 0, 0, 20};
};

struct SceneNode {
  std::string name;
  int32_t parent = -1;  // another node, or -1 at the top
  SceneTransform rest;
  std::optional<UnitSettings> unit;
};

// A node that skins a mesh, with the matrix that carries the mesh's positions into the node's
// space at bind time.
struct SceneBone {
  int32_t node = -1;
  SceneMatrix inverse_bind = kSceneIdentity;
};

struct SceneInfluence {
  uint32_t bone = 0;  // index into the mesh's bones
  float weight = 0.0f;
};

struct SceneMesh {
  std::string name;       // what messages call the mesh ("nodes[1]: accessors[0]")
  int32_t material = -1;  // index into SceneDescription::materials; -1 the default material
  // A rigid mesh: its positions are in this node's space (-1: the scene's). Not used when the
  // mesh has bones.
  int32_t node = -1;
  // A skinned mesh: its bones and, per vertex, its influences (vertex v owns
  // influences[influence_start[v] .. influence_start[v + 1]); influence_start has one entry more
  // than there are vertices).
  std::vector<SceneBone> bones;
  std::vector<uint32_t> influence_start;
  std::vector<SceneInfluence> influences;
  std::vector<std::array<float, 3>> positions;
  std::vector<std::array<float, 3>> normals;  // empty, or one per position
  std::vector<std::array<float, 2>> uvs;      // empty, or one per position
  std::vector<uint32_t> triangles;            // three position indices each
  // Our own export: the node of the joint whose Unit owned the Part this mesh was (-1: unknown).
  // A hint only: the import checks it against the mesh's weights.
  int32_t owner_node = -1;
};

// A material and its texture, as the Parts made from it get them.
struct SceneMaterial {
  std::string name;  // UTF-8, the Parts' name (the look's own name is not used)
  PartLook look;
};

enum class ChannelPath : uint8_t { kTranslation, kRotation, kScale };
enum class Interpolation : uint8_t { kLinear, kStep, kCubicSpline };

// One animated property of one node. `values` holds 3 numbers per key for translation and scale,
// 4 for rotation; CUBICSPLINE keys hold three such groups each: in-tangent, value, out-tangent.
struct SceneChannel {
  int32_t node = -1;
  ChannelPath path = ChannelPath::kRotation;
  Interpolation interpolation = Interpolation::kLinear;
  std::vector<float> times;
  std::vector<float> values;
};

struct SceneAnimation {
  std::string name;  // UTF-8
  std::vector<SceneChannel> channels;
  // Our own export: the Motion each key time is (the keys of every channel share their times),
  // whether the Anim loops (its last key repeats the first Motion), and whether the animation
  // runs through Motions only and is no Anim.
  std::vector<int32_t> key_motions;
  std::optional<bool> loop;
  bool motions_only = false;
  // Our own export: the Anim's place in the Anim list (tools may reorder animations).
  std::optional<int32_t> anim_index;
};

// What the file holds that a Model cannot carry, counted for the notice after loading.
struct SceneLeftOut {
  uint32_t morph_targets = 0;
  uint32_t texture_coordinate_sets = 0;  // sets beyond the first
  uint32_t vertex_colours = 0;           // meshes with colours
  uint32_t cameras = 0;
  uint32_t lights = 0;
  // Skin joints the file names but does not hold; each got a node that stays at its bind pose.
  uint32_t missing_joints = 0;
};

// The most vertices, and the most triangles, a model built from a scene may have. No model of ours
// needs more; the bound keeps a small file that instances a large mesh many times from asking for
// unbounded memory.
inline constexpr size_t kMaxSceneElements = size_t{1} << 25;

struct SceneDescription {
  std::vector<SceneNode> nodes;
  std::vector<SceneMesh> meshes;
  std::vector<SceneMaterial> materials;
  std::vector<SceneAnimation> animations;
  SceneLeftOut left_out;
};

}  // namespace vorna
