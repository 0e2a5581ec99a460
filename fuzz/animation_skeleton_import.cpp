// Builds a neutral scene description from arbitrary bytes (node trees with cycles and dangling
// parents, skins naming missing joints, flat and non-finite matrices, weights summing to nothing,
// channels whose keys and values disagree) and hands it to the skeletal import; what it accepts
// must hold together.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "animation/skeleton_import.h"
#include "animation/skeleton_scene.h"
#include "model_reader_checks.h"

namespace {

class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t U8() { return at_ < size_ ? data_[at_++] : 0; }
  // A count below `limit`.
  size_t Count(size_t limit) { return U8() % limit; }
  // An index from -2 to count: mostly valid, sometimes not.
  int Index(size_t count) { return static_cast<int>(U8() % (count + 3)) - 2; }
  // Small numbers in 1/64 steps, with bytes that stand for the numbers files should not hold.
  float F() {
    const int16_t raw = static_cast<int16_t>(U8() | U8() << 8);
    if (raw == INT16_MAX) return __builtin_nanf("");
    if (raw == INT16_MAX - 1) return __builtin_inff();
    if (raw == INT16_MIN) return 1e30f;
    return raw / 64.0f;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

vorna::SceneDescription Describe(Bytes& in) {
  vorna::SceneDescription s;
  s.nodes.resize(in.Count(24));
  for (vorna::SceneNode& node : s.nodes) {
    node.name = std::string(in.Count(4), static_cast<char>('a' + in.Count(26)));
    node.parent = in.Index(s.nodes.size());
    for (double& v : node.rest.translation) v = in.F();
    if (in.U8() & 1) {
      for (double& v : node.rest.rotation) v = in.F();
    }
    if (in.U8() & 1) {
      for (double& v : node.rest.scale) v = in.F();
    }
    if (in.U8() & 1) {
      node.unit = vorna::UnitSettings{static_cast<uint32_t>(in.Count(4)),
                                      {in.Index(90), in.Index(90), in.Index(90)},
                                      {in.Index(3), in.Index(100), in.Index(2), in.Index(100)}};
    }
  }
  s.materials.resize(in.Count(3));
  s.meshes.resize(in.Count(4));
  for (vorna::SceneMesh& mesh : s.meshes) {
    mesh.material = in.Index(s.materials.size());
    mesh.node = in.Index(s.nodes.size());
    mesh.owner_node = in.Index(s.nodes.size());
    mesh.bones.resize(in.Count(6));
    for (vorna::SceneBone& bone : mesh.bones) {
      bone.node = in.Index(s.nodes.size());
      if (in.U8() & 1) {
        for (double& v : bone.inverse_bind) v = in.F();
      } else {
        for (int k = 12; k < 15; ++k) bone.inverse_bind[k] = in.F();
      }
    }
    mesh.positions.resize(in.Count(24));
    mesh.influence_start.push_back(0);
    for (auto& p : mesh.positions) {
      p = {in.F(), in.F(), in.F()};
      for (size_t k = in.Count(4); k > 0 && !mesh.bones.empty(); --k) {
        mesh.influences.push_back({static_cast<uint32_t>(in.Count(mesh.bones.size() + 1)), in.F()});
      }
      mesh.influence_start.push_back(static_cast<uint32_t>(mesh.influences.size()));
    }
    if (mesh.bones.empty() && (in.U8() & 1)) mesh.influence_start.clear();
    if (in.U8() & 1) mesh.normals.assign(mesh.positions.size(), {0.0f, 1.0f, 0.0f});
    for (size_t t = in.Count(24) * 3; t > 0; --t) {
      mesh.triangles.push_back(static_cast<uint32_t>(in.Count(mesh.positions.size() + 1)));
    }
  }
  s.animations.resize(in.Count(3));
  for (vorna::SceneAnimation& animation : s.animations) {
    animation.channels.resize(in.Count(6));
    for (vorna::SceneChannel& channel : animation.channels) {
      channel.node = in.Index(s.nodes.size());
      channel.path = static_cast<vorna::ChannelPath>(in.Count(3));
      channel.interpolation = static_cast<vorna::Interpolation>(in.Count(3));
      const size_t keys = in.Count(8);
      float time = 0.0f;
      for (size_t k = 0; k < keys; ++k) channel.times.push_back(time += in.F());
      const size_t groups = channel.interpolation == vorna::Interpolation::kCubicSpline ? 3 : 1;
      const size_t width = channel.path == vorna::ChannelPath::kRotation ? 4 : 3;
      for (size_t v = keys * groups * width + (in.U8() == 0xFF ? 1 : 0); v > 0; --v) {
        channel.values.push_back(in.F());
      }
    }
    if (in.U8() & 1) {
      for (size_t k = in.Count(8); k > 0; --k) animation.key_motions.push_back(in.Index(300));
      animation.loop = (in.U8() & 1) != 0;
      animation.motions_only = (in.U8() & 1) != 0;
    }
  }
  s.left_out.cameras = in.U8() & 1;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  Bytes in(data, size);
  vorna::SkeletonImportOptions options;
  options.skeleton = (in.U8() & 3) != 0;
  options.interval = 0.01 + in.Count(64) * 0.05;
  const vorna::SceneDescription scene = Describe(in);
  vorna::ScriptedHost host;
  const bool accepted = vorna::BuildModelFromScene(scene, options, *model, host);
  vorna::fuzz::CheckReaderResult(accepted, *model);
  return 0;
}
