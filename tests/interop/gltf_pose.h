// Posing for the interop tests: a glTF file as the format defines its evaluation (through the glTF
// parser, not our reader) and our model as the renderer draws it, compared vertex by vertex.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "model/model.h"
#include "support/drawn_model.h"
#include "support/gltf_reader.h"
#include "support/gltf_transforms.h"

namespace vorna::test {

using Mat = Mat4;

// An accessor's values as doubles (floats, and normalised or plain integers).
inline std::vector<double> Values(const tinygltf::Model& g, int index) {
  const tinygltf::Accessor& a = g.accessors.at(index);
  const tinygltf::BufferView& v = g.bufferViews.at(a.bufferView);
  const int n = tinygltf::GetNumComponentsInType(a.type);
  const int size = tinygltf::GetComponentSizeInBytes(a.componentType);
  const size_t stride = v.byteStride ? v.byteStride : static_cast<size_t>(n * size);
  std::vector<double> out;
  for (size_t i = 0; i < a.count; ++i) {
    const unsigned char* p =
        &g.buffers.at(v.buffer).data.at(v.byteOffset + a.byteOffset + i * stride);
    for (int c = 0; c < n; ++c, p += size) {
      double x = 0;
      if (a.componentType == TINYGLTF_COMPONENT_TYPE_FLOAT) {
        float f;
        std::memcpy(&f, p, 4);
        x = f;
      } else if (size == 1) {
        x = a.normalized ? *p / 255.0 : *p;
      } else {
        uint16_t u;
        std::memcpy(&u, p, 2);
        x = a.normalized ? u / 65535.0 : u;
      }
      out.push_back(x);
    }
  }
  return out;
}

// Every vertex of every mesh node of the scene at `seconds` of animation `a` (-1: the nodes'
// rest pose): skinned by joints (world * inverse bind, weighted), or placed by its node. `rest`
// gets where our import puts the vertex at rest (the bind shape, or the node's rest placement),
// both in our axes (z negated).
inline void PoseGltf(const tinygltf::Model& g, int a, double seconds, Points* rest, Points* posed) {
  const size_t n = g.nodes.size();
  std::vector<std::vector<double>> t(n), r(n), s(n);
  for (size_t i = 0; i < n; ++i) {
    const tinygltf::Node& node = g.nodes[i];
    t[i] = node.translation.empty() ? std::vector<double>{0, 0, 0} : node.translation;
    r[i] = node.rotation.empty() ? std::vector<double>{0, 0, 0, 1} : node.rotation;
    s[i] = node.scale.empty() ? std::vector<double>{1, 1, 1} : node.scale;
  }
  std::vector<Mat> local_rest(n);
  for (size_t i = 0; i < n; ++i) local_rest[i] = Trs(t[i], r[i], s[i]);
  if (a >= 0) {
    for (const tinygltf::AnimationChannel& c : g.animations[a].channels) {
      const tinygltf::AnimationSampler& sampler = g.animations[a].samplers[c.sampler];
      const std::vector<double> times = Values(g, sampler.input);
      const std::vector<double> values = Values(g, sampler.output);
      const size_t width = values.size() / times.size();
      size_t k = 0;
      while (k + 1 < times.size() && times[k + 1] <= seconds) ++k;
      double f = k + 1 < times.size() && seconds > times[k]
                     ? (seconds - times[k]) / (times[k + 1] - times[k])
                     : 0.0;
      if (sampler.interpolation == "STEP") f = 0.0;
      std::vector<double> v(values.begin() + k * width, values.begin() + (k + 1) * width);
      if (f > 0) {
        std::vector<double> next(values.begin() + (k + 1) * width,
                                 values.begin() + (k + 2) * width);
        if (c.target_path == "rotation") {
          // Spherical, the shorter way round.
          double dot = 0;
          for (int i = 0; i < 4; ++i) dot += v[i] * next[i];
          if (dot < 0) {
            for (double& x : next) x = -x;
            dot = -dot;
          }
          const double angle = std::acos(std::min(dot, 1.0));
          const double wa = angle > 1e-9 ? std::sin((1 - f) * angle) / std::sin(angle) : 1 - f;
          const double wb = angle > 1e-9 ? std::sin(f * angle) / std::sin(angle) : f;
          for (int i = 0; i < 4; ++i) v[i] = wa * v[i] + wb * next[i];
        } else {
          for (size_t i = 0; i < width; ++i) v[i] += f * (next[i] - v[i]);
        }
      }
      auto& target = c.target_path == "rotation"      ? r[c.target_node]
                     : c.target_path == "translation" ? t[c.target_node]
                                                      : s[c.target_node];
      if (c.target_path == "rotation") {
        const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
        for (double& x : v) x /= l;
      }
      target = v;
    }
  }
  std::vector<int> parent(n, -1);
  for (size_t i = 0; i < n; ++i) {
    for (const int c : g.nodes[i].children) parent[c] = static_cast<int>(i);
  }
  std::function<Mat(int, bool)> world = [&](int i, bool at_rest) {
    const Mat m = at_rest ? local_rest[i] : Trs(t[i], r[i], s[i]);
    return parent[i] < 0 ? m : Mul(world(parent[i], at_rest), m);
  };
  auto apply = [](const Mat& m, const double* p, double w, std::array<double, 3>* out) {
    for (int c = 0; c < 3; ++c) {
      (*out)[c] += w * (m[c] * p[0] + m[4 + c] * p[1] + m[8 + c] * p[2] + m[12 + c]);
    }
  };
  for (size_t i = 0; i < n; ++i) {
    const tinygltf::Node& node = g.nodes[i];
    if (node.mesh < 0) continue;
    for (const tinygltf::Primitive& p : g.meshes[node.mesh].primitives) {
      const std::vector<double> positions = Values(g, p.attributes.at("POSITION"));
      std::vector<Mat> joints;
      std::vector<double> joint_index, weight;
      if (node.skin >= 0 && p.attributes.count("JOINTS_0")) {
        const tinygltf::Skin& skin = g.skins[node.skin];
        const std::vector<double> ibm = Values(g, skin.inverseBindMatrices);
        for (size_t j = 0; j < skin.joints.size(); ++j) {
          Mat inverse;
          std::copy(ibm.begin() + 16 * j, ibm.begin() + 16 * (j + 1), inverse.begin());
          joints.push_back(Mul(world(skin.joints[j], false), inverse));
        }
        joint_index = Values(g, p.attributes.at("JOINTS_0"));
        weight = Values(g, p.attributes.at("WEIGHTS_0"));
      }
      const Mat placed = world(static_cast<int>(i), false);
      const Mat placed_rest = world(static_cast<int>(i), true);
      for (size_t v = 0; v < positions.size() / 3; ++v) {
        std::array<double, 3> at{}, still{};
        const double* q = &positions[3 * v];
        if (joints.empty()) {
          apply(placed, q, 1.0, &at);
          apply(placed_rest, q, 1.0, &still);
        } else {
          double total = 0;
          for (int k = 0; k < 4; ++k) total += weight[4 * v + k];
          for (int k = 0; k < 4; ++k) {
            apply(joints[static_cast<size_t>(joint_index[4 * v + k])], q, weight[4 * v + k] / total,
                  &at);
          }
          still = {q[0], q[1], q[2]};
        }
        rest->push_back({still[0], still[1], -still[2]});
        posed->push_back({at[0], at[1], -at[2]});
      }
    }
  }
}

}  // namespace vorna::test
