#include "importer/assimp_scene.h"

#include <assimp/commonMetaData.h>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <array>
#include <assimp/Importer.hpp>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "animation/scene_transform.h"
#include "importer/weld.h"

namespace vorna {

namespace {

using Vec3d = std::array<double, 3>;

SceneMatrix ColumnMajor(const aiMatrix4x4& m) {
  return {m.a1, m.b1, m.c1, m.d1, m.a2, m.b2, m.c2, m.d2,
          m.a3, m.b3, m.c3, m.d3, m.a4, m.b4, m.c4, m.d4};
}

Vec3d Cross(const Vec3d& a, const Vec3d& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The turn that carries a file's up and front directions (as the library hands them) to +Y and
// +Z; right-handed, so right is up x front.
SceneMatrix TurnFrom(const Vec3d& up, const Vec3d& front) {
  const Vec3d right = Cross(up, front);
  SceneMatrix m = kSceneIdentity;
  for (int c = 0; c < 3; ++c) {
    m[c * 4 + 0] = right[c];
    m[c * 4 + 1] = up[c];
    m[c * 4 + 2] = front[c];
  }
  return m;
}

const aiString* MetaString(const aiScene& scene, const char* key) {
  const aiMetadata* meta = scene.mMetaData;
  if (meta == nullptr) return nullptr;
  for (unsigned i = 0; i < meta->mNumProperties; ++i) {
    if (std::strcmp(meta->mKeys[i].C_Str(), key) == 0 && meta->mValues[i].mType == AI_AISTRING) {
      return static_cast<const aiString*>(meta->mValues[i].mData);
    }
  }
  return nullptr;
}

// An axis setting of an FBX file's global settings: 0, 1 or 2 (x, y, z) or a sign, 1 or -1.
bool MetaInt(const aiScene& scene, const char* key, int32_t* value) {
  const aiMetadata* meta = scene.mMetaData;
  if (meta == nullptr) return false;
  for (unsigned i = 0; i < meta->mNumProperties; ++i) {
    if (std::strcmp(meta->mKeys[i].C_Str(), key) == 0 && meta->mValues[i].mType == AI_INT32) {
      std::memcpy(value, meta->mValues[i].mData, sizeof *value);
      return true;
    }
  }
  return false;
}

Vec3d Axis(int32_t axis, int32_t sign) {
  Vec3d v{0.0, 0.0, 0.0};
  v[axis] = sign < 0 ? -1.0 : 1.0;
  return v;
}

// The turn from the axes of the family the library recognised to ours, or the identity.
SceneMatrix AxesTurn(const aiScene& scene) {
  const aiString* format = MetaString(scene, AI_METADATA_SOURCE_FORMAT);
  const std::string_view name = format != nullptr ? format->C_Str() : "";
  if (name.find("FBX") != std::string_view::npos) {
    int32_t up = 1, up_sign = 1, front = 2, front_sign = 1;
    MetaInt(scene, "UpAxis", &up);
    MetaInt(scene, "UpAxisSign", &up_sign);
    MetaInt(scene, "FrontAxis", &front);
    MetaInt(scene, "FrontAxisSign", &front_sign);
    if (up < 0 || up > 2 || front < 0 || front > 2 || up == front) return kSceneIdentity;
    return TurnFrom(Axis(up, up_sign), Axis(front, front_sign));
  }
  if (name.find("SMD") != std::string_view::npos) return TurnFrom({0, 0, 1}, {0, 1, 0});
  // The library has turned MD5's +Z up to +Y; the front stays +X.
  if (name.find("MD5") != std::string_view::npos) return TurnFrom({0, 1, 0}, {1, 0, 0});
  if (name.find("STL") != std::string_view::npos) return TurnFrom({0, 0, 1}, {0, -1, 0});
  return kSceneIdentity;
}

class Describer {
 public:
  Describer(const aiScene& scene, StreamedScene& out) : scene_(scene), out_(out) {}
  bool Describe(std::string* why);

 private:
  void AddNodes();
  int AddNode(const std::string& name, int parent, const SceneMatrix& local);
  void AddImages();
  void AddMaterials();
  void AddMeshes();
  void AddMesh(const aiMesh& mesh, int node);
  void AddSkin(const aiMesh& mesh, const SceneMatrix& inverse_place, SceneMesh& out);
  int BoneNode(const std::string& name, const SceneMatrix& inverse_bind);
  void AddAnimations();

  const aiScene& scene_;
  StreamedScene& out_;
  SceneDescription& description() { return out_.scene; }
  std::vector<SceneMatrix> global_;             // per node of the description, at rest
  std::vector<const aiNode*> source_;           // the library's node of each, or null
  std::unordered_map<std::string, int> named_;  // the first node of each name
  std::vector<char> skin_taken_;                // per library mesh: a skinned mesh already added
};

int Describer::AddNode(const std::string& name, int parent, const SceneMatrix& local) {
  SceneNode node;
  node.name = name;
  node.parent = parent;
  if (!TransformOf(local, &node.rest)) {
    // Flattened (a zero scale): the position at least.
    node.rest.translation = {local[12], local[13], local[14]};
    node.rest.scale = {0.0, 0.0, 0.0};
  }
  const int index = static_cast<int>(description().nodes.size());
  description().nodes.push_back(std::move(node));
  global_.push_back(parent < 0 ? local : Multiply(global_[parent], local));
  named_.try_emplace(name, index);
  return index;
}

void Describer::AddNodes() {
  int top = -1;
  if (const SceneMatrix turn = AxesTurn(scene_); turn != kSceneIdentity) {
    top = AddNode("", -1, turn);
    source_.push_back(nullptr);
    named_.erase("");
  }
  // Depth first, parents before their children, children in the file's order.
  std::vector<std::pair<const aiNode*, int>> stack = {{scene_.mRootNode, top}};
  while (!stack.empty()) {
    const auto [node, parent] = stack.back();
    stack.pop_back();
    const int index = AddNode(node->mName.C_Str(), parent, ColumnMajor(node->mTransformation));
    source_.push_back(node);
    for (unsigned c = node->mNumChildren; c-- > 0;) stack.push_back({node->mChildren[c], index});
  }
}

void Describer::AddImages() {
  for (unsigned t = 0; t < scene_.mNumTextures; ++t) {
    const aiTexture& texture = *scene_.mTextures[t];
    SceneImage image;
    if (texture.mHeight == 0) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(texture.pcData);
      image.encoded.assign(bytes, bytes + texture.mWidth);
    } else {
      image.width = texture.mWidth;
      image.height = texture.mHeight;
      const size_t texels = size_t{texture.mWidth} * texture.mHeight;
      image.rgba.resize(texels * 4);
      for (size_t i = 0; i < texels; ++i) {
        const aiTexel& texel = texture.pcData[i];
        image.rgba[i * 4 + 0] = texel.r;
        image.rgba[i * 4 + 1] = texel.g;
        image.rgba[i * 4 + 2] = texel.b;
        image.rgba[i * 4 + 3] = texel.a;
      }
    }
    out_.images.push_back(std::move(image));
  }
}

Color ColorOf(const aiMaterial& material, const char* key, unsigned type, unsigned index,
              const Color& otherwise) {
  aiColor4D c;
  if (material.Get(key, type, index, c) != AI_SUCCESS) return otherwise;
  return {c.r, c.g, c.b, c.a};
}

void Describer::AddMaterials() {
  for (unsigned m = 0; m < scene_.mNumMaterials; ++m) {
    const aiMaterial& material = *scene_.mMaterials[m];
    SceneMaterial out;
    aiString name;
    if (material.Get(AI_MATKEY_NAME, name) == AI_SUCCESS) out.name = name.C_Str();
    Material& colours = out.look.material;
    colours.diffuse = ColorOf(material, AI_MATKEY_COLOR_DIFFUSE, {0.8f, 0.8f, 0.8f, 1.0f});
    float opacity = 1.0f;
    material.Get(AI_MATKEY_OPACITY, opacity);
    // A material that would hide its mesh entirely is far more often an exporter's slip than
    // the author's wish.
    colours.diffuse.a = opacity > 0.0f && opacity <= 1.0f ? opacity : 1.0f;
    colours.ambient = colours.diffuse;
    colours.specular = ColorOf(material, AI_MATKEY_COLOR_SPECULAR, {});
    colours.emissive = ColorOf(material, AI_MATKEY_COLOR_EMISSIVE, {});
    colours.specular.a = colours.emissive.a = 0.0f;
    float shininess = 0.0f;
    if (material.Get(AI_MATKEY_SHININESS, shininess) == AI_SUCCESS && shininess > 0.0f) {
      colours.power = shininess;
    }
    int32_t image = -1;
    aiString path;
    if (material.GetTexture(aiTextureType_DIFFUSE, 0, &path) == AI_SUCCESS ||
        material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) == AI_SUCCESS) {
      const auto [embedded, index] = scene_.GetEmbeddedTextureAndIndex(path.C_Str());
      if (embedded != nullptr) {
        image = index;
      } else {
        out.look.texture_file = path.C_Str();
      }
    }
    description().materials.push_back(std::move(out));
    out_.material_image.push_back(image);
  }
}

int Describer::BoneNode(const std::string& name, const SceneMatrix& inverse_bind) {
  if (const auto it = named_.find(name); it != named_.end()) return it->second;
  // A joint the file names but does not hold stays where the skin was bound.
  SceneMatrix bind;
  if (!Invert(inverse_bind, &bind)) bind = kSceneIdentity;
  ++description().left_out.missing_joints;
  source_.push_back(nullptr);
  return AddNode(name, -1, bind);
}

void Describer::AddSkin(const aiMesh& mesh, const SceneMatrix& inverse_place, SceneMesh& out) {
  const size_t vertices = out.positions.size();
  std::vector<uint32_t> counts(vertices + 1, 0);
  for (unsigned b = 0; b < mesh.mNumBones; ++b) {
    const aiBone& bone = *mesh.mBones[b];
    for (unsigned w = 0; w < bone.mNumWeights; ++w) {
      if (bone.mWeights[w].mVertexId < vertices) ++counts[bone.mWeights[w].mVertexId + 1];
    }
  }
  out.influence_start.assign(vertices + 1, 0);
  for (size_t v = 0; v < vertices; ++v)
    out.influence_start[v + 1] = out.influence_start[v] + counts[v + 1];
  out.influences.resize(out.influence_start.back());
  std::vector<uint32_t> next(out.influence_start.begin(), out.influence_start.end() - 1);
  for (unsigned b = 0; b < mesh.mNumBones; ++b) {
    const aiBone& bone = *mesh.mBones[b];
    SceneBone scene_bone;
    scene_bone.inverse_bind = Multiply(ColumnMajor(bone.mOffsetMatrix), inverse_place);
    scene_bone.node = BoneNode(bone.mName.C_Str(), scene_bone.inverse_bind);
    out.bones.push_back(scene_bone);
    for (unsigned w = 0; w < bone.mNumWeights; ++w) {
      const aiVertexWeight& weight = bone.mWeights[w];
      if (weight.mVertexId >= vertices) continue;
      out.influences[next[weight.mVertexId]++] = {b, weight.mWeight};
    }
  }
}

void Describer::AddMesh(const aiMesh& mesh, int node) {
  SceneLeftOut& left = description().left_out;
  SceneMesh out;
  out.name = mesh.mName.C_Str();
  out.material =
      mesh.mMaterialIndex < scene_.mNumMaterials ? static_cast<int>(mesh.mMaterialIndex) : -1;
  const unsigned n = mesh.mNumVertices;
  // A skinned mesh lies in its node's space; the description wants it in the scene's, at rest.
  SceneMatrix place = kSceneIdentity, inverse_place = kSceneIdentity;
  const bool skinned = mesh.mNumBones > 0 && Invert(global_[node], &inverse_place);
  if (skinned) {
    place = global_[node];
  } else {
    out.node = node;
  }
  const std::array<double, 9> turn_normal = NormalMatrix(place);
  out.positions.resize(n);
  if (place == kSceneIdentity) {
    // What the transform makes of finite numbers, -0 becoming +0 included; the others are
    // refused later whatever they become.
    for (unsigned v = 0; v < n; ++v) {
      const aiVector3D& p = mesh.mVertices[v];
      out.positions[v] = {p.x + 0.0f, p.y + 0.0f, p.z + 0.0f};
    }
  } else {
    for (unsigned v = 0; v < n; ++v) {
      const aiVector3D& p = mesh.mVertices[v];
      const Vec3d placed = TransformPoint(place, {p.x, p.y, p.z});
      out.positions[v] = {static_cast<float>(placed[0]), static_cast<float>(placed[1]),
                          static_cast<float>(placed[2])};
    }
  }
  if (mesh.mNormals != nullptr) {
    out.normals.resize(n);
    bool finite = true;
    for (unsigned v = 0; v < n && finite; ++v) {
      const aiVector3D& d = mesh.mNormals[v];
      Vec3d r{};
      for (int k = 0; k < 3; ++k)
        r[k] =
            turn_normal[k * 3] * d.x + turn_normal[k * 3 + 1] * d.y + turn_normal[k * 3 + 2] * d.z;
      const double length = std::sqrt(r[0] * r[0] + r[1] * r[1] + r[2] * r[2]);
      finite = std::isfinite(length) && length > 0.0;
      if (finite) {
        out.normals[v] = {static_cast<float>(r[0] / length), static_cast<float>(r[1] / length),
                          static_cast<float>(r[2] / length)};
      }
    }
    if (!finite) out.normals.clear();
  }
  if (mesh.HasTextureCoords(0)) {
    out.uvs.resize(n);
    for (unsigned v = 0; v < n; ++v) {
      out.uvs[v] = {mesh.mTextureCoords[0][v].x, 1.0f - mesh.mTextureCoords[0][v].y};
    }
  }
  for (unsigned set = 1; set < AI_MAX_NUMBER_OF_TEXTURECOORDS; ++set) {
    if (mesh.HasTextureCoords(set)) ++left.texture_coordinate_sets;
  }
  if (mesh.HasVertexColors(0)) ++left.vertex_colours;
  left.morph_targets += mesh.mNumAnimMeshes;
  out.triangles.reserve(size_t{mesh.mNumFaces} * 3);
  for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
    const aiFace& face = mesh.mFaces[f];
    if (face.mNumIndices != 3) continue;
    if (face.mIndices[0] >= n || face.mIndices[1] >= n || face.mIndices[2] >= n) continue;
    out.triangles.insert(out.triangles.end(), face.mIndices, face.mIndices + 3);
  }
  if (skinned) AddSkin(mesh, inverse_place, out);
  WeldVertices(out);
  description().meshes.push_back(std::move(out));
}

void Describer::AddMeshes() {
  skin_taken_.assign(scene_.mNumMeshes, 0);
  for (size_t n = 0; n < source_.size(); ++n) {
    const aiNode* node = source_[n];
    if (node == nullptr) continue;
    for (unsigned k = 0; k < node->mNumMeshes; ++k) {
      const unsigned index = node->mMeshes[k];
      if (index >= scene_.mNumMeshes) continue;
      const aiMesh& mesh = *scene_.mMeshes[index];
      if ((mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) == 0) continue;
      // Skinning ignores where a node puts a mesh: a second node holding it adds nothing.
      if (mesh.mNumBones > 0 && skin_taken_[index]) continue;
      skin_taken_[index] = 1;
      AddMesh(mesh, static_cast<int>(n));
    }
  }
}

// The keys of one property of one node: times in seconds, each at least the one before (a key
// out of order is left out), values `width` numbers each.
template <typename Key, typename Values>
SceneChannel ChannelOf(int node, ChannelPath path, const Key* keys, unsigned count,
                       double ticks_per_second, Values values_of) {
  SceneChannel channel;
  channel.node = node;
  channel.path = path;
  channel.interpolation = Interpolation::kLinear;
  for (unsigned k = 0; k < count; ++k) {
    const double time = keys[k].mTime / ticks_per_second;
    if (!std::isfinite(time) || (!channel.times.empty() && time < channel.times.back())) continue;
    channel.times.push_back(static_cast<float>(time));
    for (const float v : values_of(keys[k].mValue)) channel.values.push_back(v);
  }
  return channel;
}

void Describer::AddAnimations() {
  for (unsigned a = 0; a < scene_.mNumAnimations; ++a) {
    const aiAnimation& animation = *scene_.mAnimations[a];
    SceneAnimation out;
    out.name = animation.mName.C_Str();
    const double tps = animation.mTicksPerSecond > 0.0 ? animation.mTicksPerSecond : 25.0;
    for (unsigned c = 0; c < animation.mNumChannels; ++c) {
      const aiNodeAnim& channel = *animation.mChannels[c];
      const auto it = named_.find(channel.mNodeName.C_Str());
      if (it == named_.end()) continue;
      const int node = it->second;
      const auto vector = [](const aiVector3D& v) { return std::array<float, 3>{v.x, v.y, v.z}; };
      std::array<SceneChannel, 3> made = {
          ChannelOf(node, ChannelPath::kTranslation, channel.mPositionKeys,
                    channel.mNumPositionKeys, tps, vector),
          ChannelOf(node, ChannelPath::kRotation, channel.mRotationKeys, channel.mNumRotationKeys,
                    tps,
                    [](const aiQuaternion& q) {
                      return std::array<float, 4>{q.x, q.y, q.z, q.w};
                    }),
          ChannelOf(node, ChannelPath::kScale, channel.mScalingKeys, channel.mNumScalingKeys, tps,
                    vector)};
      for (SceneChannel& made_channel : made) {
        if (!made_channel.times.empty()) out.channels.push_back(std::move(made_channel));
      }
    }
    description().left_out.morph_targets += animation.mNumMorphMeshChannels;
    if (!out.channels.empty()) description().animations.push_back(std::move(out));
  }
}

bool Describer::Describe(std::string* why) {
  if (scene_.mRootNode == nullptr) {
    *why = "the file holds no scene";
    return false;
  }
  AddNodes();
  AddImages();
  AddMaterials();
  AddMeshes();
  AddAnimations();
  description().left_out.cameras = scene_.mNumCameras;
  description().left_out.lights = scene_.mNumLights;
  return true;
}

}  // namespace

bool ReadWithAssimp(Assimp::Importer& importer, const std::string& path, StreamedScene* out,
                    std::string* why) {
  // FBX pivots as their own helper nodes would become joints of nothing.
  importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
  importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE,
                              aiPrimitiveType_POINT | aiPrimitiveType_LINE);
  const aiScene* scene = importer.ReadFile(
      path, aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_ValidateDataStructure);
  if (scene == nullptr) {
    *why = importer.GetErrorString();
    if (why->empty()) *why = "the file cannot be read";
    return false;
  }
  return DescribeAssimpScene(*scene, out, why);
}

bool DescribeAssimpScene(const aiScene& scene, StreamedScene* out, std::string* why) {
  *out = StreamedScene{};
  Describer describer(scene, *out);
  return describer.Describe(why);
}

}  // namespace vorna
