// The skeletal import: a character in the neutral form of skeleton_scene.h becomes the Model's
// Parts, Units, blend weights, Motions and Anims, with a measured account of what our model could
// not carry exactly. Every reader that carries skeletons goes through here.
//
// Units. A node becomes a Unit when a skin names it or an animation moves it, and it moves
// vertices (its own or rigid meshes it carries) or has such a Unit below it; other nodes fold
// into the transforms of the Units around them. A top-level joint that stays where its bind pose
// puts it in every pose is no Unit: its vertices stay with the model itself. Joints our own
// export recorded (SceneNode::unit) always come back as the Units they were. A Unit's pivot is
// its joint's bind-pose position in our axes (z negated); its name is the node's, converted to
// CP932 (a name CP932 cannot carry is replaced, unnamed nodes are "joint<index>"). The basis,
// tilt axis and blend settings are those our own export recorded with the joint; otherwise a
// Unit whose every pose turns about one axis that whole-degree tilt angles can point is a
// tilt-axis Unit, any other XYZ. Parts and Units together stay within 255 nodes: beyond that the
// deepest leaf Units merge into their parents.
//
// Parts and blend weights. Each Part is one material of one Unit, materials in order, each
// material's Units in Unit order after its Part without a Unit. A vertex belongs to the Unit whose
// pair (Unit, parent Unit or the model itself) holds most of its weight, ties to the larger own
// weight; its blend weight is the parent's share of that pair. A mesh one Unit's pair holds
// wholly goes to that Unit (our own export also names it); otherwise each triangle goes to the
// Unit its corners chose, where they disagree the one that keeps its worst corner nearest the
// file's placement, and corners shared with triangles of other Units are copied. A vertex no pair
// holds wholly gets the blend weight that keeps it nearest the file's placement over the poses. A
// rigid mesh is weight 1 on the Unit that carries it. Rest positions are the bind pose.
//
// Motions and Anims. Our own export's animations name the Motion of every key and come back
// Motion for Motion with their Anims (in the order recorded, when every Anim has its place),
// loops and the Motions outside every Anim. Other files: one Anim per animation, sampled at
// MotionTimes (channel_sampling.h) with the given interval, raised when the Motions would not fit
// the table; a last sample that repeats the first makes the Anim a loop and is left out. Without
// animations the nodes' rest pose is the one Motion. Each Unit's transform relative to its parent
// becomes scale, rotation and translation about its pivot: rotations as whole degrees (XYZ angles
// nearest the previous Motion's), rounded from the root down against the parents' rounded poses so
// that errors do not add up along a chain.
#pragma once

#include <string>

#include "io/read_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

struct SceneDescription;  // animation/skeleton_scene.h

// The range of seconds between sampled Motions that the command line and settings accept.
inline constexpr double kMinImportInterval = 0.001;
inline constexpr double kMaxImportInterval = 60.0;
inline constexpr double kDefaultImportInterval = 0.1;

struct SkeletonImportOptions {
  // False: Parts only; skinned meshes in their bind shape, rigid ones where their nodes' rest
  // transforms place them; no Units, Motions or Anims.
  bool skeleton = true;
  // Seconds between the Motions sampled from other tools' animations.
  double interval = kDefaultImportInterval;
};

// What the import made and what it cost.
struct SkeletonReport {
  bool skeleton = false;  // Units, Motions and Anims came from the description
  int units = 0;
  int motions = 0;
  int anims = 0;
  int merged_joints = 0;  // joints merged into their parents to fit the node capacity
  int renamed = 0;        // Unit and Anim names CP932 cannot carry, replaced
  double interval = 0.0;  // seconds between sampled Motions; 0 when nothing was sampled
  bool coarser = false;   // ... raised to fit the Motion capacity
  // Share of the vertices whose weights lie partly outside their Unit and its parent.
  double unfitted_share = 0.0;
  // The largest distance between a vertex as we draw it and as the file places it, in the file's
  // rest pose and over every imported Motion (model units).
  double rest_displacement = 0.0;
  double pose_displacement = 0.0;
  double model_size = 1.0;
  // What could not be carried, in one line; empty when nothing was lost. Shown once by the build.
  std::string notice;
};

// A Part's name from its material's (UTF-8): CP932 when it can be, else the UTF-8 itself cut at
// a character boundary; "no-name" for none.
std::string PartName(const std::string& utf8);

// Resets `model` and fills it from `scene` (untrusted: every index, count and number is checked).
// Fails, with `error` (may be null), on a broken description: an index outside its list, a node
// that is its own ancestor, a channel whose keys and values disagree, a non-finite position, more
// than 2^25 vertices or triangles, no triangle at all; with "パーツ数が256個を超えました" shown
// when 256 or more Parts would remain. A skeleton that cannot be used (a bind matrix or pose that
// is not finite or not invertible) gives the meshes without it and says so in the notice. The
// notice goes to `host` as one warning. Ends with bounds computed; normals missing in the file are
// computed. The reader runs CheckModel.
bool BuildModelFromScene(const SceneDescription& scene, const SkeletonImportOptions& options,
                         Model& model, Host& host, SkeletonReport* report = nullptr,
                         ReadError* error = nullptr);

}  // namespace vorna
