#include "formats/x_scene.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <unordered_map>

#include "animation/scene_transform.h"
#include "model/file_paths.h"
#include "model/name_text.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

constexpr uint32_t kNone = kNoNormal;
// What players assume of a file without AnimTicksPerSecond.
constexpr double kDefaultTicksPerSecond = 4800.0;

Color ColorOf(std::span<const double> values, float alpha_default) {
  Color c;
  c.r = values.size() > 0 ? static_cast<float>(values[0]) : 0.0f;
  c.g = values.size() > 1 ? static_cast<float>(values[1]) : 0.0f;
  c.b = values.size() > 2 ? static_cast<float>(values[2]) : 0.0f;
  c.a = values.size() > 3 ? static_cast<float>(values[3]) : alpha_default;
  return c;
}

// The file is left-handed with row vectors: its row-major numbers read column-major are the
// transpose, and z mirrored on both sides negates the entries with exactly one index 2.
SceneMatrix MatrixOfNumbers(std::span<const double> numbers) {
  SceneMatrix m = kSceneIdentity;
  if (numbers.size() < 16) return m;
  for (int k = 0; k < 16; ++k) m[k] = ((k / 4 == 2) != (k % 4 == 2) ? -1.0 : 1.0) * numbers[k];
  return m;
}

// Names are bytes, CP932 in files of our own and of the platform the format comes from.
std::string NameText(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Cp932ToUtf8(bytes);
}

const xfile::DataObject* EnclosingFrame(const xfile::DataObject& object) {
  for (const xfile::DataObject* a = object.parent(); a != nullptr; a = a->parent()) {
    if (a->IsA("Frame")) return a;
  }
  return nullptr;
}

class XSceneBuilder {
 public:
  XSceneBuilder(const xfile::Document& document, const std::string& directory,
                const ReadOptions& options, Host& host, SceneDescription& scene)
      : document_(document), directory_(directory), options_(options), host_(host), scene_(scene) {}

  bool Build(ReadError* error);

 private:
  void AddFrames();
  int NodeNamed(std::string_view name) const {
    const auto it = node_of_name_.find(std::string(name));
    return it == node_of_name_.end() ? -1 : it->second;
  }
  bool AddMaterials(const xfile::DataObject& mesh, uint32_t faces, std::vector<int>* material,
                    ReadError* error);
  bool AddMesh(const xfile::DataObject& mesh, ReadError* error);
  void AddAnimationSet(const xfile::DataObject& set, double ticks_per_second);

  const xfile::Document& document_;
  const std::string& directory_;
  const ReadOptions& options_;
  Host& host_;
  SceneDescription& scene_;
  std::unordered_map<const xfile::DataObject*, int> node_of_frame_;
  std::unordered_map<std::string, int> node_of_name_;
  TextureCache cache_;
};

void XSceneBuilder::AddFrames() {
  const std::vector<const xfile::DataObject*> frames = document_.FindAll("Frame");
  for (const xfile::DataObject* frame : frames) {
    node_of_frame_[frame] = static_cast<int>(scene_.nodes.size());
    node_of_name_.try_emplace(frame->name(), static_cast<int>(scene_.nodes.size()));
    SceneNode& node = scene_.nodes.emplace_back();
    node.name = NameText(frame->name());
    if (const xfile::DataObject* m = frame->FirstChild("FrameTransformMatrix")) {
      SceneTransform rest;
      if (TransformOf(MatrixOfNumbers(m->numbers()), &rest)) node.rest = rest;
    }
  }
  for (const xfile::DataObject* frame : frames) {
    if (const xfile::DataObject* parent = EnclosingFrame(*frame)) {
      scene_.nodes[node_of_frame_[frame]].parent = node_of_frame_[parent];
    }
  }
}

bool XSceneBuilder::AddMaterials(const xfile::DataObject& mesh, uint32_t faces,
                                 std::vector<int>* material, ReadError* error) {
  material->assign(faces, -1);
  const xfile::DataObject* list = mesh.FirstChild("MeshMaterialList");
  const uint32_t declared = list != nullptr ? (*list)["nMaterials"].Dword() : 0;
  if (declared == 0) return true;
  // Checked before anything is allocated for them: 256 or more materials are refused anyway.
  if (declared >= static_cast<uint32_t>(kMaxParts) ||
      scene_.materials.size() + declared >= static_cast<size_t>(kMaxParts)) {
    host_.Message("パーツ数が" + std::to_string(kMaxParts) + "個を超えました", MessageIcon::kNone);
    return Fail(error, ReadErrorKind::kLimit, "256 or more materials");
  }
  const int base = static_cast<int>(scene_.materials.size());
  const std::vector<const xfile::DataObject*> given = list->Children("Material");
  for (uint32_t i = 0; i < declared; ++i) {
    SceneMaterial& m = scene_.materials.emplace_back();
    if (i >= given.size()) continue;
    ReadXMaterial(*given[i], &m.look);
    if (!m.look.texture_file.empty() && options_.load_textures) {
      m.look.texture = LoadTextureFile(StoredFilePath(directory_, m.look.texture_file), &cache_);
    }
  }
  // A list shorter than the faces repeats its last entry.
  const std::span<const double> indexes = (*list)["faceIndexes"].Numbers();
  uint32_t last = 0;
  for (uint32_t f = 0; f < faces; ++f) {
    if (f < indexes.size() && !XIndexBelow(indexes[f], declared, &last)) {
      return Fail(error, ReadErrorKind::kBadData, "a face names a material the list does not have");
    }
    (*material)[f] = base + static_cast<int>(last);
  }
  return true;
}

bool XSceneBuilder::AddMesh(const xfile::DataObject& mesh, ReadError* error) {
  const std::span<const double> xyz = mesh["vertices"].Numbers();
  const std::span<const double> faces = mesh["faces"].Numbers();
  const uint64_t positions = std::min<uint64_t>(mesh["nVertices"].Dword(), xyz.size() / 3);
  const uint32_t face_count = mesh["nFaces"].Dword();
  // Every face holds at least its corner count, so the data bound the face count.
  if (face_count > faces.size())
    return Fail(error, ReadErrorKind::kBadData, "fewer faces than declared");
  std::vector<int> face_material;
  if (!AddMaterials(mesh, face_count, &face_material, error)) return false;

  // Normals per face corner, when their faces match the mesh's.
  std::span<const double> normals, normal_faces;
  uint64_t normal_count = 0;
  if (const xfile::DataObject* n = mesh.FirstChild("MeshNormals")) {
    normals = (*n)["normals"].Numbers();
    normal_count = std::min<uint64_t>((*n)["nNormals"].Dword(), normals.size() / 3);
    if ((*n)["nFaceNormals"].Dword() == face_count) normal_faces = (*n)["faceNormals"].Numbers();
  }
  std::span<const double> uv;
  if (const xfile::DataObject* coords = mesh.FirstChild("MeshTextureCoords")) {
    uv = (*coords)["textureCoords"].Numbers();
  }
  scene_.left_out.vertex_colours += mesh.FirstChild("MeshVertexColors") != nullptr ? 1 : 0;

  // Skin: per position, its bones and weights.
  const std::vector<const xfile::DataObject*> skin = mesh.Children("SkinWeights");
  std::vector<SceneBone> bones;
  std::vector<std::vector<SceneInfluence>> influences(skin.empty() ? 0 : positions);
  for (const xfile::DataObject* weights : skin) {
    const std::string_view name = (*weights)["transformNodeName"].String();
    int node = NodeNamed(name);
    const SceneMatrix offset = MatrixOfNumbers((*weights)["matrixOffset"].Numbers());
    if (node < 0) {
      // A joint the file lacks stays where its bind pose puts it.
      SceneMatrix bind;
      SceneNode& missing = scene_.nodes.emplace_back();
      missing.name = NameText(name);
      if (Invert(offset, &bind)) TransformOf(bind, &missing.rest);
      node = static_cast<int>(scene_.nodes.size()) - 1;
      node_of_name_.emplace(std::string(name), node);
      ++scene_.left_out.missing_joints;
    }
    const std::span<const double> indices = (*weights)["vertexIndices"].Numbers();
    const std::span<const double> values = (*weights)["weights"].Numbers();
    const uint32_t bone = static_cast<uint32_t>(bones.size());
    bones.push_back({node, offset});
    for (size_t i = 0; i < std::min(indices.size(), values.size()); ++i) {
      uint32_t v = 0;
      if (!XIndexBelow(indices[i], positions, &v)) {
        return Fail(error, ReadErrorKind::kBadData,
                    "skin weights name a vertex the mesh does not have");
      }
      influences[v].push_back({bone, static_cast<float>(values[i])});
    }
  }
  const xfile::DataObject* frame = EnclosingFrame(mesh);
  const int node = frame != nullptr ? node_of_frame_[frame] : -1;

  // One description mesh per material; a vertex is a position met with one normal.
  std::unordered_map<int, size_t> mesh_of_material;
  std::vector<std::unordered_map<uint64_t, uint32_t>> vertex_of;
  auto target = [&](int material) -> SceneMesh& {
    auto [it, added] = mesh_of_material.try_emplace(material, scene_.meshes.size());
    if (added) {
      SceneMesh& m = scene_.meshes.emplace_back();
      m.name = NameText(mesh.name());
      m.material = material;
      m.node = node;
      m.bones = bones;
      if (!bones.empty()) m.influence_start.push_back(0);
      vertex_of.emplace_back();
    }
    return scene_.meshes[it->second];
  };
  auto vertex = [&](SceneMesh& m, size_t which, uint32_t position, uint32_t normal) {
    const uint64_t key = static_cast<uint64_t>(position) << 32 | normal;
    auto [it, added] = vertex_of[which].try_emplace(key, static_cast<uint32_t>(m.positions.size()));
    if (!added) return it->second;
    m.positions.push_back({static_cast<float>(xyz[3 * position]),
                           static_cast<float>(xyz[3 * position + 1]),
                           -static_cast<float>(xyz[3 * position + 2])});
    if (normal != kNone) {
      m.normals.push_back({static_cast<float>(normals[3 * normal]),
                           static_cast<float>(normals[3 * normal + 1]),
                           -static_cast<float>(normals[3 * normal + 2])});
    }
    if (uv.size() >= 2 * (static_cast<size_t>(position) + 1)) {
      m.uvs.push_back(
          {static_cast<float>(uv[2 * position]), static_cast<float>(uv[2 * position + 1])});
    } else {
      m.uvs.push_back({0.0f, 0.0f});
    }
    if (!bones.empty()) {
      m.influences.insert(m.influences.end(), influences[position].begin(),
                          influences[position].end());
      m.influence_start.push_back(static_cast<uint32_t>(m.influences.size()));
    }
    return it->second;
  };

  std::vector<uint32_t> corner_vertices;
  const size_t first_mesh = scene_.meshes.size();
  bool normals_fit = false;
  const auto add_face = [&](uint32_t f, std::span<const uint32_t> corners,
                            std::span<const uint32_t> normal_corners) {
    const size_t n = corners.size();
    if (n < 3) return;
    SceneMesh& m = target(face_material[f]);
    const size_t which = mesh_of_material[face_material[f]] - first_mesh;
    corner_vertices.resize(n);
    for (size_t k = 0; k < n; ++k) {
      corner_vertices[k] = vertex(m, which, corners[k], normal_corners[k]);
    }
    // Fans from the first corner, turned for the mirrored z.
    for (size_t k = 2; k < n; ++k) {
      m.triangles.insert(m.triangles.end(),
                         {corner_vertices[0], corner_vertices[k], corner_vertices[k - 1]});
    }
  };
  if (!ReadXFaces(faces, face_count, positions, normal_faces, normal_count, add_face, &normals_fit,
                  error)) {
    return false;
  }
  // A normal list that broke off part way describes none of the mesh.
  for (size_t i = first_mesh; i < scene_.meshes.size(); ++i) {
    if (!normals_fit || scene_.meshes[i].normals.size() != scene_.meshes[i].positions.size()) {
      scene_.meshes[i].normals.clear();
    }
  }
  return true;
}

void XSceneBuilder::AddAnimationSet(const xfile::DataObject& set, double ticks_per_second) {
  SceneAnimation& animation = scene_.animations.emplace_back();
  animation.name = NameText(set.name());
  for (const xfile::DataObject* a : set.Children("Animation")) {
    int node = -1;
    for (const xfile::Child& child : a->children()) {
      if (child.reference) {
        node = child.object != nullptr && node_of_frame_.count(child.object)
                   ? node_of_frame_[child.object]
                   : NodeNamed(child.name);
      } else if (child.object != nullptr && child.object->IsA("Frame")) {
        node = node_of_frame_[child.object];
      }
      if (node >= 0) break;
    }
    if (node < 0) continue;
    for (const xfile::DataObject* key : a->Children("AnimationKey")) {
      const uint32_t type = (*key)["keyType"].Dword();
      const std::span<const double> flat = (*key)["keys"].Numbers();
      // time, value count, values; keys in time order.
      std::vector<std::pair<double, size_t>> keys;
      for (size_t at = 0; at + 2 <= flat.size();) {
        const size_t count = flat[at + 1] >= 0.0 && flat[at + 1] <= 16.0
                                 ? static_cast<size_t>(flat[at + 1])
                                 : flat.size();
        if (count > flat.size() - at - 2) break;
        keys.emplace_back(flat[at] / ticks_per_second, at + 2);
        at += 2 + count;
      }
      std::stable_sort(keys.begin(), keys.end(),
                       [](const auto& x, const auto& y) { return x.first < y.first; });
      const size_t width = type == 0 ? 4 : (type == 4 ? 16 : 3);
      SceneChannel channels[3];
      for (int c = 0; c < 3; ++c) {
        channels[c].node = node;
        channels[c].path = static_cast<ChannelPath>(c);
      }
      for (const auto& entry : keys) {
        // Copies, not a structured binding: the lambda below captures them.
        const double time = entry.first;
        const size_t start = entry.second;
        if (start + width > flat.size()) break;
        const double* v = &flat[start];
        SceneTransform t;
        if (type == 0) {
          // Stored w first and conjugated; the mirror negates z once more.
          t.rotation = Normalised({v[1], v[2], -v[3], v[0]});
        } else if (type == 1) {
          t.scale = {v[0], v[1], v[2]};
        } else if (type == 2) {
          t.translation = {v[0], v[1], -v[2]};
        } else if (type != 4 || !TransformOf(MatrixOfNumbers({v, 16}), &t)) {
          continue;
        }
        auto add = [&](ChannelPath path, const double* values, int n) {
          SceneChannel& c = channels[static_cast<int>(path)];
          c.times.push_back(static_cast<float>(time));
          for (int i = 0; i < n; ++i) c.values.push_back(static_cast<float>(values[i]));
        };
        if (type == 0 || type == 4) add(ChannelPath::kRotation, t.rotation.data(), 4);
        if (type == 1 || type == 4) add(ChannelPath::kScale, t.scale.data(), 3);
        if (type == 2 || type == 4) add(ChannelPath::kTranslation, t.translation.data(), 3);
      }
      for (SceneChannel& c : channels) {
        if (!c.times.empty()) animation.channels.push_back(std::move(c));
      }
    }
  }
}

bool XSceneBuilder::Build(ReadError* error) {
  AddFrames();
  for (const xfile::DataObject* mesh : document_.FindAll("Mesh")) {
    if (!AddMesh(*mesh, error)) return false;
  }
  double ticks_per_second = kDefaultTicksPerSecond;
  for (const xfile::DataObject* t : document_.FindAll("AnimTicksPerSecond")) {
    if (const uint32_t ticks = (*t)["AnimTicksPerSecond"].Dword(); ticks > 0) {
      ticks_per_second = ticks;
    }
  }
  for (const xfile::DataObject* set : document_.FindAll("AnimationSet")) {
    AddAnimationSet(*set, ticks_per_second);
  }
  return true;
}

}  // namespace

bool ReadXFaces(
    std::span<const double> faces, uint32_t face_count, uint64_t vertex_count,
    std::span<const double> normal_faces, uint64_t normal_count,
    const std::function<void(uint32_t, std::span<const uint32_t>, std::span<const uint32_t>)>& each,
    bool* normals_fit, ReadError* error) {
  size_t at = 0;         // in `faces`
  size_t normal_at = 0;  // in `normal_faces`
  *normals_fit = !normal_faces.empty() && normal_count > 0;
  std::vector<uint32_t> corners, normal_corners;
  for (uint32_t f = 0; f < face_count; ++f) {
    if (at >= faces.size()) {
      return Fail(error, ReadErrorKind::kBadData, "fewer faces than declared");
    }
    const double declared = faces[at++];
    if (!(declared >= 0.0) || declared > static_cast<double>(faces.size() - at)) {
      return Fail(error, ReadErrorKind::kBadData, "a face with more corners than the data holds");
    }
    const size_t n = static_cast<size_t>(declared);
    corners.resize(n);
    for (size_t k = 0; k < n; ++k) {
      if (!XIndexBelow(faces[at + k], vertex_count, &corners[k])) {
        return Fail(error, ReadErrorKind::kBadData, "a face names a vertex its mesh does not have");
      }
    }
    at += n;
    normal_corners.assign(n, kNoNormal);
    if (*normals_fit) {
      if (normal_at >= normal_faces.size() || normal_faces[normal_at] != static_cast<double>(n) ||
          normal_faces.size() - normal_at - 1 < n) {
        *normals_fit = false;
      } else {
        for (size_t k = 0; k < n && *normals_fit; ++k) {
          *normals_fit =
              XIndexBelow(normal_faces[normal_at + 1 + k], normal_count, &normal_corners[k]);
        }
        normal_at += 1 + n;
      }
    }
    each(f, corners, normal_corners);
  }
  return true;
}

bool XIndexBelow(double value, uint64_t limit, uint32_t* index) {
  if (!(value >= 0.0) || value >= static_cast<double>(limit)) return false;
  *index = static_cast<uint32_t>(value);
  return true;
}

void ReadXMaterial(const xfile::DataObject& object, PartLook* look) {
  Material& m = look->material;
  m.diffuse = ColorOf(object["faceColor"].Numbers(), 1.0f);
  m.ambient = m.diffuse;
  m.power = object["power"].Float();
  m.specular = ColorOf(object["specularColor"].Numbers(), 0.0f);
  m.emissive = ColorOf(object["emissiveColor"].Numbers(), 0.0f);
  if (const xfile::DataObject* texture = object.FirstChild("TextureFilename")) {
    look->texture_file = ClampField((*texture)["filename"].String(), kTextureFileSize);
  }
}

bool DescribeXScene(const xfile::Document& document, const std::string& directory,
                    const ReadOptions& options, Host& host, SceneDescription* scene,
                    ReadError* error) {
  *scene = SceneDescription{};
  XSceneBuilder builder(document, directory, options, host, *scene);
  return builder.Build(error);
}

}  // namespace vorna
