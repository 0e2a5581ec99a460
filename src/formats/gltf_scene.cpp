#include "formats/gltf_scene.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "animation/channel_sampling.h"
#include "animation/scene_transform.h"
#include "formats/gltf_material.h"
#include "images/decode.h"
#include "model/file_paths.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

// Which component types a vertex attribute may have: floats, and the integer forms
// KHR_mesh_quantization allows (normals only normalised and signed).
bool PositionTypes(const gltf::Accessor& a) { return a.component_type != gltf::kUnsignedInt; }

bool NormalTypes(const gltf::Accessor& a) {
  return a.component_type == gltf::kFloat ||
         (a.normalized && (a.component_type == gltf::kByte || a.component_type == gltf::kShort));
}

bool AnyTypes(const gltf::Accessor&) { return true; }

std::string AccessorName(int index) { return "accessors[" + std::to_string(index) + "]"; }

// The values of accessor `index` of `components` per element whose component type `accepts`
// allows.
bool AttributeFloats(const gltf::Document& doc, int index, int components,
                     bool (*accepts)(const gltf::Accessor&), std::vector<float>* out,
                     std::string* why) {
  const gltf::Accessor& a = doc.accessors[index];
  if (a.components != components || !accepts(a)) {
    *why = AccessorName(index) + ": the wrong type for its attribute";
    return false;
  }
  if (a.data.view < 0 && a.sparse_count == 0) {
    *why = AccessorName(index) + ": no data";
    return false;
  }
  return gltf::AccessorFloats(doc, index, out, why);
}

// KHR_texture_transform: scale, then turn, then offset.
void TransformTexcoords(const gltf::TextureTransform& t, std::vector<float>* uv) {
  const double c = std::cos(t.rotation), s = std::sin(t.rotation);
  for (size_t i = 0; i + 1 < uv->size(); i += 2) {
    const double u = (*uv)[i] * t.scale[0], v = (*uv)[i + 1] * t.scale[1];
    (*uv)[i] = static_cast<float>(c * u + s * v + t.offset[0]);
    (*uv)[i + 1] = static_cast<float>(-s * u + c * v + t.offset[1]);
  }
}

// ----- What our own export records in extras --------------------------------------------------

std::optional<int32_t> WholeNumber(const gltf::Value* v) {
  if (v == nullptr || v->type != gltf::Value::Type::kNumber || !(std::fabs(v->number) < 2e9) ||
      v->number != std::trunc(v->number)) {
    return std::nullopt;
  }
  return static_cast<int32_t>(v->number);
}

template <size_t N>
bool WholeNumbers(const gltf::Value* v, std::array<int32_t, N>* out) {
  if (v == nullptr || v->type != gltf::Value::Type::kArray || v->items.size() != N) return false;
  for (size_t i = 0; i < N; ++i) {
    const std::optional<int32_t> n = WholeNumber(&v->items[i]);
    if (!n) return false;
    (*out)[i] = *n;
  }
  return true;
}

std::optional<UnitSettings> RecordedUnit(const gltf::Value& extras) {
  UnitSettings unit;
  const std::optional<int32_t> basis = WholeNumber(extras.Find("basis_type"));
  if (!basis || *basis < 0 || !WholeNumbers(extras.Find("axis_angle"), &unit.axis_angle) ||
      !WholeNumbers(extras.Find("blend_param"), &unit.blend_param)) {
    return std::nullopt;
  }
  unit.basis_type = static_cast<uint32_t>(*basis);
  return unit;
}

// A yes or no; tools that keep extras as their own properties (Blender) write them as 1 and 0.
std::optional<bool> Flag(const gltf::Value* v) {
  if (v == nullptr) return std::nullopt;
  if (v->type == gltf::Value::Type::kBool) return v->boolean;
  if (v->type == gltf::Value::Type::kNumber) return v->number != 0.0;
  return std::nullopt;
}

// The joint our own export names in a skinned mesh node's extras, among its skin's joints; -1
// when none or several carry the name. By name, not by index: tools that keep extras while they
// reorder the nodes (Blender) leave an index pointing elsewhere.
int32_t NamedJoint(const gltf::Document& doc, const gltf::Skin& skin, const gltf::Node& carrier) {
  const gltf::Value* name = carrier.extras.Find("joint");
  if (name == nullptr || name->type != gltf::Value::Type::kString) return -1;
  int32_t found = -1;
  for (const int joint : skin.joints) {
    if (doc.nodes[joint].name != name->text) continue;
    if (found >= 0 && found != joint) return -1;
    found = joint;
  }
  return found;
}

// ----- The translation ------------------------------------------------------------------------

class SceneTranslator {
 public:
  SceneTranslator(const gltf::Document& doc, const std::string& directory, const std::string& stem,
                  const ReadOptions& options, SceneDescription& scene)
      : doc_(doc), directory_(directory), stem_(stem), options_(options), scene_(scene) {}

  bool Translate(int* skipped_primitives, std::string* why);

 private:
  void AddNodes();
  void AddMaterials();
  PartLook MaterialLook(const gltf::Material& m);
  bool AddMeshes(std::string* why);
  bool AddPrimitive(const gltf::Primitive& primitive, int node, std::string* why);
  bool AddSkin(const gltf::Primitive& primitive, const gltf::Skin& skin, SceneMesh* mesh,
               std::string* why);
  bool AddAnimations(std::string* why);

  const gltf::Document& doc_;
  const std::string& directory_;
  const std::string& stem_;
  const ReadOptions& options_;
  SceneDescription& scene_;
  size_t vertex_total_ = 0;
  size_t face_total_ = 0;
  int skipped_ = 0;
  std::map<int, std::shared_ptr<const Texture>> embedded_;  // by image index
  TextureCache cache_;
};

void SceneTranslator::AddNodes() {
  for (const gltf::Node& n : doc_.nodes) {
    SceneNode& node = scene_.nodes.emplace_back();
    node.name = n.name;
    node.parent = n.parent;
    if (n.has_matrix) {
      // A matrix that flattens space keeps its translation; the rest stays the identity.
      if (!TransformOf(n.matrix, &node.rest)) {
        node.rest.translation = {n.matrix[12], n.matrix[13], n.matrix[14]};
      }
    } else {
      node.rest.translation = n.translation;
      node.rest.rotation = n.rotation;
      node.rest.scale = n.scale;
    }
    node.unit = RecordedUnit(n.extras);
  }
  scene_.left_out.cameras = static_cast<uint32_t>(doc_.cameras);
  scene_.left_out.lights = static_cast<uint32_t>(doc_.lights);
}

PartLook SceneTranslator::MaterialLook(const gltf::Material& m) {
  PartLook look;
  look.material = MaterialOfGltf(m);

  const int texture = m.base_color_texture.texture;
  if (texture < 0) return look;
  const int source = doc_.textures[texture].source;
  if (source < 0) return look;
  const gltf::Image& image = doc_.images[source];
  if (image.view < 0 && image.bytes.empty()) {
    if (image.uri.empty()) return look;
    look.texture_file = ClampField(image.uri, kTextureFileSize);
    if (options_.load_textures) {
      look.texture = LoadTextureFile(StoredFilePath(directory_, look.texture_file), &cache_);
    }
    return look;
  }
  look.texture_file =
      ClampField(stem_ + "-" + std::to_string(source + 1) + ".png", kTextureFileSize);
  look.texture_embedded = true;
  if (!options_.load_textures) return look;
  auto [it, added] = embedded_.try_emplace(source);
  if (added) {
    Image decoded;
    if (DecodeImage(image.bytes, &decoded)) it->second = Texture::FromImage(std::move(decoded));
  }
  look.texture = it->second;
  return look;
}

void SceneTranslator::AddMaterials() {
  for (const gltf::Material& m : doc_.materials) {
    scene_.materials.push_back({m.name, MaterialLook(m)});
  }
}

bool SceneTranslator::AddMeshes(std::string* why) {
  std::vector<int> roots;
  const int scene = doc_.scene >= 0 ? doc_.scene : 0;
  if (static_cast<size_t>(scene) < doc_.scenes.size()) {
    roots = doc_.scenes[scene].nodes;
  } else {
    for (size_t n = 0; n < doc_.nodes.size(); ++n) {
      if (doc_.nodes[n].parent < 0) roots.push_back(static_cast<int>(n));
    }
  }
  // Depth first without recursion. The nodes form a forest, but a scene may list a node twice
  // or a node below another it lists: each is placed once.
  std::vector<char> visited(doc_.nodes.size(), 0);
  std::vector<int> stack(roots.rbegin(), roots.rend());
  while (!stack.empty()) {
    const int index = stack.back();
    stack.pop_back();
    if (visited[index]) continue;
    visited[index] = 1;
    const gltf::Node& node = doc_.nodes[index];
    if (node.mesh >= 0) {
      for (const gltf::Primitive& primitive : doc_.meshes[node.mesh].primitives) {
        if (!AddPrimitive(primitive, index, why)) return false;
      }
    }
    stack.insert(stack.end(), node.children.rbegin(), node.children.rend());
  }
  return true;
}

bool SceneTranslator::AddPrimitive(const gltf::Primitive& primitive, int node, std::string* why) {
  const int mode = primitive.mode;
  if (mode != gltf::kTriangles && mode != gltf::kTriangleStrip && mode != gltf::kTriangleFan) {
    ++skipped_;
    return true;
  }
  if (primitive.position < 0) return true;  // nothing to place
  const size_t n = doc_.accessors[primitive.position].count;
  const size_t corner_count = primitive.indices >= 0 ? doc_.accessors[primitive.indices].count : n;
  const size_t triangles = mode == gltf::kTriangles ? corner_count / 3
                           : corner_count >= 3      ? corner_count - 2
                                                    : 0;
  if (triangles == 0) return true;
  // Before anything is decoded: many primitives may share one large accessor.
  if (vertex_total_ + n > kMaxSceneElements || face_total_ + triangles > kMaxSceneElements) {
    *why = "more vertices or faces than a model holds";
    return false;
  }
  SceneMesh mesh;
  mesh.name = "nodes[" + std::to_string(node) + "]: " + AccessorName(primitive.position);
  mesh.material = primitive.material;
  mesh.node = node;
  std::vector<float> values;
  if (!AttributeFloats(doc_, primitive.position, 3, PositionTypes, &values, why)) return false;
  mesh.positions.resize(n);
  std::copy(values.begin(), values.end(), mesh.positions.front().data());
  if (primitive.normal >= 0 && doc_.accessors[primitive.normal].count == n) {
    if (!AttributeFloats(doc_, primitive.normal, 3, NormalTypes, &values, why)) return false;
    mesh.normals.resize(n);
    std::copy(values.begin(), values.end(), mesh.normals.front().data());
  }
  // The coordinates the base colour texture uses, as its transform changes them.
  const gltf::Material* material =
      primitive.material >= 0 ? &doc_.materials[primitive.material] : nullptr;
  const size_t set = material != nullptr ? material->base_color_texture.texcoord : 0;
  const int texcoords = set < primitive.texcoords.size() ? primitive.texcoords[set] : -1;
  if (texcoords >= 0 && doc_.accessors[texcoords].count == n) {
    if (!AttributeFloats(doc_, texcoords, 2, PositionTypes, &values, why)) return false;
    if (material != nullptr && material->base_color_texture.transform.present) {
      TransformTexcoords(material->base_color_texture.transform, &values);
    }
    mesh.uvs.resize(n);
    std::copy(values.begin(), values.end(), mesh.uvs.front().data());
  }
  std::vector<uint32_t> index_values;
  if (primitive.indices >= 0) {
    if (doc_.accessors[primitive.indices].components != 1 ||
        !gltf::AccessorIndices(doc_, primitive.indices, &index_values, why)) {
      if (why->empty()) *why = AccessorName(primitive.indices) + ": not indices";
      return false;
    }
  }
  auto corner = [&](size_t i) -> size_t { return index_values.empty() ? i : index_values[i]; };
  mesh.triangles.reserve(3 * triangles);
  for (size_t t = 0; t < triangles; ++t) {
    size_t a, b, c;
    if (mode == gltf::kTriangles) {
      a = corner(3 * t), b = corner(3 * t + 1), c = corner(3 * t + 2);
    } else if (mode == gltf::kTriangleStrip) {
      a = corner(t + (t % 2)), b = corner(t + 1 - (t % 2)), c = corner(t + 2);
    } else {
      a = corner(t + 1), b = corner(t + 2), c = corner(0);
    }
    if (a >= n || b >= n || c >= n) {
      *why = "an index outside its primitive's vertices";
      return false;
    }
    mesh.triangles.insert(mesh.triangles.end(), {static_cast<uint32_t>(a), static_cast<uint32_t>(b),
                                                 static_cast<uint32_t>(c)});
  }
  const gltf::Node& carrier = doc_.nodes[node];
  if (carrier.skin >= 0 && !primitive.joints.empty() &&
      !AddSkin(primitive, doc_.skins[carrier.skin], &mesh, why)) {
    return false;
  }
  if (carrier.skin >= 0) mesh.owner_node = NamedJoint(doc_, doc_.skins[carrier.skin], carrier);
  SceneLeftOut& out = scene_.left_out;
  out.morph_targets += static_cast<uint32_t>(primitive.morph_targets);
  out.vertex_colours +=
      std::any_of(primitive.colors.begin(), primitive.colors.end(), [](int a) { return a >= 0; })
          ? 1
          : 0;
  const auto sets = std::count_if(primitive.texcoords.begin(), primitive.texcoords.end(),
                                  [](int a) { return a >= 0; });
  out.texture_coordinate_sets += sets > 1 ? static_cast<uint32_t>(sets - 1) : 0;
  vertex_total_ += n;
  face_total_ += triangles;
  scene_.meshes.push_back(std::move(mesh));
  return true;
}

bool SceneTranslator::AddSkin(const gltf::Primitive& primitive, const gltf::Skin& skin,
                              SceneMesh* mesh, std::string* why) {
  std::vector<float> matrices;
  if (skin.inverse_bind_matrices >= 0 &&
      !AttributeFloats(doc_, skin.inverse_bind_matrices, 16, AnyTypes, &matrices, why)) {
    return false;
  }
  for (size_t j = 0; j < skin.joints.size(); ++j) {
    SceneBone& bone = mesh->bones.emplace_back();
    bone.node = skin.joints[j];
    if ((j + 1) * 16 <= matrices.size()) {
      std::copy(matrices.begin() + 16 * j, matrices.begin() + 16 * (j + 1),
                bone.inverse_bind.begin());
    }
  }
  const size_t n = mesh->positions.size();
  std::vector<std::vector<uint32_t>> joints;
  std::vector<std::vector<float>> weights;
  for (size_t k = 0; k < primitive.joints.size() && k < primitive.weights.size(); ++k) {
    const int j = primitive.joints[k], w = primitive.weights[k];
    if (j < 0 || w < 0 || doc_.accessors[j].count != n || doc_.accessors[w].count != n) continue;
    joints.emplace_back();
    weights.emplace_back();
    if (doc_.accessors[j].components != 4 || !gltf::AccessorIndices(doc_, j, &joints.back(), why) ||
        !AttributeFloats(doc_, w, 4, AnyTypes, &weights.back(), why)) {
      if (why->empty()) *why = AccessorName(j) + ": not joints";
      return false;
    }
  }
  mesh->influence_start.assign(1, 0);
  for (size_t v = 0; v < n; ++v) {
    for (size_t k = 0; k < joints.size(); ++k) {
      for (size_t c = 0; c < 4; ++c) {
        const float weight = weights[k][4 * v + c];
        if (!(weight > 0.0f)) continue;
        const uint32_t joint = joints[k][4 * v + c];
        if (joint >= skin.joints.size()) {
          *why = "a vertex weighted to a joint its skin does not have";
          return false;
        }
        mesh->influences.push_back({joint, weight});
      }
    }
    mesh->influence_start.push_back(static_cast<uint32_t>(mesh->influences.size()));
  }
  return true;
}

bool SceneTranslator::AddAnimations(std::string* why) {
  for (const gltf::Animation& a : doc_.animations) {
    SceneAnimation& animation = scene_.animations.emplace_back();
    animation.name = a.name;
    animation.loop = Flag(a.extras.Find("loop"));
    animation.motions_only = Flag(a.extras.Find("anim")) == std::optional<bool>(false);
    if (const std::optional<int32_t> place = WholeNumber(a.extras.Find("anim_index"))) {
      animation.anim_index = *place;
    }
    if (const gltf::Value* motions = a.extras.Find("motions");
        motions != nullptr && motions->type == gltf::Value::Type::kArray) {
      for (const gltf::Value& m : motions->items) {
        const std::optional<int32_t> motion = WholeNumber(&m);
        if (!motion) {
          animation.key_motions.clear();
          break;
        }
        animation.key_motions.push_back(*motion);
      }
    }
    for (const gltf::Channel& c : a.channels) {
      if (c.node < 0 || c.path == gltf::TargetPath::kWeights ||
          c.path == gltf::TargetPath::kOther) {
        continue;
      }
      const gltf::Sampler& sampler = a.samplers[c.sampler];
      SceneChannel channel;
      channel.node = c.node;
      channel.path = c.path == gltf::TargetPath::kTranslation ? ChannelPath::kTranslation
                     : c.path == gltf::TargetPath::kRotation  ? ChannelPath::kRotation
                                                              : ChannelPath::kScale;
      channel.interpolation =
          sampler.interpolation == gltf::Interpolation::kStep          ? Interpolation::kStep
          : sampler.interpolation == gltf::Interpolation::kCubicSpline ? Interpolation::kCubicSpline
                                                                       : Interpolation::kLinear;
      if (!AttributeFloats(doc_, sampler.input, 1, AnyTypes, &channel.times, why) ||
          !gltf::AccessorFloats(doc_, sampler.output, &channel.values, why)) {
        return false;
      }
      // A sampler whose keys and values disagree animates nothing glTF can tell.
      if (ChannelKeyCount(channel) == 0) continue;
      animation.channels.push_back(std::move(channel));
    }
  }
  return true;
}

bool SceneTranslator::Translate(int* skipped_primitives, std::string* why) {
  AddNodes();
  AddMaterials();
  const bool ok = AddMeshes(why) && AddAnimations(why);
  *skipped_primitives = skipped_;
  return ok;
}

}  // namespace

bool DescribeGltfScene(const gltf::Document& doc, const std::string& directory,
                       const std::string& stem, const ReadOptions& options, SceneDescription* scene,
                       int* skipped_primitives, std::string* why) {
  *scene = SceneDescription{};
  SceneTranslator translator(doc, directory, stem, options, *scene);
  return translator.Translate(skipped_primitives, why);
}

}  // namespace vorna
