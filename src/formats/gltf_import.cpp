#include "formats/gltf_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "formats/gltf_document.h"
#include "formats/gltf_material.h"
#include "images/decode.h"
#include "model/file_paths.h"
#include "model/mesh_builder.h"
#include "model/name_text.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

// No model of ours needs more; the bound keeps a small file that instances a large mesh many
// times from asking for unbounded memory.
constexpr size_t kMaxElements = size_t{1} << 25;

// ----- Accessors for the mesh -------------------------------------------------------------------

// Which component types a vertex attribute may have: floats, and the integer forms
// KHR_mesh_quantization allows (normals only normalised and signed).
bool PositionTypes(const gltf::Accessor& a) { return a.component_type != gltf::kUnsignedInt; }

bool NormalTypes(const gltf::Accessor& a) {
  return a.component_type == gltf::kFloat ||
         (a.normalized && (a.component_type == gltf::kByte || a.component_type == gltf::kShort));
}

// The values of a vertex attribute accessor of `components` per element whose component type
// `accepts` allows.
bool AttributeFloats(const gltf::Document& doc, int index, int components,
                     bool (*accepts)(const gltf::Accessor&), std::vector<float>* out,
                     std::string* why) {
  const gltf::Accessor& a = doc.accessors[index];
  if (a.components != components || !accepts(a)) {
    *why = "accessors[" + std::to_string(index) + "]: the wrong type for its attribute";
    return false;
  }
  if (a.data.view < 0 && a.sparse_count == 0) {
    *why = "accessors[" + std::to_string(index) + "]: no data";
    return false;
  }
  return gltf::AccessorFloats(doc, index, out, why);
}

// ----- Transforms -----------------------------------------------------------------------------

using Mat4 = std::array<double, 16>;  // column-major, as glTF stores matrices

constexpr Mat4 kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c) {
    for (int row = 0; row < 4; ++row) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + row] * b[c * 4 + k];
      r[c * 4 + row] = s;
    }
  }
  return r;
}

Mat4 LocalTransform(const gltf::Node& node) {
  if (node.has_matrix) return node.matrix;
  const auto& t = node.translation;
  const auto& s = node.scale;
  const auto [x, y, z, w] = node.rotation;
  const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                       2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                       2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
  Mat4 m{};
  for (int c = 0; c < 3; ++c) {
    for (int row = 0; row < 3; ++row) m[c * 4 + row] = r[c * 3 + row] * s[c];
  }
  m[12] = t[0];
  m[13] = t[1];
  m[14] = t[2];
  m[15] = 1.0;
  return m;
}

// The inverse transpose of the upper 3 x 3 (up to scale: normals are normalised afterwards).
std::array<double, 9> NormalMatrix(const Mat4& m) {
  auto at = [&](int row, int column) { return m[column * 4 + row]; };
  std::array<double, 9> c;  // row-major cofactors
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const int i1 = (i + 1) % 3, i2 = (i + 2) % 3, j1 = (j + 1) % 3, j2 = (j + 2) % 3;
      c[i * 3 + j] = at(i1, j1) * at(i2, j2) - at(i1, j2) * at(i2, j1);
    }
  }
  return c;
}

// ----- Building the model ---------------------------------------------------------------------

// A name from the file (UTF-8) as our names are stored: CP932 when every character has a CP932
// form, else the UTF-8 itself; at most kNodeNameSize - 1 bytes without splitting a character.
std::string StoredName(const std::string& utf8) {
  if (utf8.empty()) return "no-name";
  std::string cp932;
  if (Utf8ToCp932(utf8, &cp932)) return ClampCp932(cp932, kNodeNameSize - 1);
  std::string name = utf8.substr(0, kNodeNameSize - 1);
  while (!name.empty() && !IsValidUtf8(name)) name.pop_back();
  return name;
}

class GltfReader {
 public:
  GltfReader(const gltf::Document& doc, Host& host, const ReadOptions& options)
      : doc_(doc), host_(host), options_(options), builder_(host, {kMaxElements, kMaxElements}) {}

  bool Read(Model& model, const std::string& directory, const std::string& stem, ReadError* error);

 private:
  bool AddNodeMeshes(ReadError* error);
  bool AddPrimitive(const gltf::Primitive& primitive, int node, const Mat4& world,
                    ReadError* error);
  void SetMaterial(PartLook& look, int material, const std::string& directory,
                   const std::string& stem);

  const gltf::Document& doc_;
  Host& host_;
  const ReadOptions& options_;
  // One Part per material, then the default material's when a primitive has none.
  MeshBuilder builder_;
  int skipped_primitives_ = 0;
  std::map<int, std::shared_ptr<const Texture>> embedded_;  // by image index
  TextureCache cache_;
};

bool GltfReader::AddNodeMeshes(ReadError* error) {
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
  std::vector<std::pair<int, Mat4>> stack;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, kIdentity);
  while (!stack.empty()) {
    const auto [index, parent_world] = stack.back();
    stack.pop_back();
    if (visited[index]) continue;
    visited[index] = 1;
    const gltf::Node& node = doc_.nodes[index];
    const Mat4 world = Multiply(parent_world, LocalTransform(node));
    if (node.mesh >= 0) {
      // A skinned mesh's accessors hold it in its bind pose; the node's own placement does not
      // apply to it.
      const Mat4& placement = node.skin >= 0 ? kIdentity : world;
      for (const gltf::Primitive& primitive : doc_.meshes[node.mesh].primitives) {
        if (!AddPrimitive(primitive, index, placement, error)) return false;
      }
    }
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
      stack.emplace_back(*it, world);
    }
  }
  return true;
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

bool GltfReader::AddPrimitive(const gltf::Primitive& primitive, int node, const Mat4& world,
                              ReadError* error) {
  const int mode = primitive.mode;
  if (mode != gltf::kTriangles && mode != gltf::kTriangleStrip && mode != gltf::kTriangleFan) {
    ++skipped_primitives_;
    return true;
  }
  if (primitive.position < 0) return true;  // nothing to place
  const size_t n = doc_.accessors[primitive.position].count;
  const size_t corner_count = primitive.indices >= 0 ? doc_.accessors[primitive.indices].count : n;
  const size_t triangles = mode == gltf::kTriangles ? corner_count / 3
                           : corner_count >= 3      ? corner_count - 2
                                                    : 0;
  if (triangles == 0) return true;
  // Checked before decoding: a small file may place one large mesh many times.
  if (!builder_.RoomFor(n, triangles, error)) return false;

  std::string why;
  const auto refuse = [&] { return Fail(error, ReadErrorKind::kBadData, why); };
  std::vector<float> positions, normals, texcoords;
  if (!AttributeFloats(doc_, primitive.position, 3, PositionTypes, &positions, &why)) {
    return refuse();
  }
  const bool has_normals = primitive.normal >= 0 && doc_.accessors[primitive.normal].count == n;
  if (has_normals && !AttributeFloats(doc_, primitive.normal, 3, NormalTypes, &normals, &why)) {
    return refuse();
  }
  // The coordinates the base colour texture uses, as its transform changes them.
  const gltf::Material* material =
      primitive.material >= 0 ? &doc_.materials[primitive.material] : nullptr;
  const size_t set = material != nullptr ? material->base_color_texture.texcoord : 0;
  const int texcoord_accessor = set < primitive.texcoords.size() ? primitive.texcoords[set] : -1;
  const bool has_texcoords = texcoord_accessor >= 0 && doc_.accessors[texcoord_accessor].count == n;
  if (has_texcoords) {
    if (!AttributeFloats(doc_, texcoord_accessor, 2, PositionTypes, &texcoords, &why)) {
      return refuse();
    }
    if (material != nullptr && material->base_color_texture.transform.present) {
      TransformTexcoords(material->base_color_texture.transform, &texcoords);
    }
  }
  std::vector<uint32_t> index_values;
  if (primitive.indices >= 0) {
    if (doc_.accessors[primitive.indices].components != 1) {
      why = "accessors[" + std::to_string(primitive.indices) + "]: not indices";
      return refuse();
    }
    if (!gltf::AccessorIndices(doc_, primitive.indices, &index_values, &why)) return refuse();
  }
  auto corner = [&](size_t i) -> uint32_t {
    return index_values.empty() ? static_cast<uint32_t>(i) : index_values[i];
  };
  std::vector<Face> faces(triangles);
  for (size_t t = 0; t < triangles; ++t) {
    uint32_t a, b, c;
    if (mode == gltf::kTriangles) {
      a = corner(3 * t), b = corner(3 * t + 1), c = corner(3 * t + 2);
    } else if (mode == gltf::kTriangleStrip) {
      a = corner(t + (t % 2)), b = corner(t + 1 - (t % 2)), c = corner(t + 2);
    } else {
      a = corner(t + 1), b = corner(t + 2), c = corner(0);
    }
    // Reversed winding, as the z negation mirrors every triangle.
    faces[t] = Face{{a, c, b, kNoCorner}};
  }

  std::vector<Vec3> placed(n), turned(has_normals ? n : 0);
  std::vector<float> u(has_texcoords ? n : 0), v(has_texcoords ? n : 0);
  const std::array<double, 9> normal_matrix = NormalMatrix(world);
  for (size_t i = 0; i < n; ++i) {
    const double x = positions[3 * i], y = positions[3 * i + 1], z = positions[3 * i + 2];
    // z negated: glTF is right-handed, we are left-handed.
    placed[i] = {static_cast<float>(world[0] * x + world[4] * y + world[8] * z + world[12]),
                 static_cast<float>(world[1] * x + world[5] * y + world[9] * z + world[13]),
                 -static_cast<float>(world[2] * x + world[6] * y + world[10] * z + world[14])};
    Vec3 normal;
    if (has_normals) {
      const double a = normals[3 * i], b = normals[3 * i + 1], c = normals[3 * i + 2];
      const auto& m = normal_matrix;
      turned[i] = normal = Normalize({static_cast<float>(m[0] * a + m[1] * b + m[2] * c),
                                      static_cast<float>(m[3] * a + m[4] * b + m[5] * c),
                                      -static_cast<float>(m[6] * a + m[7] * b + m[8] * c)});
    }
    if (!std::isfinite(placed[i].x) || !std::isfinite(placed[i].y) || !std::isfinite(placed[i].z) ||
        !std::isfinite(normal.x) || !std::isfinite(normal.y) || !std::isfinite(normal.z)) {
      why = "nodes[" + std::to_string(node) + "]: accessors[" + std::to_string(primitive.position) +
            "] placed beyond finite coordinates";
      return refuse();
    }
    if (has_texcoords) {
      u[i] = texcoords[2 * i];
      v[i] = texcoords[2 * i + 1];
    }
  }
  int part = static_cast<int>(doc_.materials.size());
  if (primitive.material >= 0) {
    part = primitive.material;
  } else if (builder_.part_count() == part && !builder_.AddPart(error)) {
    return false;
  }
  return builder_.AddMesh(part, {placed, u, v, {}, turned}, faces, error);
}

void GltfReader::SetMaterial(PartLook& look, int material, const std::string& directory,
                             const std::string& stem) {
  const gltf::Material& m = doc_.materials[material];
  look.name = StoredName(m.name);
  look.material = MaterialOfGltf(m);

  const int texture = m.base_color_texture.texture;
  if (texture < 0) return;
  const int source = doc_.textures[texture].source;
  if (source < 0) return;
  const gltf::Image& image = doc_.images[source];
  if (image.view < 0 && image.bytes.empty()) {
    if (image.uri.empty()) return;
    look.texture_file = ClampField(image.uri, kTextureFileSize);
    if (options_.load_textures) {
      look.texture = LoadTextureFile(StoredFilePath(directory, look.texture_file), &cache_);
    }
    return;
  }
  look.texture_file =
      ClampField(stem + "-" + std::to_string(source + 1) + ".png", kTextureFileSize);
  look.texture_embedded = true;
  if (!options_.load_textures) return;
  auto [it, added] = embedded_.try_emplace(source);
  if (added) {
    Image decoded;
    if (DecodeImage(image.bytes, &decoded)) it->second = Texture::FromImage(std::move(decoded));
  }
  look.texture = it->second;
}

bool GltfReader::Read(Model& model, const std::string& directory, const std::string& stem,
                      ReadError* error) {
  for (size_t m = 0; m < doc_.materials.size(); ++m) {
    if (!builder_.AddPart(error)) return false;
  }
  if (!AddNodeMeshes(error)) return false;
  for (size_t m = 0; m < doc_.materials.size(); ++m) {
    SetMaterial(builder_.Look(static_cast<int>(m)), static_cast<int>(m), directory, stem);
  }
  if (!builder_.Build(model, error)) return false;
  if (skipped_primitives_ > 0) {
    host_.Message(
        "点と線のプリミティブ" + std::to_string(skipped_primitives_) + "個は読み込みませんでした",
        MessageIcon::kWarning);
  }
  return true;
}

}  // namespace

bool ParseGltf(Model& model, std::span<const uint8_t> bytes, const std::string& directory,
               const std::string& stem, Host& host, const ReadOptions& options, ReadError* error) {
  // The document is read in one call that cannot be asked: it counts for the first half, the
  // model built from it for the second.
  ProgressMeter meter(options.progress, 2 * bytes.size());
  return ParseIntoModel(model, error, [&] {
    if (!KeepReading(meter, 0, error)) return false;
    gltf::Document doc;
    if (!gltf::ReadGltfDocument(bytes, directory, &doc, error) ||
        !KeepReading(meter, bytes.size(), error)) {
      return false;
    }
    GltfReader reader(doc, host, options);
    return reader.Read(model, directory, stem, error) &&
           (meter.Finish() || Fail(error, ReadErrorKind::kCancelled, "cancelled"));
  });
}

bool ImportGltf(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    const PathParts parts = SplitPath(path);
    return ParseGltf(model, file.bytes(), std::string(parts.folder), std::string(parts.stem), host,
                     options, error);
  });
}

}  // namespace vorna
