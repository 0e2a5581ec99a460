// Assimp's own reading of a file, posed from its keys and bones by the rules written here: what
// the interop tests hold our reading of other tools' files against.
#pragma once

#ifdef VORNA_HAVE_ASSIMP
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <assimp/Importer.hpp>
#include <string>
#include <utility>
#include <vector>

#include "model/model.h"
#include "support/drawn_model.h"

namespace vorna::test {

inline aiMatrix4x4 Global(const aiNode* node) {
  aiMatrix4x4 m = node->mTransformation;
  for (node = node->mParent; node != nullptr; node = node->mParent) m = node->mTransformation * m;
  return m;
}

// The key before `ticks` and the share of the way to the next one.
template <typename Key>
inline const Key* KeyAt(const Key* keys, unsigned count, double ticks, float* share) {
  unsigned k = 0;
  while (k + 1 < count && keys[k + 1].mTime <= ticks) ++k;
  const bool between = k + 1 < count && ticks > keys[k].mTime;
  *share = between
               ? static_cast<float>((ticks - keys[k].mTime) / (keys[k + 1].mTime - keys[k].mTime))
               : 0.0f;
  return keys + k;
}

// The scene's node transforms at `seconds` into animation 0, as the library's keys say:
// translations and scales interpolated linearly, rotations by slerp.
inline void PoseScene(const aiScene& scene, double seconds) {
  const aiAnimation& a = *scene.mAnimations[0];
  const double ticks = seconds * (a.mTicksPerSecond > 0 ? a.mTicksPerSecond : 25.0);
  for (unsigned c = 0; c < a.mNumChannels; ++c) {
    const aiNodeAnim& ch = *a.mChannels[c];
    aiNode* node = scene.mRootNode->FindNode(ch.mNodeName);
    if (node == nullptr) continue;  // a channel for a node the file lacks moves nothing
    aiVector3D t, s;
    aiQuaternion r;
    node->mTransformation.Decompose(s, r, t);
    float f;
    const auto lerp = [&](const aiVectorKey* keys, unsigned n, aiVector3D* v) {
      const aiVectorKey* k = n > 0 ? KeyAt(keys, n, ticks, &f) : nullptr;
      if (k != nullptr) *v = f > 0 ? k[0].mValue + (k[1].mValue - k[0].mValue) * f : k->mValue;
    };
    lerp(ch.mPositionKeys, ch.mNumPositionKeys, &t);
    lerp(ch.mScalingKeys, ch.mNumScalingKeys, &s);
    if (ch.mNumRotationKeys > 0) {
      const aiQuatKey* k = KeyAt(ch.mRotationKeys, ch.mNumRotationKeys, ticks, &f);
      r = k->mValue;
      if (f > 0) aiQuaternion::Interpolate(r, k[0].mValue, k[1].mValue, f);
    }
    node->mTransformation = aiMatrix4x4(s, r, t);
  }
}

// What the library reads: every vertex of every triangle mesh a node holds (a skinned mesh once,
// as we take it), at rest placed by its node, or posed by the library's skinning at `seconds` into
// animation 0; the triangles and their surface at rest.
struct Reading {
  std::vector<aiVector3D> positions;
  size_t triangles = 0;
  double area = 0.0;
};

inline void Gather(const aiScene& scene, const aiNode* node, bool posed, std::vector<char>& taken,
                   Reading& out) {
  for (unsigned k = 0; k < node->mNumMeshes; ++k) {
    const aiMesh& mesh = *scene.mMeshes[node->mMeshes[k]];
    if (!(mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) continue;
    if (mesh.mNumBones > 0 && taken[node->mMeshes[k]]) continue;
    taken[node->mMeshes[k]] = 1;
    std::vector<aiMatrix4x4> skin(mesh.mNumVertices, Global(node));
    if (posed && mesh.mNumBones > 0) {
      std::vector<float> total(mesh.mNumVertices, 0.0f);
      skin.assign(mesh.mNumVertices, aiMatrix4x4(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
      for (unsigned b = 0; b < mesh.mNumBones; ++b) {
        const aiBone& bone = *mesh.mBones[b];
        // A bone whose node the file lacks stays at its bind pose.
        const aiNode* joint = scene.mRootNode->FindNode(bone.mName);
        const aiMatrix4x4 m = joint != nullptr ? Global(joint) * bone.mOffsetMatrix : aiMatrix4x4();
        for (unsigned w = 0; w < bone.mNumWeights; ++w) {
          const aiVertexWeight& vw = bone.mWeights[w];
          for (int e = 0; e < 16; ++e)
            skin[vw.mVertexId][e / 4][e % 4] += vw.mWeight * m[e / 4][e % 4];
          total[vw.mVertexId] += vw.mWeight;
        }
      }
      for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        for (int e = 0; e < 16; ++e) skin[v][e / 4][e % 4] /= total[v];
      }
    }
    const size_t first = out.positions.size();
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
      out.positions.push_back(skin[v] * mesh.mVertices[v]);
    }
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
      const unsigned* i = mesh.mFaces[f].mIndices;
      const aiVector3D* p = out.positions.data() + first;
      out.area += ((p[i[1]] - p[i[0]]) ^ (p[i[2]] - p[i[0]])).Length() / 2.0;
    }
    out.triangles += mesh.mNumFaces;
  }
  for (unsigned c = 0; c < node->mNumChildren; ++c) {
    Gather(scene, node->mChildren[c], posed, taken, out);
  }
}

inline Reading ReadWithLibrary(const std::string& path, double seconds = -1.0) {
  Assimp::Importer importer;
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                              aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate | aiProcess_SortByPType);
  Reading out;
  if (scene == nullptr) return out;
  if (seconds >= 0.0) PoseScene(*scene, seconds);
  std::vector<char> taken(scene->mNumMeshes, 0);
  Gather(*scene, scene->mRootNode, seconds >= 0.0, taken, out);
  return out;
}

// The time of each Motion of the model's first Anim, which covers animation 0 (AnimTimes).
inline std::vector<std::pair<int, double>> MotionTimes(const Model& model,
                                                       const std::string& path) {
  Assimp::Importer importer;
  const aiAnimation& a = *importer.ReadFile(path, 0)->mAnimations[0];
  double first = 1e30, last = -1e30;
  for (unsigned c = 0; c < a.mNumChannels; ++c) {
    const aiNodeAnim& ch = *a.mChannels[c];
    for (const double t :
         {ch.mPositionKeys[0].mTime, ch.mRotationKeys[0].mTime, ch.mScalingKeys[0].mTime}) {
      first = std::min(first, t);
    }
    for (const double t : {ch.mPositionKeys[ch.mNumPositionKeys - 1].mTime,
                           ch.mRotationKeys[ch.mNumRotationKeys - 1].mTime,
                           ch.mScalingKeys[ch.mNumScalingKeys - 1].mTime}) {
      last = std::max(last, t);
    }
  }
  const double tps = a.mTicksPerSecond > 0 ? a.mTicksPerSecond : 25.0;
  return AnimTimes(model.anims[0], first / tps, last / tps);
}

// The library's vertices in our axes: z negated (ours are left-handed); the files posed here are
// +y up and face +z.
inline Points PointsOf(const Reading& reading) {
  Points out;
  for (const aiVector3D& p : reading.positions) out.push_back({p.x, p.y, -p.z});
  return out;
}

}  // namespace vorna::test

#endif
