#include "animation/skeleton_import.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "animation/channel_sampling.h"
#include "animation/pose.h"
#include "animation/rotation_angles.h"
#include "animation/scene_transform.h"
#include "animation/skeleton_scene.h"
#include "model/bounds.h"
#include "model/mesh_builder.h"
#include "model/model_check.h"
#include "model/name_text.h"

namespace vorna {

namespace {

// No character needs more nodes; the bound keeps the poses of a hostile file cheap.
constexpr size_t kMaxSceneNodes = size_t{1} << 14;
// Joints beyond this many are merged leaf-first before any pose is evaluated, which bounds the
// memory the poses take; the node capacity lies far below it anyway.
constexpr size_t kMaxTrackedJoints = 1024;
// The model itself, as the parent of a top-level Unit and the owner of static vertices.
constexpr int kWorld = -1;
// A vertex fits when no more than this share of its weight lies outside its pair of Units
// (tools write weights with float noise and quantise them to 1/255).
constexpr double kWeightSlack = 1e-3;
// Largest node count: Parts and Units share the node table, which readers clamp to 255.
constexpr int kMaxModelNodes = kMaxCount;

using Vec3d = std::array<double, 3>;

// One time of one animation; animation -1 is the nodes' rest pose.
struct Sample {
  int animation = -1;
  double time = 0.0;
};

// One weighted node of a vertex.
struct Weight {
  int node;
  double weight;
};

class SceneBuilder {
 public:
  SceneBuilder(const SceneDescription& scene, const SkeletonImportOptions& options, Model& model,
               Host& host, SkeletonReport& report)
      : scene_(scene), options_(options), model_(model), host_(host), report_(report) {}

  bool Build(ReadError* error);

 private:
  // Structure: every index in range, the nodes a forest, the numbers finite.
  bool CheckScene(std::string* why);
  bool OrderNodes(std::string* why);
  // Binds and rest transforms; false (with a reason for the notice) when they cannot be used.
  // Every node's rest transform in the scene; false when one is not finite.
  bool PlaceNodes();
  bool PrepareBinds(std::string* why);
  void GatherVertices();
  void PlanMotions();
  std::vector<SceneMatrix> GlobalsAt(const Sample& sample) const;
  void ChooseJoints();
  void TrackJoints();
  void DropStillRoots();
  void OrderUnits();
  // Each vertex's weights per Unit and the Unit it chooses.
  void WeighVertices();
  double UnitWeight(size_t vertex, int unit) const;
  // The vertex's weight on `unit` or below it (`own`) and on its parent or above (`up`).
  void SplitWeight(size_t vertex, int unit, double* own, double* up) const;
  // Whether the pair (unit, its parent) holds all of the vertex's weight.
  bool Fits(size_t vertex, int unit) const;
  // Where the file puts the vertex and where `unit` and its parent would (its weight wholly on
  // either), every `step`-th pose.
  struct Track {
    std::vector<std::array<double, 3>> want, own, up;
  };
  Track TrackOf(size_t vertex, int unit, size_t step) const;
  // The vertex's blend weight in a Part of `unit`: its parent's share when its weights fit the
  // pair, else the weight that keeps it nearest the file's placement over `track`.
  double BestBlend(size_t vertex, int unit, const Track& track) const;
  // How far (squared, at most, over a few poses) the vertex would lie from the file's placement
  // in a Part of `unit`; remembered in `cache`.
  double CornerError(size_t vertex, int unit, std::unordered_map<uint64_t, double>* cache) const;
  // The Unit whose pair holds every vertex of mesh `i` (of meshes_) wholly, the one with the
  // most weight of its own when several do; kWorld when none does.
  int WholeMeshUnit(size_t i) const;
  // Units chosen per triangle and the Parts they make; the Part count.
  int AssignTriangles();
  int MaterialOf(const SceneMesh& mesh) const {
    return mesh.material < 0 ? static_cast<int>(scene_.materials.size()) : mesh.material;
  }
  bool FitCapacity(ReadError* error);
  void DecideBases();
  void ComputeMotions();
  bool FillModel(ReadError* error);
  void Measure();
  void Notify(const std::string& refused);

  // The unit of node n: itself when it is a Unit, else the nearest Unit above it, else kWorld.
  int UnitOf(int node) const { return node < 0 ? kWorld : unit_of_[node]; }
  int UnitParent(int unit) const { return unit == kWorld ? kWorld : unit_parent_[unit]; }
  void RecomputeUnitOf();
  std::string StoredName(const std::string& utf8, const std::string& fallback);

  const SceneDescription& scene_;
  const SkeletonImportOptions& options_;
  Model& model_;
  Host& host_;
  SkeletonReport& report_;
  bool skeleton_ = false;

  // Nodes.
  std::vector<int> order_;  // parents before children
  std::vector<std::vector<int>> children_;
  std::vector<SceneMatrix> rest_global_;
  std::vector<SceneMatrix> bind_;          // the node's world transform at bind time
  std::vector<SceneMatrix> bind_inverse_;  // ... inverted
  std::vector<char> bone_;                 // named by a skin
  std::vector<char> animated_;             // moved by an animation
  std::vector<char> tracked_;              // may become a Unit
  std::vector<int> tracked_above_;         // nearest tracked node at or above, or -1
  std::vector<double> node_weight_;        // weight the node carries, over all vertices

  // Vertices of every mesh with triangles, in mesh order.
  std::vector<int> meshes_;          // the meshes taken
  std::vector<size_t> mesh_first_;   // their first vertex, one more entry at the end
  std::vector<Vec3> rest_position_;  // our axes
  std::vector<Vec3> rest_normal_;    // our axes; zero where the file has none
  std::vector<char> has_normal_;
  std::vector<uint32_t> weight_start_;  // per vertex, one more entry at the end
  std::vector<Weight> weights_;         // normalised; nodes of the description
  std::vector<char> weightless_;        // weights summing to 0: kept at the bind pose
  size_t triangle_count_ = 0;

  // Motions: one sample each, then the rest pose.
  std::vector<Sample> samples_;
  double scene_size_ = 1.0;
  int tracked_count_ = 0;
  std::vector<std::vector<RowMatrix>> skin_;  // per sample, per tracked node (ours): K = G B^-1
  std::vector<int> tracked_index_;            // node -> index into skin_ rows, or -1

  // Units.
  std::vector<int> units_;        // node per Unit, parents first
  std::vector<int> unit_of_;      // per node
  std::vector<int> unit_parent_;  // per Unit
  std::vector<UnitSettings> settings_;
  std::vector<Vec3d> pivot_;  // ours

  // Parts.
  struct PartKey {
    int material;  // scene material, or scene_.materials.size() for the default
    int unit;
    friend bool operator<(const PartKey& a, const PartKey& b) {
      return a.material != b.material ? a.material < b.material : a.unit < b.unit;
    }
    friend bool operator==(const PartKey&, const PartKey&) = default;
  };
  std::vector<uint32_t> unit_weight_start_;  // per vertex: its weights per Unit
  std::vector<Weight> unit_weights_;         // ... (node holds the Unit, kWorld included)
  std::vector<int> vertex_choice_;           // the Unit whose pair holds most of the vertex
  std::vector<int> triangle_unit_;           // per triangle over every mesh taken
  std::vector<PartKey> parts_;

  // What was made, per model vertex: where it came from.
  std::vector<uint32_t> source_;
  std::vector<char> unfitted_;

  std::vector<Motion> motion_values_;  // per sample
  std::vector<Anim> anims_;
  int motion_count_ = 0;
  int dropped_animations_ = 0;
};

// ----- Checks ---------------------------------------------------------------------------------

bool FiniteValues(const std::vector<std::array<float, 3>>& values) {
  for (const auto& v : values) {
    if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2])) return false;
  }
  return true;
}

bool SceneBuilder::CheckScene(std::string* why) {
  const size_t nodes = scene_.nodes.size();
  if (nodes > kMaxSceneNodes) {
    *why = "more nodes than a character holds";
    return false;
  }
  for (const SceneNode& node : scene_.nodes) {
    if (node.parent < -1 || node.parent >= static_cast<int64_t>(nodes)) {
      *why = "a node whose parent does not exist";
      return false;
    }
  }
  size_t vertices = 0, triangles = 0;
  for (const SceneMesh& mesh : scene_.meshes) {
    const size_t n = mesh.positions.size();
    vertices += n;
    triangles += mesh.triangles.size() / 3;
    if (vertices > kMaxSceneElements || triangles > kMaxSceneElements) {
      *why = "more vertices or faces than a model holds";
      return false;
    }
    if (mesh.material < -1 || mesh.material >= static_cast<int64_t>(scene_.materials.size()) ||
        mesh.node < -1 || mesh.node >= static_cast<int64_t>(nodes) || mesh.owner_node < -1 ||
        mesh.owner_node >= static_cast<int64_t>(nodes)) {
      *why = "a mesh naming a node or material that does not exist";
      return false;
    }
    if ((!mesh.normals.empty() && mesh.normals.size() != n) ||
        (!mesh.uvs.empty() && mesh.uvs.size() != n) || mesh.triangles.size() % 3 != 0) {
      *why = "a mesh whose lists disagree";
      return false;
    }
    for (const uint32_t index : mesh.triangles) {
      if (index >= n) {
        *why = "a triangle naming a vertex its mesh does not have";
        return false;
      }
    }
    if (!FiniteValues(mesh.positions) || !FiniteValues(mesh.normals)) {
      *why = "a position or normal that is not a finite number";
      return false;
    }
    for (const auto& uv : mesh.uvs) {
      if (!std::isfinite(uv[0]) || !std::isfinite(uv[1])) {
        *why = "a texture coordinate that is not a finite number";
        return false;
      }
    }
    if (mesh.bones.empty()) continue;
    for (const SceneBone& bone : mesh.bones) {
      if (bone.node < 0 || bone.node >= static_cast<int64_t>(nodes)) {
        *why = "a skin naming a node that does not exist";
        return false;
      }
    }
    if (mesh.influence_start.size() != n + 1 || mesh.influence_start.front() != 0 ||
        mesh.influence_start.back() != mesh.influences.size()) {
      *why = "skin weights that do not match the vertices";
      return false;
    }
    for (size_t v = 0; v < n; ++v) {
      if (mesh.influence_start[v + 1] < mesh.influence_start[v]) {
        *why = "skin weights that do not match the vertices";
        return false;
      }
    }
    for (const SceneInfluence& influence : mesh.influences) {
      if (influence.bone >= mesh.bones.size()) {
        *why = "a skin weight naming a joint the skin does not have";
        return false;
      }
    }
  }
  if (triangles == 0) {
    *why = "the file has no triangles";
    return false;
  }
  for (const SceneAnimation& animation : scene_.animations) {
    for (const SceneChannel& channel : animation.channels) {
      if (channel.node < 0 || channel.node >= static_cast<int64_t>(nodes) ||
          ChannelKeyCount(channel) == 0) {
        *why = "an animation channel whose node, keys or values are broken";
        return false;
      }
    }
  }
  return OrderNodes(why);
}

bool SceneBuilder::OrderNodes(std::string* why) {
  const size_t nodes = scene_.nodes.size();
  children_.assign(nodes, {});
  std::vector<int> roots;
  for (size_t n = 0; n < nodes; ++n) {
    const int parent = scene_.nodes[n].parent;
    (parent < 0 ? roots : children_[parent]).push_back(static_cast<int>(n));
  }
  order_ = roots;
  for (size_t i = 0; i < order_.size(); ++i) {
    for (const int child : children_[order_[i]]) order_.push_back(child);
  }
  // Nodes that no root reaches hang in a cycle of parents.
  if (order_.size() != nodes) {
    *why = "a node that is its own ancestor";
    return false;
  }
  return true;
}

// ----- Binds and vertices ---------------------------------------------------------------------

bool SceneBuilder::PlaceNodes() {
  rest_global_.assign(scene_.nodes.size(), kSceneIdentity);
  for (const int n : order_) {
    const SceneMatrix local = MatrixOf(scene_.nodes[n].rest);
    const int parent = scene_.nodes[n].parent;
    rest_global_[n] = parent < 0 ? local : Multiply(rest_global_[parent], local);
    if (!IsFinite(rest_global_[n])) return false;
  }
  return true;
}

bool SceneBuilder::PrepareBinds(std::string* why) {
  const size_t nodes = scene_.nodes.size();
  bone_.assign(nodes, 0);
  animated_.assign(nodes, 0);
  for (const SceneAnimation& animation : scene_.animations) {
    for (const SceneChannel& channel : animation.channels) animated_[channel.node] = 1;
  }
  bind_ = rest_global_;
  for (const int m : meshes_) {
    for (const SceneBone& bone : scene_.meshes[m].bones) {
      if (bone_[bone.node]) continue;
      bone_[bone.node] = 1;
      if (!Invert(bone.inverse_bind, &bind_[bone.node])) {
        *why = "逆バインド行列が逆行列を持ちません";
        return false;
      }
    }
  }
  bind_inverse_.assign(nodes, kSceneIdentity);
  for (size_t n = 0; n < nodes; ++n) {
    // An animated node flattened at rest (scaled to nothing) cannot carry anything as a Unit.
    if ((bone_[n] || animated_[n]) && !Invert(bind_[n], &bind_inverse_[n])) {
      if (bone_[n]) {
        *why = "逆バインド行列が逆行列を持ちません";
        return false;
      }
      animated_[n] = 0;
    }
  }
  return true;
}

void SceneBuilder::GatherVertices() {
  mesh_first_.assign(1, 0);
  for (size_t m = 0; m < scene_.meshes.size(); ++m) {
    const SceneMesh& mesh = scene_.meshes[m];
    // A mesh without a triangle adds nothing, not even the joints it names.
    if (mesh.triangles.empty()) continue;
    meshes_.push_back(static_cast<int>(m));
    mesh_first_.push_back(mesh_first_.back() + mesh.positions.size());
    triangle_count_ += mesh.triangles.size() / 3;
  }
}

// Rest positions, normals and normalised weights of every vertex, and the weight per node.
void GatherWeights(const SceneDescription& scene, const std::vector<int>& meshes, bool skeleton,
                   const std::vector<SceneMatrix>& rest_global,
                   const std::vector<SceneMatrix>& bind, const std::vector<int>& tracked_above,
                   std::vector<Vec3>* positions, std::vector<Vec3>* normals,
                   std::vector<char>* has_normal, std::vector<uint32_t>* weight_start,
                   std::vector<Weight>* weights, std::vector<char>* weightless,
                   std::vector<double>* node_weight) {
  auto ours = [](const Vec3d& p) {
    return Vec3{static_cast<float>(p[0]), static_cast<float>(p[1]), -static_cast<float>(p[2])};
  };
  auto normal_of = [&](const std::array<double, 9>& nm, const std::array<float, 3>& n) {
    const Vec3 v{static_cast<float>(nm[0] * n[0] + nm[1] * n[1] + nm[2] * n[2]),
                 static_cast<float>(nm[3] * n[0] + nm[4] * n[1] + nm[5] * n[2]),
                 -static_cast<float>(nm[6] * n[0] + nm[7] * n[1] + nm[8] * n[2])};
    return Normalize(v);
  };
  weight_start->assign(1, 0);
  std::vector<Weight> gathered;
  for (const int m : meshes) {
    const SceneMesh& mesh = scene.meshes[m];
    const size_t n = mesh.positions.size();
    const bool skinned = !mesh.bones.empty();
    // Rigid meshes: placed by their node's rest transform, carried by the tracked node above it
    // as at bind time (for a joint whose bind pose differs from its rest pose, moved into it).
    SceneMatrix placement = mesh.node < 0 ? kSceneIdentity : rest_global[mesh.node];
    const int carrier = mesh.node < 0 || !skeleton ? -1 : tracked_above[mesh.node];
    if (carrier >= 0) {
      SceneMatrix rest_inverse;
      if (Invert(rest_global[carrier], &rest_inverse)) {
        placement = Multiply(Multiply(bind[carrier], rest_inverse), placement);
      }
    }
    const std::array<double, 9> rigid_normals = NormalMatrix(placement);
    std::vector<SceneMatrix> bone_bind(mesh.bones.size());
    for (size_t b = 0; b < mesh.bones.size(); ++b) {
      bone_bind[b] = Multiply(bind[mesh.bones[b].node], mesh.bones[b].inverse_bind);
    }
    for (size_t v = 0; v < n; ++v) {
      const Vec3d p = {mesh.positions[v][0], mesh.positions[v][1], mesh.positions[v][2]};
      gathered.clear();
      double total = 0.0;
      if (skinned) {
        for (uint32_t i = mesh.influence_start[v]; i < mesh.influence_start[v + 1]; ++i) {
          const SceneInfluence& influence = mesh.influences[i];
          if (!(influence.weight > 0.0f) || !std::isfinite(influence.weight)) continue;
          gathered.push_back({static_cast<int>(influence.bone), influence.weight});
          total += influence.weight;
        }
      }
      const bool no_weight = skinned && !(total > 0.0 && std::isfinite(total));
      weightless->push_back(no_weight ? 1 : 0);
      if (!skinned || !skeleton || no_weight) {
        // Static, or skinned seen in its bind shape: the positions as the accessors hold them.
        const SceneMatrix& m_placement = skinned ? kSceneIdentity : placement;
        positions->push_back(ours(TransformPoint(m_placement, p)));
        const std::array<double, 9> nm = skinned ? NormalMatrix(kSceneIdentity) : rigid_normals;
        normals->push_back(mesh.normals.empty() ? Vec3{} : normal_of(nm, mesh.normals[v]));
        if (!skinned && carrier >= 0) {
          weights->push_back({carrier, 1.0});
          (*node_weight)[carrier] += 1.0;
        }
      } else {
        SceneMatrix blended{};
        for (const Weight& w : gathered) {
          const double share = w.weight / total;
          const SceneMatrix& to_rest = bone_bind[w.node];
          for (int k = 0; k < 16; ++k) blended[k] += share * to_rest[k];
          const int node = mesh.bones[w.node].node;
          weights->push_back({node, share});
          (*node_weight)[node] += share;
        }
        positions->push_back(ours(TransformPoint(blended, p)));
        normals->push_back(
            mesh.normals.empty() ? Vec3{} : normal_of(NormalMatrix(blended), mesh.normals[v]));
      }
      has_normal->push_back(mesh.normals.empty() ? 0 : 1);
      weight_start->push_back(static_cast<uint32_t>(weights->size()));
    }
  }
}

// ----- Motions to sample ----------------------------------------------------------------------

// Our own export names the Motion of every key: usable when every animation does so consistently.
bool KeysNameMotions(const SceneDescription& scene) {
  if (scene.animations.empty()) return false;
  for (const SceneAnimation& animation : scene.animations) {
    if (animation.key_motions.empty()) return false;
    for (const int32_t m : animation.key_motions) {
      if (m < 0 || m >= kMaxCount) return false;
    }
    // A channel that holds one value may have only its first and last key.
    for (const SceneChannel& channel : animation.channels) {
      if (channel.times.size() != animation.key_motions.size() && channel.times.size() != 2) {
        return false;
      }
    }
  }
  return true;
}

// The time of each key of an animation whose keys name Motions: a channel's with every key, else
// even steps from the first key to the last (every channel then holds one value).
std::vector<float> MotionKeyTimes(const SceneAnimation& animation) {
  const size_t n = animation.key_motions.size();
  for (const SceneChannel& channel : animation.channels) {
    if (channel.times.size() == n) return channel.times;
  }
  std::vector<float> times;
  if (animation.channels.empty()) return times;
  const std::vector<float>& ends = animation.channels.front().times;
  for (size_t k = 0; k < n; ++k) {
    times.push_back(n < 2 ? ends.front()
                          : ends.front() + (ends.back() - ends.front()) * static_cast<float>(k) /
                                               static_cast<float>(n - 1));
  }
  return times;
}

// Whether every channel of `animation` holds the same value at its last sample as at its first.
bool EndsWhereItBegan(const SceneAnimation& animation, double first, double last) {
  for (const SceneChannel& channel : animation.channels) {
    const std::array<double, 4> a = SampleChannel(channel, first);
    const std::array<double, 4> b = SampleChannel(channel, last);
    double same = 0.0, opposite = 0.0;
    for (int c = 0; c < 4; ++c) {
      same = std::max(same, std::fabs(a[c] - b[c]));
      opposite = std::max(opposite, std::fabs(a[c] + b[c]));
    }
    const bool rotation = channel.path == ChannelPath::kRotation;
    if (!(same < 1e-5 || (rotation && opposite < 1e-5))) return false;
  }
  return true;
}

void SceneBuilder::PlanMotions() {
  samples_.clear();
  anims_.clear();
  if (KeysNameMotions(scene_)) {
    int count = 0;
    for (const SceneAnimation& a : scene_.animations) {
      for (const int32_t m : a.key_motions) count = std::max(count, m + 1);
    }
    samples_.assign(static_cast<size_t>(count), Sample{});
    std::vector<char> placed(static_cast<size_t>(count), 0);
    std::vector<int32_t> places;
    for (size_t a = 0; a < scene_.animations.size(); ++a) {
      const SceneAnimation& animation = scene_.animations[a];
      const std::vector<float> times = MotionKeyTimes(animation);
      for (size_t k = 0; k < animation.key_motions.size(); ++k) {
        const int m = animation.key_motions[k];
        if (placed[m] || times.empty()) continue;
        placed[m] = 1;
        samples_[m] = {static_cast<int>(a), times[k]};
      }
      if (animation.motions_only || anims_.size() >= static_cast<size_t>(kMaxCount)) continue;
      const bool loop = animation.loop.value_or(false) && animation.key_motions.size() > 1;
      Anim anim;
      anim.first_motion = animation.key_motions.front();
      anim.last_motion = animation.key_motions[animation.key_motions.size() - (loop ? 2 : 1)];
      anim.loop = loop ? 1 : 0;
      anim.name = StoredName(animation.name, "anim" + std::to_string(anims_.size() + 1));
      anims_.push_back(anim);
      places.push_back(animation.anim_index.value_or(-1));
    }
    // The Anims in the order the export wrote them, when every one says its place.
    std::vector<int32_t> sorted = places;
    std::sort(sorted.begin(), sorted.end());
    bool whole = true;
    for (size_t k = 0; k < sorted.size(); ++k) {
      whole = whole && sorted[k] == static_cast<int32_t>(k);
    }
    if (whole) {
      std::vector<Anim> ordered(anims_.size());
      for (size_t k = 0; k < anims_.size(); ++k) {
        ordered[static_cast<size_t>(places[k])] = anims_[k];
      }
      anims_ = std::move(ordered);
    }
    return;
  }
  if (scene_.animations.empty()) {
    samples_.push_back(Sample{});
    return;
  }
  // Other files: every animation an Anim, as many as the table holds.
  const size_t taken = std::min(scene_.animations.size(), static_cast<size_t>(kMaxCount));
  dropped_animations_ = static_cast<int>(scene_.animations.size() - taken);
  std::vector<std::vector<double>> keys(taken);
  for (size_t a = 0; a < taken; ++a) keys[a] = KeyTimes(scene_.animations[a]);
  double interval = options_.interval;
  for (int round = 0; round < 200; ++round) {
    size_t total = 0;
    for (const auto& k : keys) total += MotionTimeCount(k, interval);
    if (total <= static_cast<size_t>(kMaxCount)) break;
    interval *= std::max(1.05, static_cast<double>(total) / kMaxCount);
    report_.coarser = true;
  }
  report_.interval = interval;
  for (size_t a = 0; a < taken; ++a) {
    std::vector<double> times = MotionTimes(keys[a], interval);
    const SceneAnimation& animation = scene_.animations[a];
    bool loop = false;
    if (times.size() >= 3 && EndsWhereItBegan(animation, times.front(), times.back())) {
      times.pop_back();
      loop = true;
    }
    // The interval search keeps the total within the table; the bound only guards it.
    if (samples_.size() + times.size() > static_cast<size_t>(kMaxCount)) {
      dropped_animations_ += static_cast<int>(taken - a);
      break;
    }
    Anim anim;
    anim.first_motion = static_cast<int32_t>(samples_.size());
    for (const double t : times) samples_.push_back({static_cast<int>(a), t});
    anim.last_motion = static_cast<int32_t>(samples_.size()) - 1;
    anim.loop = loop ? 1 : 0;
    anim.name = StoredName(animation.name, "anim" + std::to_string(a + 1));
    anims_.push_back(anim);
  }
}

std::vector<SceneMatrix> SceneBuilder::GlobalsAt(const Sample& sample) const {
  const size_t nodes = scene_.nodes.size();
  std::vector<SceneTransform> local(nodes);
  for (size_t n = 0; n < nodes; ++n) local[n] = scene_.nodes[n].rest;
  if (sample.animation >= 0) {
    for (const SceneChannel& c : scene_.animations[sample.animation].channels) {
      const std::array<double, 4> v = SampleChannel(c, sample.time);
      SceneTransform& t = local[c.node];
      if (c.path == ChannelPath::kTranslation) {
        t.translation = {v[0], v[1], v[2]};
      } else if (c.path == ChannelPath::kScale) {
        t.scale = {v[0], v[1], v[2]};
      } else {
        t.rotation = v;
      }
    }
  }
  std::vector<SceneMatrix> global(nodes);
  for (const int n : order_) {
    const SceneMatrix m = MatrixOf(local[n]);
    const int parent = scene_.nodes[n].parent;
    global[n] = parent < 0 ? m : Multiply(global[parent], m);
  }
  return global;
}

// ----- Units ----------------------------------------------------------------------------------

void SceneBuilder::ChooseJoints() {
  const size_t nodes = scene_.nodes.size();
  tracked_.assign(nodes, 0);
  for (size_t n = 0; n < nodes; ++n) tracked_[n] = bone_[n] || animated_[n];
  tracked_above_.assign(nodes, -1);
  for (const int n : order_) {
    const int parent = scene_.nodes[n].parent;
    tracked_above_[n] = tracked_[n] ? n : (parent < 0 ? -1 : tracked_above_[parent]);
  }
}

void SceneBuilder::RecomputeUnitOf() {
  unit_of_.assign(scene_.nodes.size(), kWorld);
  std::vector<int> unit_index(scene_.nodes.size(), -1);
  for (size_t u = 0; u < units_.size(); ++u) unit_index[units_[u]] = static_cast<int>(u);
  for (const int n : order_) {
    const int parent = scene_.nodes[n].parent;
    unit_of_[n] = unit_index[n] >= 0 ? unit_index[n] : (parent < 0 ? kWorld : unit_of_[parent]);
  }
  unit_parent_.assign(units_.size(), kWorld);
  for (size_t u = 0; u < units_.size(); ++u) {
    const int parent = scene_.nodes[units_[u]].parent;
    unit_parent_[u] = parent < 0 ? kWorld : unit_of_[parent];
  }
}

// Keeps the tracked nodes that carry weight or have such a node below them, merging the deepest
// leaves first while there are more than kMaxTrackedJoints.
void SceneBuilder::TrackJoints() {
  const size_t nodes = scene_.nodes.size();
  std::vector<char> below(nodes, 0);
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    const int n = *it;
    // Joints our own export recorded are Units it wrote: they come back, used or not.
    tracked_[n] = tracked_[n] && (node_weight_[n] > 0.0 || below[n] || scene_.nodes[n].unit);
    const int parent = scene_.nodes[n].parent;
    if (parent >= 0 && (tracked_[n] || below[n])) below[parent] = 1;
  }
  std::vector<int> depth(nodes, 0);
  for (const int n : order_) {
    const int parent = scene_.nodes[n].parent;
    depth[n] = parent < 0 ? 0 : depth[parent] + (tracked_[n] ? 1 : 0);
  }
  std::vector<int> kept;
  for (const int n : order_) {
    if (tracked_[n]) kept.push_back(n);
  }
  if (kept.size() > kMaxTrackedJoints) {
    // order_ is breadth-first, so the deepest come last; merge from the end.
    std::stable_sort(kept.begin(), kept.end(), [&](int a, int b) { return depth[a] < depth[b]; });
    for (size_t i = kMaxTrackedJoints; i < kept.size(); ++i) tracked_[kept[i]] = 0;
    report_.merged_joints += static_cast<int>(kept.size() - kMaxTrackedJoints);
  }
  tracked_index_.assign(nodes, -1);
  tracked_count_ = 0;
  for (const int n : order_) {
    const int parent = scene_.nodes[n].parent;
    tracked_above_[n] = tracked_[n] ? n : (parent < 0 ? -1 : tracked_above_[parent]);
    if (tracked_[n]) tracked_index_[n] = tracked_count_++;
  }
  // Each sample's skin transforms of the tracked nodes, and the rest pose's last.
  skin_.assign(samples_.size() + 1, {});
  for (size_t s = 0; s <= samples_.size(); ++s) {
    const std::vector<SceneMatrix> global = GlobalsAt(s < samples_.size() ? samples_[s] : Sample{});
    skin_[s].resize(static_cast<size_t>(tracked_count_));
    for (size_t n = 0; n < nodes; ++n) {
      if (tracked_index_[n] >= 0) {
        skin_[s][tracked_index_[n]] = OursOf(Multiply(global[n], bind_inverse_[n]));
      }
    }
  }
}

bool NearIdentity(const RowMatrix& m, double size) {
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double expected = i == j ? 1.0 : 0.0;
      const double tolerance = i == 3 ? 1e-6 * size : 1e-6;
      if (!(std::fabs(m.m[i][j] - expected) <= tolerance)) return false;
    }
  }
  return true;
}

// Top-level joints that never leave their bind pose carry nothing a Unit would move.
void SceneBuilder::DropStillRoots() {
  for (const int n : order_) {
    const int parent = scene_.nodes[n].parent;
    if (!tracked_[n] || (parent >= 0 && tracked_above_[parent] >= 0) || scene_.nodes[n].unit) {
      continue;
    }
    bool still = true;
    for (size_t s = 0; s < skin_.size() && still; ++s) {
      still = NearIdentity(skin_[s][tracked_index_[n]], scene_size_);
    }
    if (still) tracked_[n] = 0;
  }
}

void SceneBuilder::OrderUnits() {
  units_.clear();
  for (size_t n = 0; n < scene_.nodes.size(); ++n) {
    if (tracked_[n]) units_.push_back(static_cast<int>(n));
  }
  // File order when it keeps parents first (our export does), else breadth first.
  std::vector<int> position(scene_.nodes.size(), -1);
  for (size_t u = 0; u < units_.size(); ++u) position[units_[u]] = static_cast<int>(u);
  bool parents_first = true;
  for (size_t u = 0; u < units_.size() && parents_first; ++u) {
    for (int p = scene_.nodes[units_[u]].parent; p >= 0; p = scene_.nodes[p].parent) {
      if (position[p] >= 0) {
        parents_first = position[p] < static_cast<int>(u);
        break;
      }
    }
  }
  if (!parents_first) {
    units_.clear();
    for (const int n : order_) {
      if (tracked_[n]) units_.push_back(n);
    }
  }
  RecomputeUnitOf();
}

// ----- Parts ----------------------------------------------------------------------------------

void SceneBuilder::WeighVertices() {
  const size_t vertices = rest_position_.size();
  unit_weight_start_.assign(1, 0);
  unit_weights_.clear();
  vertex_choice_.assign(vertices, kWorld);
  for (size_t v = 0; v < vertices; ++v) {
    const size_t begin = unit_weights_.size();
    for (uint32_t i = weight_start_[v]; i < weight_start_[v + 1]; ++i) {
      const int unit = UnitOf(weights_[i].node);
      auto it =
          std::find_if(unit_weights_.begin() + static_cast<ptrdiff_t>(begin), unit_weights_.end(),
                       [unit](const Weight& w) { return w.node == unit; });
      if (it == unit_weights_.end()) {
        unit_weights_.push_back({unit, weights_[i].weight});
      } else {
        it->weight += weights_[i].weight;
      }
    }
    // Rigid and static vertices carry nothing: all of them is on the model itself.
    if (unit_weights_.size() == begin) unit_weights_.push_back({kWorld, 1.0});
    unit_weight_start_.push_back(static_cast<uint32_t>(unit_weights_.size()));
    int best = kWorld;
    double best_pair = -1.0, best_own = -1.0;
    for (size_t i = begin; i < unit_weights_.size(); ++i) {
      const int unit = unit_weights_[i].node;
      if (unit == kWorld) continue;
      const double own = unit_weights_[i].weight;
      const double pair = own + UnitWeight(v, UnitParent(unit));
      if (pair > best_pair + 1e-12 || (pair > best_pair - 1e-12 && own > best_own + 1e-12)) {
        best = unit;
        best_pair = pair;
        best_own = own;
      }
    }
    vertex_choice_[v] = best;
  }
}

double SceneBuilder::UnitWeight(size_t vertex, int unit) const {
  double w = 0.0;
  for (uint32_t i = unit_weight_start_[vertex]; i < unit_weight_start_[vertex + 1]; ++i) {
    if (unit_weights_[i].node == unit) w += unit_weights_[i].weight;
  }
  return w;
}

void SceneBuilder::SplitWeight(size_t vertex, int unit, double* own, double* up) const {
  // Weight below the Unit moves most like the Unit, weight above its parent most like the
  // parent: each goes to that side. Weight on other branches is left out.
  for (uint32_t i = unit_weight_start_[vertex]; i < unit_weight_start_[vertex + 1]; ++i) {
    const int u = unit_weights_[i].node;
    const double w = unit_weights_[i].weight;
    int a = u;
    while (a != kWorld && a != unit) a = UnitParent(a);
    if (a == unit) {
      *own += w;
      continue;
    }
    a = unit == kWorld ? kWorld : UnitParent(unit);
    while (a != kWorld && a != u) a = UnitParent(a);
    if (a == u) *up += w;
  }
}

bool SceneBuilder::Fits(size_t vertex, int unit) const {
  double total = 0.0;
  for (uint32_t i = unit_weight_start_[vertex]; i < unit_weight_start_[vertex + 1]; ++i) {
    total += unit_weights_[i].weight;
  }
  const double pair =
      UnitWeight(vertex, unit) + (unit == kWorld ? 0.0 : UnitWeight(vertex, UnitParent(unit)));
  return pair >= (1.0 - kWeightSlack) * total && !weightless_[vertex];
}

SceneBuilder::Track SceneBuilder::TrackOf(size_t vertex, int unit, size_t step) const {
  const Vec3 r = rest_position_[vertex];
  auto place = [&r](const RowMatrix& m, double w, std::array<double, 3>* q) {
    for (int c = 0; c < 3; ++c) {
      (*q)[c] += w * (r.x * m.m[0][c] + r.y * m.m[1][c] + r.z * m.m[2][c] + m.m[3][c]);
    }
  };
  Track track;
  for (size_t s = 0; s < skin_.size(); s += step) {
    auto skin_of_unit = [&](int u) {
      return u == kWorld ? RowMatrix{} : skin_[s][tracked_index_[units_[u]]];
    };
    std::array<double, 3> want{}, own{}, up{};
    for (uint32_t i = weight_start_[vertex]; i < weight_start_[vertex + 1]; ++i) {
      const int node = weights_[i].node;
      place(tracked_index_[node] >= 0 ? skin_[s][tracked_index_[node]] : skin_of_unit(UnitOf(node)),
            weights_[i].weight, &want);
    }
    if (weight_start_[vertex] == weight_start_[vertex + 1]) place(RowMatrix{}, 1.0, &want);
    place(skin_of_unit(unit), 1.0, &own);
    place(skin_of_unit(UnitParent(unit)), 1.0, &up);
    track.want.push_back(want);
    track.own.push_back(own);
    track.up.push_back(up);
  }
  return track;
}

double SceneBuilder::BestBlend(size_t vertex, int unit, const Track& track) const {
  double own_weight = 0.0, up_weight = 0.0;
  SplitWeight(vertex, unit, &own_weight, &up_weight);
  const double split = own_weight + up_weight > 0.0 ? up_weight / (own_weight + up_weight) : 1.0;
  if (Fits(vertex, unit)) return split;
  // The weight that places the vertex nearest the file's placement over the poses (least
  // squares of (1 - b) own + b up against the file).
  double across = 0.0, along = 0.0;
  for (size_t s = 0; s < track.want.size(); ++s) {
    for (int c = 0; c < 3; ++c) {
      const double d = track.up[s][c] - track.own[s][c];
      across += d * (track.want[s][c] - track.own[s][c]);
      along += d * d;
    }
  }
  return along > 1e-12 ? std::clamp(across / along, 0.0, 1.0) : split;
}

double SceneBuilder::CornerError(size_t vertex, int unit,
                                 std::unordered_map<uint64_t, double>* cache) const {
  const uint64_t key = static_cast<uint64_t>(vertex) << 32 | static_cast<uint32_t>(unit);
  if (const auto it = cache->find(key); it != cache->end()) return it->second;
  // A few poses spread over the Motions tell the choices apart.
  const Track track = TrackOf(vertex, unit, std::max<size_t>(1, skin_.size() / 16));
  const double b = BestBlend(vertex, unit, track);
  double worst = 0.0;
  for (size_t s = 0; s < track.want.size(); ++s) {
    double d2 = 0.0;
    for (int c = 0; c < 3; ++c) {
      const double d = (1.0 - b) * track.own[s][c] + b * track.up[s][c] - track.want[s][c];
      d2 += d * d;
    }
    worst = std::max(worst, d2);
  }
  cache->emplace(key, worst);
  return worst;
}

int SceneBuilder::WholeMeshUnit(size_t i) const {
  const size_t first = mesh_first_[i], end = mesh_first_[i + 1];
  std::vector<int> candidates;
  for (size_t v = first; v < end; ++v) {
    if (std::find(candidates.begin(), candidates.end(), vertex_choice_[v]) == candidates.end()) {
      candidates.push_back(vertex_choice_[v]);
    }
  }
  int best = kWorld;
  double best_own = -1.0;
  for (const int unit : candidates) {
    if (unit == kWorld) continue;
    double own = 0.0;
    bool all = true;
    for (size_t v = first; v < end && all; ++v) {
      all = Fits(v, unit);
      own += UnitWeight(v, unit);
    }
    if (all && own > best_own) {
      best = unit;
      best_own = own;
    }
  }
  return best;
}

int SceneBuilder::AssignTriangles() {
  WeighVertices();
  std::unordered_map<uint64_t, double> corner_errors;
  triangle_unit_.assign(triangle_count_, kWorld);
  std::vector<PartKey> keys;
  for (size_t m = 0; m < scene_.materials.size(); ++m)
    keys.push_back({static_cast<int>(m), kWorld});
  size_t t = 0;
  for (size_t i = 0; i < meshes_.size(); ++i) {
    const SceneMesh& mesh = scene_.meshes[meshes_[i]];
    const size_t first = mesh_first_[i];
    // The Unit our export names (when the mesh's weights agree: tools that keep extras while
    // they renumber nodes make the name wrong), else one whose pair holds the whole mesh.
    int owner = skeleton_ && mesh.owner_node >= 0 ? UnitOf(mesh.owner_node) : kWorld;
    for (size_t v = mesh_first_[i]; v < mesh_first_[i + 1] && owner != kWorld; ++v) {
      if (!Fits(v, owner)) owner = kWorld;
    }
    if (owner == kWorld && skeleton_) owner = WholeMeshUnit(i);
    for (size_t k = 0; k + 2 < mesh.triangles.size(); k += 3, ++t) {
      int unit = owner;
      const size_t corner[3] = {first + mesh.triangles[k], first + mesh.triangles[k + 1],
                                first + mesh.triangles[k + 2]};
      const int chose[3] = {vertex_choice_[corner[0]], vertex_choice_[corner[1]],
                            vertex_choice_[corner[2]]};
      if (owner == kWorld && chose[0] == chose[1] && chose[1] == chose[2]) {
        unit = chose[0];
      } else if (owner == kWorld) {
        // Corners that chose differently: the choice that moves its worst corner least from
        // where the file puts it, then the one most corners chose.
        double best_error = HUGE_VAL;
        int best_votes = -1;
        for (int c = 0; c < 3; ++c) {
          double error = 0.0;
          int votes = 0;
          for (int d = 0; d < 3; ++d) {
            error = std::max(error, CornerError(corner[d], chose[c], &corner_errors));
            votes += chose[d] == chose[c] ? 1 : 0;
          }
          if (error < best_error * (1.0 - 1e-9) ||
              (error <= best_error * (1.0 + 1e-9) && votes > best_votes)) {
            unit = chose[c];
            best_error = error;
            best_votes = votes;
          }
        }
      }
      triangle_unit_[t] = unit;
      keys.push_back({MaterialOf(mesh), unit});
    }
  }
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  // Every material keeps a Part, the one without a Unit when none of its triangles has one.
  parts_.clear();
  for (size_t k = 0; k < keys.size(); ++k) {
    const bool placeholder =
        keys[k].unit == kWorld && k + 1 < keys.size() && keys[k + 1].material == keys[k].material;
    if (!placeholder) parts_.push_back(keys[k]);
  }
  t = 0;
  for (const int m : meshes_) {
    const SceneMesh& mesh = scene_.meshes[m];
    for (size_t k = 0; k + 2 < mesh.triangles.size(); k += 3, ++t) {
      if (triangle_unit_[t] != kWorld) continue;
      const PartKey key{MaterialOf(mesh), kWorld};
      const auto at = std::lower_bound(parts_.begin(), parts_.end(), key);
      if (at == parts_.end() || !(*at == key)) parts_.insert(at, key);
    }
  }
  return static_cast<int>(parts_.size());
}

bool SceneBuilder::FitCapacity(ReadError* error) {
  int parts = AssignTriangles();
  while (parts + static_cast<int>(units_.size()) > kMaxModelNodes && !units_.empty()) {
    // The deepest leaf Unit (the last such in Unit order) merges into its parent; each merge
    // removes one node and at most joins its Parts with its parent's.
    std::vector<int> depth(units_.size(), 0);
    std::vector<char> has_child(units_.size(), 0);
    for (size_t u = 0; u < units_.size(); ++u) {
      if (unit_parent_[u] != kWorld) {
        depth[u] = depth[unit_parent_[u]] + 1;
        has_child[unit_parent_[u]] = 1;
      }
    }
    int victim = -1;
    for (size_t u = 0; u < units_.size(); ++u) {
      if (!has_child[u] && (victim < 0 || depth[u] >= depth[victim])) victim = static_cast<int>(u);
    }
    const int excess = parts + static_cast<int>(units_.size()) - kMaxModelNodes;
    // Merging many at once is safe: each merge frees at least its own node.
    std::vector<int> victims;
    for (size_t u = units_.size(); u-- > 0 && static_cast<int>(victims.size()) < excess;) {
      if (!has_child[u] && depth[u] == depth[victim]) victims.push_back(static_cast<int>(u));
    }
    for (const int v : victims) tracked_[units_[v]] = 0;
    report_.merged_joints += static_cast<int>(victims.size());
    std::vector<int> kept;
    for (const int n : units_) {
      if (tracked_[n]) kept.push_back(n);
    }
    units_ = kept;
    RecomputeUnitOf();
    parts = AssignTriangles();
  }
  if (parts >= kMaxParts || parts + static_cast<int>(units_.size()) > kMaxModelNodes) {
    host_.Message("パーツ数が" + std::to_string(kMaxParts) + "個を超えました", MessageIcon::kNone);
    return Fail(error, ReadErrorKind::kLimit, "256 or more Parts");
  }
  return true;
}

// ----- Motions --------------------------------------------------------------------------------

RowMatrix LocalOf(const Vec3d& pivot, const std::array<double, 3>& scale, const Rotation3& r,
                  const Vec3d& translation) {
  // T(-p) * S * R * T(p + t), as UnitLocalTransform builds it.
  RowMatrix m;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m.m[i][j] = scale[i] * r[i * 3 + j];
  }
  for (int j = 0; j < 3; ++j) {
    m.m[3][j] = pivot[j] + translation[j] -
                (pivot[0] * m.m[0][j] + pivot[1] * m.m[1][j] + pivot[2] * m.m[2][j]);
  }
  return m;
}

Rotation3 LinearPart(const RowMatrix& m) {
  Rotation3 r;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) r[i * 3 + j] = m.m[i][j];
  }
  return r;
}

void SceneBuilder::DecideBases() {
  settings_.assign(units_.size(), UnitSettings{});
  pivot_.assign(units_.size(), Vec3d{});
  for (size_t u = 0; u < units_.size(); ++u) {
    const SceneMatrix& b = bind_[units_[u]];
    pivot_[u] = {b[12], b[13], -b[14]};
    if (const auto& recorded = scene_.nodes[units_[u]].unit) {
      settings_[u] = *recorded;
      continue;
    }
    // A tilt axis when every pose turns about one axis whole degrees can point.
    std::array<double, 3> axis{};
    bool common = true, turns = false;
    const int index = tracked_index_[units_[u]];
    const int parent = unit_parent_[u];
    for (size_t s = 0; s < samples_.size() && common; ++s) {
      RowMatrix local = skin_[s][index];
      if (parent != kWorld) {
        RowMatrix inverse;
        if (!InvertAffine(skin_[s][tracked_index_[units_[parent]]], &inverse)) {
          common = false;
          break;
        }
        local = Multiply(local, inverse);
      }
      std::array<double, 3> scale;
      Rotation3 r;
      if (!SplitScaleRotation(LinearPart(local), &scale, &r)) {
        common = false;
        break;
      }
      std::array<double, 3> a;
      if (AxisAngleOf(r, &a) < 1e-3) continue;
      if (!turns) {
        axis = a;
        turns = true;
      } else {
        const double dot = a[0] * axis[0] + a[1] * axis[1] + a[2] * axis[2];
        common = std::fabs(dot) > 1.0 - 1e-7;
      }
    }
    if (!common || !turns) continue;
    // Of the two directions of the axis the one with the smaller tilt angles.
    const int lead = std::fabs(axis[0]) > 1e-9 ? 0 : (std::fabs(axis[1]) > 1e-9 ? 1 : 2);
    if (axis[lead] < 0.0) axis = {-axis[0], -axis[1], -axis[2]};
    double error = 0.0;
    const std::array<int32_t, 3> tilt = TiltOfAxis(axis, &error);
    if (error > 1e-4) continue;
    settings_[u].basis_type = 1;
    settings_[u].axis_angle = tilt;
  }
}

void SceneBuilder::ComputeMotions() {
  const size_t unit_count = units_.size();
  // The Motions, then the rest pose in the slot after them (to be measured, then cleared).
  motion_values_.assign(samples_.size() + 1, Motion{});
  std::vector<std::array<double, 3>> previous(unit_count, {0.0, 0.0, 0.0});
  std::vector<Vec3d> tilt_axis(unit_count);
  for (size_t u = 0; u < unit_count; ++u) {
    const std::array<int32_t, 3>& a = settings_[u].axis_angle;
    const Rotation3 r = RotationOfAngles({1.0 * a[0], 1.0 * a[1], 1.0 * a[2]});
    tilt_axis[u] = {r[0], r[1], r[2]};  // (1, 0, 0) turned: the first row
  }
  std::vector<RowMatrix> realised(unit_count);
  for (size_t s = 0; s < motion_values_.size(); ++s) {
    Motion& motion = motion_values_[s];
    motion.in_use = 1;
    for (size_t u = 0; u < unit_count; ++u) {
      const int parent = unit_parent_[u];
      RowMatrix local = skin_[s][tracked_index_[units_[u]]];
      if (parent != kWorld) {
        RowMatrix inverse;
        if (InvertAffine(realised[parent], &inverse)) local = Multiply(local, inverse);
      }
      std::array<double, 3> scale{1.0, 1.0, 1.0};
      Rotation3 r = RotationOfAngles(previous[u]);
      if (!SplitScaleRotation(LinearPart(local), &scale, &r)) {
        // A joint scaled to nothing: keep its turn, flatten along each vanished row.
        for (int i = 0; i < 3; ++i) {
          scale[i] = std::sqrt(local.m[i][0] * local.m[i][0] + local.m[i][1] * local.m[i][1] +
                               local.m[i][2] * local.m[i][2]);
        }
      }
      Rotation3 rounded;
      if (settings_[u].basis_type == 1) {
        double angle = AngleAbout(r, tilt_axis[u]);
        angle -= 360.0 * std::round((angle - previous[u][0]) / 360.0);
        const int32_t whole = static_cast<int32_t>(std::lround(angle));
        motion.angle[0][u] = whole;
        previous[u][0] = whole;
        rounded = RotationAboutAxis(tilt_axis[u], whole);
      } else {
        const std::array<int32_t, 3> whole = WholeDegreeAngles(r, AnglesNear(r, previous[u]));
        for (int k = 0; k < 3; ++k) {
          motion.angle[k][u] = whole[k];
          previous[u][k] = whole[k];
        }
        rounded = RotationOfAngles(previous[u]);
      }
      // The pivot goes where the file puts it, whatever the rounding did to the turn.
      const Vec3d& p = pivot_[u];
      Vec3d t;
      for (int j = 0; j < 3; ++j) {
        t[j] = p[0] * local.m[0][j] + p[1] * local.m[1][j] + p[2] * local.m[2][j] + local.m[3][j] -
               p[j];
      }
      // + 0 turns the -0 of a mirrored zero into 0, as files write it.
      motion.translation[u] = {static_cast<float>(t[0]) + 0.0f, static_cast<float>(t[1]) + 0.0f,
                               static_cast<float>(t[2]) + 0.0f};
      motion.scale[u] = {static_cast<float>(scale[0]), static_cast<float>(scale[1]),
                         static_cast<float>(scale[2])};
      const RowMatrix own = LocalOf(p, scale, rounded, t);
      realised[u] = parent == kWorld ? own : Multiply(own, realised[parent]);
    }
  }
}

// ----- The Model ------------------------------------------------------------------------------

std::string SceneBuilder::StoredName(const std::string& utf8, const std::string& fallback) {
  if (utf8.empty()) return fallback;
  std::string cp932;
  if (Utf8ToCp932(utf8, &cp932)) return ClampCp932(cp932, kNodeNameSize - 1);
  ++report_.renamed;
  return fallback;
}

bool SceneBuilder::FillModel(ReadError* error) {
  const int part_count = static_cast<int>(parts_.size());
  const int unit_count = static_cast<int>(units_.size());
  // Model vertices are (Part, source vertex) pairs in that order, so each Part lists its meshes'
  // vertices in file order: every corner of its triangles, and each vertex no triangle uses with
  // its own Unit's Part in its mesh (else the Part of the mesh's first triangle).
  std::vector<int> triangle_part(triangle_count_);
  std::vector<uint64_t> pairs;
  pairs.reserve(triangle_count_ * 3);
  std::vector<char> referenced(rest_position_.size(), 0);
  std::vector<int> mesh_parts;
  for (size_t i = 0, t = 0; i < meshes_.size(); ++i) {
    const SceneMesh& mesh = scene_.meshes[meshes_[i]];
    const size_t first = mesh_first_[i];
    mesh_parts.clear();
    for (size_t k = 0; k + 2 < mesh.triangles.size(); k += 3, ++t) {
      const PartKey key{MaterialOf(mesh), triangle_unit_[t]};
      const int part =
          static_cast<int>(std::lower_bound(parts_.begin(), parts_.end(), key) - parts_.begin());
      triangle_part[t] = part;
      if (std::find(mesh_parts.begin(), mesh_parts.end(), part) == mesh_parts.end()) {
        mesh_parts.push_back(part);
      }
      for (int c = 0; c < 3; ++c) {
        const size_t source = first + mesh.triangles[k + c];
        referenced[source] = 1;
        pairs.push_back(static_cast<uint64_t>(part) << 32 | source);
      }
    }
    for (size_t v = 0; v < mesh.positions.size(); ++v) {
      if (referenced[first + v]) continue;
      const PartKey key{MaterialOf(mesh), vertex_choice_[first + v]};
      const auto at = std::lower_bound(parts_.begin(), parts_.end(), key);
      int part = mesh_parts.front();
      if (at != parts_.end() && *at == key &&
          std::find(mesh_parts.begin(), mesh_parts.end(), at - parts_.begin()) !=
              mesh_parts.end()) {
        part = static_cast<int>(at - parts_.begin());
      }
      pairs.push_back(static_cast<uint64_t>(part) << 32 | (first + v));
    }
  }
  std::sort(pairs.begin(), pairs.end());
  pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
  std::vector<size_t> mesh_first_triangle(meshes_.size() + 1, 0);
  for (size_t i = 0; i < meshes_.size(); ++i) {
    mesh_first_triangle[i + 1] =
        mesh_first_triangle[i] + scene_.meshes[meshes_[i]].triangles.size() / 3;
  }
  // Per Part, per mesh (whose vertices its triangles name), one mesh for the builder: the pairs
  // of the Part's range that come from that mesh, and the mesh's triangles of the Part.
  const size_t vertex_total = pairs.size();
  source_.assign(vertex_total, 0);
  unfitted_.assign(vertex_total, 0);
  MeshBuilder builder(host_);
  for (int p = 0; p < part_count; ++p) {
    if (!builder.AddPart(error)) return false;
    PartLook& look = builder.Look(p);
    const int material = parts_[p].material;
    if (material < static_cast<int>(scene_.materials.size())) {
      look = scene_.materials[material].look;
      look.name = PartName(scene_.materials[material].name);
    }
  }
  std::vector<Vec3> positions, normals;
  std::vector<float> tex_u, tex_v, blend;
  std::vector<Face> mesh_faces;
  for (size_t begin = 0; begin < vertex_total;) {
    // One run of pairs: one Part, one mesh.
    const int p = static_cast<int>(pairs[begin] >> 32);
    const uint32_t first_source = static_cast<uint32_t>(pairs[begin]);
    size_t i = 0;
    while (first_source >= mesh_first_[i + 1]) ++i;
    size_t end = begin;
    while (end < vertex_total && static_cast<int>(pairs[end] >> 32) == p &&
           static_cast<uint32_t>(pairs[end]) < mesh_first_[i + 1]) {
      ++end;
    }
    const SceneMesh& m = scene_.meshes[meshes_[i]];
    positions.clear();
    normals.clear();
    tex_u.clear();
    tex_v.clear();
    blend.clear();
    const int unit = parts_[p].unit;
    for (size_t vertex = begin; vertex < end; ++vertex) {
      const uint32_t source = static_cast<uint32_t>(pairs[vertex]);
      source_[vertex] = source;
      positions.push_back(rest_position_[source]);
      if (!m.normals.empty()) normals.push_back(rest_normal_[source]);
      if (!m.uvs.empty()) {
        tex_u.push_back(m.uvs[source - mesh_first_[i]][0]);
        tex_v.push_back(m.uvs[source - mesh_first_[i]][1]);
      }
      float b = 0.0f;
      if (unit != kWorld) {
        b = static_cast<float>(
            BestBlend(source, unit, Fits(source, unit) ? Track{} : TrackOf(source, unit, 1)));
      }
      blend.push_back(b);
      unfitted_[vertex] = skeleton_ && !Fits(source, unit) ? 1 : 0;
    }
    // The mesh's triangles of this Part; z is mirrored, so the winding turns.
    mesh_faces.clear();
    const auto run_begin = pairs.begin() + static_cast<ptrdiff_t>(begin);
    const auto run_end = pairs.begin() + static_cast<ptrdiff_t>(end);
    auto local = [&](uint32_t corner) {
      const uint64_t key = static_cast<uint64_t>(p) << 32 | (mesh_first_[i] + corner);
      return static_cast<uint32_t>(std::lower_bound(run_begin, run_end, key) - run_begin);
    };
    for (size_t k = 0, t = mesh_first_triangle[i]; k + 2 < m.triangles.size(); k += 3, ++t) {
      if (triangle_part[t] != p) continue;
      mesh_faces.push_back(Face{{local(m.triangles[k]), local(m.triangles[k + 2]),
                                 local(m.triangles[k + 1]), kNoCorner}});
    }
    MeshVertices vertices;
    vertices.positions = positions;
    vertices.normals = normals;
    vertices.tex_u = tex_u;
    vertices.tex_v = tex_v;
    vertices.blend = blend;
    if (!builder.AddMesh(p, vertices, mesh_faces, error)) return false;
    begin = end;
  }
  if (!builder.Build(model_, error)) return false;
  for (int p = 0; p < part_count; ++p) {
    model_.parent[p] = parts_[p].unit == kWorld ? -1 : part_count + parts_[p].unit;
  }

  model_.node_count = part_count + unit_count;
  for (int u = 0; u < unit_count; ++u) {
    const int node = part_count + u;
    const SceneNode& scene_node = scene_.nodes[units_[u]];
    model_.node_name[node] = StoredName(scene_node.name, "joint" + std::to_string(units_[u]));
    model_.parent[node] = unit_parent_[u] == kWorld ? -1 : part_count + unit_parent_[u];
    Unit& unit = model_.units[u];
    unit.basis_type = settings_[u].basis_type;
    unit.axis_angle = settings_[u].axis_angle;
    unit.blend_param = settings_[u].blend_param;
    unit.basis_position = {static_cast<float>(pivot_[u][0]) + 0.0f,
                           static_cast<float>(pivot_[u][1]) + 0.0f,
                           static_cast<float>(pivot_[u][2]) + 0.0f};
    DeriveAxis(model_, u);
  }
  if (skeleton_) {
    motion_count_ = static_cast<int>(samples_.size());
    for (int m = 0; m <= motion_count_; ++m) model_.motions[m] = motion_values_[m];
    model_.motion_count = motion_count_;
    model_.anim_count = static_cast<int>(anims_.size());
    for (size_t a = 0; a < anims_.size(); ++a) model_.anims[a] = anims_[a];
    model_.current_anim = anims_.empty() ? -1 : 0;
  }
  // The forest, as a load would build it, so that poses can be evaluated.
  model_.forest.Clear();
  for (int u = 0; u < unit_count; ++u) {
    const int parent = model_.parent[part_count + u];
    model_.forest.InsertAppended(part_count + u, parent < 0 ? kTopLevel : parent);
  }
  for (int p = 0; p < part_count; ++p) {
    model_.forest.InsertAppended(p, model_.parent[p] < 0 ? kTopLevel : model_.parent[p]);
  }
  return CheckModel(model_, error);
}

// ----- What it cost ---------------------------------------------------------------------------

// p * m for an affine row-vector matrix (pose matrices are: their last column stays 0, 0, 0, 1,
// so this is exactly TransformCoord without its division by 1).
Vec3 Affine(Vec3 p, const Matrix& m) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2]};
}

void SceneBuilder::Measure() {
  const size_t vertices = static_cast<size_t>(model_.total_vertex_count);
  size_t unfitted = 0;
  for (const char u : unfitted_) unfitted += u ? 1 : 0;
  report_.unfitted_share = vertices > 0 ? static_cast<double>(unfitted) / vertices : 0.0;

  // Most vertices take the quick way: when their weights lie within their Unit and its parent
  // and their mesh's bind matrices agree with the joints' binds, the file puts them at
  // p * sum(w K_n) and we at p * sum(w G_u(n)) (G the Unit's drawn pose, K the joint's skin
  // transform, both on our rest position p), so the distance is |p * sum(w (G_u(n) - K_n))|.
  // The others are evaluated in full: the file's skinning on its own positions against the two
  // matrices the renderer blends.
  struct Influence {
    uint32_t slot;  // quick: a node; full: one of every mesh's bones (a rigid mesh has one)
    double share;
  };
  std::vector<size_t> first_slot(meshes_.size() + 1, 0);
  std::vector<char> agrees(meshes_.size(), 0);
  for (size_t i = 0; i < meshes_.size(); ++i) {
    const SceneMesh& mesh = scene_.meshes[meshes_[i]];
    first_slot[i + 1] = first_slot[i] + std::max<size_t>(mesh.bones.size(), 1);
    agrees[i] = 1;
    for (const SceneBone& bone : mesh.bones) {
      const SceneMatrix m = Multiply(bind_[bone.node], bone.inverse_bind);
      for (int k = 0; k < 16 && agrees[i]; ++k) {
        agrees[i] = std::fabs(m[k] - kSceneIdentity[k]) <= 1e-9 * (k >= 12 ? scene_size_ : 1.0);
      }
    }
  }
  std::vector<char> quick(vertices, 0);
  // Quick vertices hang on one or two nodes: node a with 1 - w and node b with w.
  std::vector<uint32_t> node_a(vertices, 0), node_b(vertices, 0);
  std::vector<float> share_b(vertices, 0.0f);
  std::vector<uint32_t> plan_start(vertices + 1, 0);
  std::vector<Influence> plan;
  plan.reserve(weights_.size() + vertices);
  for (size_t v = 0, i = 0; v < vertices; ++v) {
    const uint32_t source = source_[v];
    if (source < mesh_first_[i]) i = 0;
    while (source >= mesh_first_[i + 1]) ++i;
    const SceneMesh& mesh = scene_.meshes[meshes_[i]];
    const size_t local = source - mesh_first_[i];
    const bool rigid = mesh.bones.empty();
    const uint32_t first = weight_start_[source], count = weight_start_[source + 1] - first;
    quick[v] = !unfitted_[v] && !weightless_[source] && count >= 1 && count <= 2 &&
               (rigid ? mesh.node >= 0 && tracked_above_[mesh.node] == mesh.node : agrees[i]);
    if (quick[v]) {
      node_a[v] = static_cast<uint32_t>(weights_[first].node);
      node_b[v] = static_cast<uint32_t>(weights_[first + count - 1].node);
      share_b[v] = count == 2 ? static_cast<float>(weights_[first + 1].weight) : 0.0f;
    } else if (rigid) {
      plan.push_back({static_cast<uint32_t>(first_slot[i]), 1.0});
    } else if (!weightless_[source]) {
      double total = 0.0;
      for (uint32_t k = mesh.influence_start[local]; k < mesh.influence_start[local + 1]; ++k) {
        const float w = mesh.influences[k].weight;
        if (w > 0.0f && std::isfinite(w)) total += w;
      }
      for (uint32_t k = mesh.influence_start[local]; k < mesh.influence_start[local + 1]; ++k) {
        const float w = mesh.influences[k].weight;
        if (w > 0.0f && std::isfinite(w)) {
          plan.push_back(
              {static_cast<uint32_t>(first_slot[i]) + mesh.influences[k].bone, w / total});
        }
      }
    }
    // A vertex without weights stays where the file holds it: no influence.
    plan_start[v + 1] = static_cast<uint32_t>(plan.size());
  }

  // Per Part, the nodes its quick vertices hang on, and whether all of them are quick: such a
  // Part cannot move a vertex farther than its nodes' deviations move its box's corners, and
  // is passed over once something farther has been found.
  std::vector<std::vector<uint32_t>> part_nodes(model_.parts_count);
  std::vector<char> all_quick(model_.parts_count, 1);
  for (int p = 0; p < model_.parts_count; ++p) {
    for (uint32_t v = model_.parts[p].first_vertex; v < model_.parts[p + 1].first_vertex; ++v) {
      all_quick[p] = all_quick[p] && quick[v];
      for (const uint32_t n : {node_a[v], node_b[v]}) {
        if (quick[v] &&
            std::find(part_nodes[p].begin(), part_nodes[p].end(), n) == part_nodes[p].end()) {
          part_nodes[p].push_back(n);
        }
      }
    }
  }
  const int rest_slot = motion_count_;
  std::vector<SceneMatrix> bone(first_slot.back());
  // Differences of transforms are small numbers: floats carry them to well below any error
  // worth reporting, and four of them go through one vector instruction.
  struct alignas(16) Deviation {
    float m[4][4] = {};
  };
  std::vector<Deviation> deviation(scene_.nodes.size());
  std::vector<RowMatrix> drawn_unit(units_.size());
  for (size_t s = 0; s <= samples_.size(); ++s) {
    const int motion = s < samples_.size() ? static_cast<int>(s) : rest_slot;
    EvaluatePose(model_, motion);
    const std::vector<SceneMatrix> global = GlobalsAt(s < samples_.size() ? samples_[s] : Sample{});
    for (size_t u = 0; u < units_.size(); ++u) {
      const Matrix m = Multiply(UnitLocalTransform(model_, motion, static_cast<int>(u)),
                                model_.units[u].pose_matrix);
      for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) drawn_unit[u].m[r][c] = m.m[r][c];
      }
    }
    for (size_t n = 0; n < scene_.nodes.size(); ++n) {
      if (!bone_[n] && !tracked_[n]) continue;
      const RowMatrix k = OursOf(Multiply(global[n], bind_inverse_[n]));
      const int u = UnitOf(static_cast<int>(n));
      const RowMatrix g = u == kWorld ? RowMatrix{} : drawn_unit[u];
      for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
          deviation[n].m[r][c] = static_cast<float>(g.m[r][c] - k.m[r][c]);
        }
      }
    }
    for (size_t i = 0; i < meshes_.size(); ++i) {
      const SceneMesh& mesh = scene_.meshes[meshes_[i]];
      for (size_t b = 0; b < mesh.bones.size(); ++b) {
        bone[first_slot[i] + b] = Multiply(global[mesh.bones[b].node], mesh.bones[b].inverse_bind);
      }
      if (mesh.bones.empty())
        bone[first_slot[i]] = mesh.node < 0 ? kSceneIdentity : global[mesh.node];
    }
    double& figure = s < samples_.size() ? report_.pose_displacement : report_.rest_displacement;
    double worst = figure * figure;  // squared
    for (int p = 0; p < model_.parts_count; ++p) {
      if (all_quick[p]) {
        const Vec3 low = model_.parts[p].corner_min, high = model_.parts[p].corner_max;
        double bound = 0.0;
        for (const uint32_t n : part_nodes[p]) {
          const Deviation& a = deviation[n];
          for (int corner = 0; corner < 8; ++corner) {
            const Vec3 r{corner & 1 ? high.x : low.x, corner & 2 ? high.y : low.y,
                         corner & 4 ? high.z : low.z};
            double length = 0.0;
            for (int c = 0; c < 3; ++c) {
              const double x = r.x * a.m[0][c] + r.y * a.m[1][c] + r.z * a.m[2][c] + a.m[3][c];
              length += x * x;
            }
            bound = std::max(bound, length);
          }
        }
        // A little room for the floats' rounding.
        if (bound * (1.0 + 1e-4) <= worst) continue;
      }
      const auto [first, second] = PartBlendMatrices(model_, p);
      for (uint32_t v = model_.parts[p].first_vertex; v < model_.parts[p + 1].first_vertex; ++v) {
        const Vec3 r = model_.positions[v];
        double d[3] = {0.0, 0.0, 0.0};
        if (quick[v]) {
          const Deviation& a = deviation[node_a[v]];
          const Deviation& b = deviation[node_b[v]];
          const float w = share_b[v];
          for (int c = 0; c < 3; ++c) {
            const float x = r.x * a.m[0][c] + r.y * a.m[1][c] + r.z * a.m[2][c] + a.m[3][c];
            const float y = r.x * b.m[0][c] + r.y * b.m[1][c] + r.z * b.m[2][c] + b.m[3][c];
            d[c] = x + w * (y - x);
          }
        } else {
          // The file's own position, skinned as the file says (z mirrored into ours).
          const uint32_t source = source_[v];
          size_t i = 0;
          while (source >= mesh_first_[i + 1]) ++i;
          const std::array<float, 3>& f =
              scene_.meshes[meshes_[i]].positions[source - mesh_first_[i]];
          double q[3] = {f[0], f[1], f[2]};
          if (plan_start[v] != plan_start[v + 1]) q[0] = q[1] = q[2] = 0.0;
          for (uint32_t k = plan_start[v]; k < plan_start[v + 1]; ++k) {
            const SceneMatrix& m = bone[plan[k].slot];
            for (int c = 0; c < 3; ++c) {
              q[c] += plan[k].share * (m[c] * f[0] + m[4 + c] * f[1] + m[8 + c] * f[2] + m[12 + c]);
            }
          }
          const float b = model_.blend[v];
          const Vec3 drawn = Affine(r, first) * b + Affine(r, second) * (1.0f - b);
          d[0] = drawn.x - q[0];
          d[1] = drawn.y - q[1];
          d[2] = drawn.z + q[2];
        }
        worst = std::max(worst, d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
      }
    }
    figure = std::sqrt(worst);
  }
  model_.motions[rest_slot] = Motion{};
}

std::string Number(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void SceneBuilder::Notify(const std::string& refused) {
  std::vector<std::string> items;
  if (!refused.empty()) items.push_back("骨格は読み込めませんでした（" + refused + "）");
  const double size = report_.model_size;
  const bool approximate =
      report_.unfitted_share > 0.0 ||
      std::max(report_.rest_displacement, report_.pose_displacement) > 1e-4 * size;
  if (report_.skeleton && approximate) {
    items.push_back("2つのユニットに重みが収まらない頂点 " +
                    Number("%.1f", 100.0 * report_.unfitted_share) +
                    "%、元のファイルとのずれ 最大 " + Number("%.4g", report_.rest_displacement) +
                    "（静止ポーズ）・" + Number("%.4g", report_.pose_displacement) +
                    "（モーション、モデルの大きさの " +
                    Number("%.2f", 100.0 * report_.pose_displacement / size) + "%）");
  }
  if (report_.merged_joints > 0) {
    items.push_back("関節" + std::to_string(report_.merged_joints) +
                    "個を親のユニットに統合しました");
  }
  if (report_.coarser) {
    items.push_back("モーション数の上限のため " + Number("%.3g", report_.interval) +
                    " 秒ごとに読み込みました");
  }
  if (dropped_animations_ > 0) {
    items.push_back("アニメーション" + std::to_string(dropped_animations_) +
                    "個は上限を超えるため読み込みませんでした");
  }
  if (report_.renamed > 0) {
    items.push_back("Shift_JIS にできない名前" + std::to_string(report_.renamed) +
                    "個を置き換えました");
  }
  const SceneLeftOut& out = scene_.left_out;
  std::string left;
  auto add = [&left](uint32_t count, const char* what) {
    if (count == 0) return;
    left += (left.empty() ? "" : "、") + std::string(what) + std::to_string(count) + "個";
  };
  add(out.morph_targets, "モーフターゲット");
  add(out.texture_coordinate_sets, "2つ目以降のテクスチャ座標");
  add(out.vertex_colours, "頂点カラー");
  add(out.cameras, "カメラ");
  add(out.lights, "ライト");
  if (!left.empty()) items.push_back(left + "は読み込みませんでした");
  if (out.missing_joints > 0) {
    items.push_back("ファイルにない関節" + std::to_string(out.missing_joints) +
                    "個の重みは動かない関節のものとしました");
  }
  std::string notice;
  for (const std::string& item : items) notice += item + "。";
  report_.notice = notice;
  if (!notice.empty()) host_.Message(notice, MessageIcon::kWarning);
}

bool SceneBuilder::Build(ReadError* error) {
  Reset(model_);
  std::string why;
  if (!CheckScene(&why)) return Fail(error, ReadErrorKind::kBadData, why);
  if (!PlaceNodes()) {
    return Fail(error, ReadErrorKind::kBadData, "a node transform that is not finite");
  }
  GatherVertices();
  std::string refused;
  skeleton_ = options_.skeleton && PrepareBinds(&refused);
  if (skeleton_) {
    ChooseJoints();
  } else {
    tracked_above_.assign(scene_.nodes.size(), -1);
    bind_ = rest_global_;
  }
  node_weight_.assign(scene_.nodes.size(), 0.0);
  GatherWeights(scene_, meshes_, skeleton_, rest_global_, bind_, tracked_above_, &rest_position_,
                &rest_normal_, &has_normal_, &weight_start_, &weights_, &weightless_,
                &node_weight_);
  for (size_t v = 0; v < rest_position_.size(); ++v) {
    auto finite = [](Vec3 a) {
      return std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
    };
    if (!finite(rest_position_[v]) || !finite(rest_normal_[v])) {
      size_t i = 0;
      while (v >= mesh_first_[i + 1]) ++i;
      const std::string& name = scene_.meshes[meshes_[i]].name;
      return Fail(error, ReadErrorKind::kBadData,
                  (name.empty() ? "a vertex" : name) + " placed beyond finite coordinates");
    }
  }
  if (skeleton_) {
    float low = HUGE_VALF, high = -HUGE_VALF;
    for (const Vec3& p : rest_position_) {
      for (int c = 0; c < 3; ++c) {
        low = std::min(low, p[c]);
        high = std::max(high, p[c]);
      }
    }
    scene_size_ = high > low ? static_cast<double>(high) - low : 1.0;
    PlanMotions();
    TrackJoints();
    DropStillRoots();
    OrderUnits();
  } else {
    RecomputeUnitOf();
  }
  if (!FitCapacity(error)) {
    Reset(model_);
    return false;
  }
  if (skeleton_) {
    DecideBases();
    ComputeMotions();
  }
  if (!FillModel(error)) {
    Reset(model_);
    return false;
  }
  report_.skeleton = skeleton_;
  report_.model_size = ModelSize(model_);
  if (skeleton_) {
    report_.units = static_cast<int>(units_.size());
    report_.motions = motion_count_;
    report_.anims = static_cast<int>(anims_.size());
    Measure();
  }
  Notify(refused);
  return true;
}

}  // namespace

std::string PartName(const std::string& utf8) {
  if (utf8.empty()) return "no-name";
  std::string cp932;
  if (Utf8ToCp932(utf8, &cp932)) return ClampCp932(cp932, kNodeNameSize - 1);
  std::string name = utf8.substr(0, kNodeNameSize - 1);
  while (!name.empty() && !IsValidUtf8(name)) name.pop_back();
  return name;
}

bool BuildModelFromScene(const SceneDescription& scene, const SkeletonImportOptions& options,
                         Model& model, Host& host, SkeletonReport* report, ReadError* error) {
  SkeletonReport local;
  SkeletonReport& out = report != nullptr ? *report : local;
  out = SkeletonReport{};
  try {
    SceneBuilder builder(scene, options, model, host, out);
    if (builder.Build(error)) return true;
  } catch (const std::bad_alloc&) {
    Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
  Reset(model);
  return false;
}

}  // namespace vorna
