#include "formats/gltf_import.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "formats/format_common.h"
#include "formats/gltf_tinygltf.h"
#include "images/decode.h"
#include "images/encode.h"
#include "io/atomic_file.h"
#include "model/file_paths.h"
#include "model/mesh_builder.h"
#include "model/name_text.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

// No model of ours needs more; the bound keeps a small file that instances a large mesh many
// times from asking for unbounded memory.
constexpr size_t kMaxElements = size_t{1} << 25;
// External buffers larger than this are not read.
constexpr uintmax_t kMaxExternalBytes = uintmax_t{1} << 30;

// ----- What the parser may do -----------------------------------------------------------------

bool ParserFileExists(const std::string& path, void*) { return FileExists(path); }

std::string ParserExpandPath(const std::string& path, void*) { return path; }

bool ParserReadFile(std::vector<unsigned char>* out, std::string* err, const std::string& path,
                    void*) {
  std::error_code ec;
  const std::string local = ResolveFileName(path);
  const uintmax_t size = std::filesystem::file_size(local, ec);
  if (ec || size > kMaxExternalBytes) {
    if (err != nullptr) *err += "cannot read " + path + "\n";
    return false;
  }
  FileBytes file;
  if (!ReadWholeFile(local, &file, nullptr, kMaxExternalBytes)) return false;
  out->assign(file.bytes().begin(), file.bytes().end());
  return true;
}

bool ParserWriteFile(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
  return false;
}

// The parser hands over image bytes unchecked when they come from a buffer view (it never
// checks the view against its buffer): those are read later, through ViewBytes. Data URIs are
// decoded by the parser itself and kept here.
bool KeepImageBytes(tinygltf::Image* image, int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
  if (image->bufferView >= 0 || bytes == nullptr || size <= 0) return true;
  image->image.assign(bytes, bytes + size);
  return true;
}

// ----- Checked access to buffer data ----------------------------------------------------------

// The bytes of buffer view `index`, or an empty span when it lies outside its buffer.
std::span<const uint8_t> ViewBytes(const tinygltf::Model& g, int index) {
  if (index < 0 || static_cast<size_t>(index) >= g.bufferViews.size()) return {};
  const tinygltf::BufferView& view = g.bufferViews[index];
  if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= g.buffers.size()) return {};
  const std::vector<unsigned char>& data = g.buffers[view.buffer].data;
  if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset) return {};
  return {data.data() + view.byteOffset, view.byteLength};
}

// An accessor checked against its data: element i, component c starts at
// data + i * stride + c * component_size.
struct Elements {
  const uint8_t* data = nullptr;
  size_t count = 0;
  size_t stride = 0;
  int component_type = 0;
  int components = 0;
  size_t component_size = 0;
  bool normalized = false;

  double Component(size_t i, int c) const {
    const uint8_t* p = data + i * stride + static_cast<size_t>(c) * component_size;
    switch (component_type) {
      case TINYGLTF_COMPONENT_TYPE_FLOAT: {
        float f;
        std::memcpy(&f, p, 4);
        return f;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return normalized ? *p / 255.0 : *p;
      case TINYGLTF_COMPONENT_TYPE_BYTE: {
        const auto v = static_cast<int8_t>(*p);
        return normalized ? std::max(v / 127.0, -1.0) : v;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT: {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return normalized ? v / 65535.0 : v;
      }
      case TINYGLTF_COMPONENT_TYPE_SHORT: {
        int16_t v;
        std::memcpy(&v, p, 2);
        return normalized ? std::max(v / 32767.0, -1.0) : v;
      }
      case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
      }
      default:
        return 0.0;
    }
  }
};

// Accessor `index` as Elements of `type` (TINYGLTF_TYPE_*), when its component type is one that
// `accepts` allows and every byte of it lies inside its buffer view and buffer.
template <typename Accepts>
bool ReadAccessor(const tinygltf::Model& g, int index, int type, Accepts accepts, Elements* out,
                  std::string* why) {
  if (index < 0 || static_cast<size_t>(index) >= g.accessors.size()) {
    *why = "an accessor that does not exist";
    return false;
  }
  const tinygltf::Accessor& a = g.accessors[index];
  if (a.sparse.isSparse) {
    *why = "sparse accessors are not supported";
    return false;
  }
  const int component_size = tinygltf::GetComponentSizeInBytes(a.componentType);
  if (a.type != type || component_size <= 0 || !accepts(a.componentType, a.normalized)) {
    *why = "an accessor of the wrong type";
    return false;
  }
  if (a.count > kMaxElements) {
    *why = "an accessor larger than a model holds";
    return false;
  }
  const std::span<const uint8_t> view = ViewBytes(g, a.bufferView);
  if (view.data() == nullptr) {
    *why = "an accessor without data inside its buffer";
    return false;
  }
  const size_t element =
      static_cast<size_t>(component_size) * tinygltf::GetNumComponentsInType(type);
  const size_t stride_field = g.bufferViews[a.bufferView].byteStride;
  const size_t stride = stride_field > 0 ? stride_field : element;
  // The last element must end inside the view; the bounds keep every product below overflow.
  const bool fits =
      stride >= element && stride <= view.size() && a.byteOffset <= view.size() &&
      (a.count == 0 || (element <= view.size() - a.byteOffset &&
                        a.count - 1 <= (view.size() - a.byteOffset - element) / stride));
  if (!fits) {
    *why = "an accessor reaching outside its buffer view";
    return false;
  }
  out->data = view.data() + a.byteOffset;
  out->count = a.count;
  out->stride = stride;
  out->component_type = a.componentType;
  out->components = tinygltf::GetNumComponentsInType(type);
  out->component_size = static_cast<size_t>(component_size);
  out->normalized = a.normalized;
  return true;
}

bool FloatOnly(int component_type, bool) { return component_type == TINYGLTF_COMPONENT_TYPE_FLOAT; }

bool TexcoordTypes(int component_type, bool normalized) {
  return component_type == TINYGLTF_COMPONENT_TYPE_FLOAT ||
         (normalized && (component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                         component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT));
}

bool IndexTypes(int component_type, bool) {
  return component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
         component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
         component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
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

Mat4 LocalTransform(const tinygltf::Node& node) {
  if (node.matrix.size() == 16) {
    Mat4 m;
    std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
    return m;
  }
  double t[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
  if (node.translation.size() == 3) std::copy(node.translation.begin(), node.translation.end(), t);
  if (node.rotation.size() == 4) std::copy(node.rotation.begin(), node.rotation.end(), q);
  if (node.scale.size() == 3) std::copy(node.scale.begin(), node.scale.end(), s);
  const double x = q[0], y = q[1], z = q[2], w = q[3];
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

// "%XX" sequences of a URI decoded.
std::string DecodeUri(const std::string& uri) {
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += uri[i];
    }
  }
  return out;
}

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
  GltfReader(const tinygltf::Model& g, Host& host, const ReadOptions& options)
      : g_(g), host_(host), options_(options), builder_(host, {kMaxElements, kMaxElements}) {}

  bool Read(Model& model, const std::string& directory, const std::string& stem, ReadError* error);

 private:
  bool AddNodeMeshes(ReadError* error);
  bool AddPrimitive(const tinygltf::Primitive& primitive, const Mat4& world, ReadError* error);
  void SetMaterial(PartLook& look, int material, const std::string& directory,
                   const std::string& stem);

  const tinygltf::Model& g_;
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
  const int scene = g_.defaultScene >= 0 ? g_.defaultScene : 0;
  if (static_cast<size_t>(scene) < g_.scenes.size()) {
    roots = g_.scenes[scene].nodes;
  } else {
    std::vector<char> child(g_.nodes.size(), 0);
    for (const tinygltf::Node& node : g_.nodes) {
      for (const int c : node.children) {
        if (c >= 0 && static_cast<size_t>(c) < child.size()) child[c] = 1;
      }
    }
    for (size_t n = 0; n < g_.nodes.size(); ++n) {
      if (!child[n]) roots.push_back(static_cast<int>(n));
    }
  }
  // Depth first without recursion; a node is visited once, so cycles and shared children of a
  // damaged file end there.
  std::vector<char> visited(g_.nodes.size(), 0);
  std::vector<std::pair<int, Mat4>> stack;
  for (auto it = roots.rbegin(); it != roots.rend(); ++it) stack.emplace_back(*it, kIdentity);
  while (!stack.empty()) {
    const auto [index, parent_world] = stack.back();
    stack.pop_back();
    if (index < 0 || static_cast<size_t>(index) >= g_.nodes.size() || visited[index]) continue;
    visited[index] = 1;
    const tinygltf::Node& node = g_.nodes[index];
    const Mat4 world = Multiply(parent_world, LocalTransform(node));
    if (node.mesh >= 0 && static_cast<size_t>(node.mesh) < g_.meshes.size()) {
      // A skinned mesh's accessors hold it in its bind pose; the node's own placement does not
      // apply to it.
      const Mat4& placement = node.skin >= 0 ? kIdentity : world;
      for (const tinygltf::Primitive& primitive : g_.meshes[node.mesh].primitives) {
        if (!AddPrimitive(primitive, placement, error)) return false;
      }
    }
    for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
      stack.emplace_back(*it, world);
    }
  }
  return true;
}

bool GltfReader::AddPrimitive(const tinygltf::Primitive& primitive, const Mat4& world,
                              ReadError* error) {
  const int mode = primitive.mode < 0 ? TINYGLTF_MODE_TRIANGLES : primitive.mode;
  if (mode != TINYGLTF_MODE_TRIANGLES && mode != TINYGLTF_MODE_TRIANGLE_STRIP &&
      mode != TINYGLTF_MODE_TRIANGLE_FAN) {
    ++skipped_primitives_;
    return true;
  }
  const auto position_it = primitive.attributes.find("POSITION");
  if (position_it == primitive.attributes.end()) return true;  // nothing to place
  Elements positions, normals, texcoords, indices;
  std::string why;
  const auto refuse = [&] { return Fail(error, ReadErrorKind::kBadData, why); };
  if (!ReadAccessor(g_, position_it->second, TINYGLTF_TYPE_VEC3, FloatOnly, &positions, &why)) {
    return refuse();
  }
  const size_t n = positions.count;
  bool has_normals = false, has_texcoords = false;
  if (const auto it = primitive.attributes.find("NORMAL"); it != primitive.attributes.end()) {
    if (!ReadAccessor(g_, it->second, TINYGLTF_TYPE_VEC3, FloatOnly, &normals, &why)) {
      return refuse();
    }
    has_normals = normals.count == n;
  }
  if (const auto it = primitive.attributes.find("TEXCOORD_0"); it != primitive.attributes.end()) {
    if (!ReadAccessor(g_, it->second, TINYGLTF_TYPE_VEC2, TexcoordTypes, &texcoords, &why)) {
      return refuse();
    }
    has_texcoords = texcoords.count == n;
  }
  size_t corner_count = n;
  if (primitive.indices >= 0) {
    if (!ReadAccessor(g_, primitive.indices, TINYGLTF_TYPE_SCALAR, IndexTypes, &indices, &why)) {
      return refuse();
    }
    corner_count = indices.count;
  }
  const size_t triangles = mode == TINYGLTF_MODE_TRIANGLES ? corner_count / 3
                           : corner_count >= 3             ? corner_count - 2
                                                           : 0;
  if (triangles == 0) return true;
  // Checked before decoding: a small file may place one large mesh many times.
  if (!builder_.RoomFor(n, triangles, error)) return false;

  // Decoded once by type: the triangle loop below reads every index up to three times.
  std::vector<uint32_t> index_values;
  if (primitive.indices >= 0) {
    index_values.resize(indices.count);
    const uint8_t* p = indices.data;
    for (size_t i = 0; i < indices.count; ++i, p += indices.stride) {
      if (indices.component_size == 1) {
        index_values[i] = *p;
      } else if (indices.component_size == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        index_values[i] = v;
      } else {
        std::memcpy(&index_values[i], p, 4);
      }
    }
  }
  auto corner = [&](size_t i) -> uint32_t {
    return index_values.empty() ? static_cast<uint32_t>(i) : index_values[i];
  };
  std::vector<Face> faces(triangles);
  for (size_t t = 0; t < triangles; ++t) {
    uint32_t a, b, c;
    if (mode == TINYGLTF_MODE_TRIANGLES) {
      a = corner(3 * t), b = corner(3 * t + 1), c = corner(3 * t + 2);
    } else if (mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
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
    const double x = positions.Component(i, 0), y = positions.Component(i, 1),
                 z = positions.Component(i, 2);
    // z negated: glTF is right-handed, we are left-handed.
    placed[i] = {static_cast<float>(world[0] * x + world[4] * y + world[8] * z + world[12]),
                 static_cast<float>(world[1] * x + world[5] * y + world[9] * z + world[13]),
                 -static_cast<float>(world[2] * x + world[6] * y + world[10] * z + world[14])};
    if (has_normals) {
      const double a = normals.Component(i, 0), b = normals.Component(i, 1),
                   c = normals.Component(i, 2);
      const auto& m = normal_matrix;
      turned[i] = Normalize({static_cast<float>(m[0] * a + m[1] * b + m[2] * c),
                             static_cast<float>(m[3] * a + m[4] * b + m[5] * c),
                             -static_cast<float>(m[6] * a + m[7] * b + m[8] * c)});
    }
    if (has_texcoords) {
      u[i] = static_cast<float>(texcoords.Component(i, 0));
      v[i] = static_cast<float>(texcoords.Component(i, 1));
    }
  }
  const size_t material_count = g_.materials.size();
  int part = static_cast<int>(material_count);
  if (primitive.material >= 0 && static_cast<size_t>(primitive.material) < material_count) {
    part = primitive.material;
  } else if (builder_.part_count() == part && !builder_.AddPart(error)) {
    return false;
  }
  return builder_.AddMesh(part, {placed, u, v, {}, turned}, faces, error);
}

float Channel(const std::vector<double>& values, size_t i, float fallback) {
  return i < values.size() && std::isfinite(values[i]) ? static_cast<float>(values[i]) : fallback;
}

void GltfReader::SetMaterial(PartLook& look, int material, const std::string& directory,
                             const std::string& stem) {
  const tinygltf::Material& m = g_.materials[material];
  look.name = StoredName(m.name);
  const std::vector<double>& base = m.pbrMetallicRoughness.baseColorFactor;
  Material& out = look.material;
  const bool opaque = m.alphaMode.empty() || m.alphaMode == "OPAQUE";
  out.diffuse = {Channel(base, 0, 1.0f), Channel(base, 1, 1.0f), Channel(base, 2, 1.0f),
                 opaque ? 1.0f : Channel(base, 3, 1.0f)};
  out.ambient = out.diffuse;
  out.emissive = {Channel(m.emissiveFactor, 0, 0.0f), Channel(m.emissiveFactor, 1, 0.0f),
                  Channel(m.emissiveFactor, 2, 0.0f), 0.0f};
  // The inverse of the export's roughness mapping, so our power survives a round trip.
  const double roughness = std::clamp(m.pbrMetallicRoughness.roughnessFactor, 0.1, 1.0);
  out.power = static_cast<float>(2.0 / std::pow(roughness, 4.0) - 2.0);

  const int texture = m.pbrMetallicRoughness.baseColorTexture.index;
  if (texture < 0 || static_cast<size_t>(texture) >= g_.textures.size()) return;
  const int source = g_.textures[texture].source;
  if (source < 0 || static_cast<size_t>(source) >= g_.images.size()) return;
  const tinygltf::Image& image = g_.images[source];
  if (image.bufferView < 0 && image.image.empty()) {
    if (image.uri.empty()) return;
    look.texture_file = ClampField(DecodeUri(image.uri), kTextureFileSize);
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
    const std::span<const uint8_t> bytes =
        image.bufferView >= 0 ? ViewBytes(g_, image.bufferView)
                              : std::span<const uint8_t>(image.image.data(), image.image.size());
    Image decoded;
    if (bytes.data() != nullptr && DecodeImage(bytes, &decoded)) {
      it->second = Texture::FromImage(std::move(decoded));
    }
  }
  look.texture = it->second;
}

bool GltfReader::Read(Model& model, const std::string& directory, const std::string& stem,
                      ReadError* error) {
  for (size_t m = 0; m < g_.materials.size(); ++m) {
    if (!builder_.AddPart(error)) return false;
  }
  if (!AddNodeMeshes(error)) return false;
  for (size_t m = 0; m < g_.materials.size(); ++m) {
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
  Reset(model);
  bool ok = false;
  // The parser runs as one call that cannot be asked: it counts for the first half, the model
  // built from what it parsed for the second.
  ProgressMeter meter(options.progress, 2 * bytes.size());
  if (!KeepReading(meter, 0, error)) return false;
  try {
    tinygltf::TinyGLTF parser;
    parser.SetImageLoader(KeepImageBytes, nullptr);
    parser.SetFsCallbacks(
        {ParserFileExists, ParserExpandPath, ParserReadFile, ParserWriteFile, nullptr});
    tinygltf::Model g;
    std::string err, warn;
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    // The parser takes a 32-bit size.
    if (bytes.size() > UINT32_MAX)
      return Fail(error, ReadErrorKind::kLimit, "the file is too large");
    const std::string base = directory.empty() ? "." : directory;
    const bool parsed =
        binary ? parser.LoadBinaryFromMemory(&g, &err, &warn, bytes.data(),
                                             static_cast<unsigned>(bytes.size()), base)
               : parser.LoadASCIIFromString(&g, &err, &warn,
                                            reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<unsigned>(bytes.size()), base);
    if (!parsed) {
      Fail(error, ReadErrorKind::kNotThisFormat, err.empty() ? "not a glTF file" : err);
    } else if (KeepReading(meter, bytes.size(), error)) {
      GltfReader reader(g, host, options);
      ok = reader.Read(model, directory, stem, error) &&
           (meter.Finish() || Fail(error, ReadErrorKind::kCancelled, "cancelled"));
    }
  } catch (const std::bad_alloc&) {
    Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  } catch (const std::exception& e) {
    // The parser throws on some malformed input (an empty data URI, numbers out of range).
    Fail(error, ReadErrorKind::kSyntax, std::string("malformed file: ") + e.what());
  }
  if (!ok) Reset(model);
  return ok;
}

bool ImportGltf(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                ReadError* error) {
  Reset(model);
  FileBytes file;
  if (!ReadModelFile(path, &file, error)) return false;
  std::string stem = FileNameOf(path);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
  return ParseGltf(model, file.bytes(), DirectoryOf(path), stem, host, options, error);
}

bool SaveEmbeddedTextures(const Model& model, const std::string& directory) {
  bool ok = true;
  std::vector<std::string> written;
  assert(model.parts_count >= 0 && static_cast<size_t>(model.parts_count) <= model.parts.size());
  for (int p = 0; p < model.parts_count; ++p) {
    const Part& part = model.parts[p];
    if (!part.texture_embedded || part.texture == nullptr || part.texture_file.empty()) continue;
    if (std::find(written.begin(), written.end(), part.texture_file) != written.end()) continue;
    written.push_back(part.texture_file);
    std::vector<uint8_t> png;
    ok = EncodePngWithAlpha(part.texture->levels().front(), &png) &&
         WriteFileAtomically(directory + part.texture_file, png) && ok;
  }
  return ok;
}

}  // namespace vorna
