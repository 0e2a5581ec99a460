#include "formats/gltf_export.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "images/decode.h"
#include "images/encode.h"
#include "images/image_formats.h"
#include "io/atomic_file.h"
#include "io/little_endian.h"
#include "io/whole_file.h"
#include "model/file_paths.h"
#include "model/name_text.h"

#ifndef VORNA_VERSION
#define VORNA_VERSION "0"
#endif

namespace vorna {

namespace {

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedInt = 5125;

// ----- JSON text ------------------------------------------------------------------------------

void AppendNumber(std::string& out, double value) {
  // Infinite or NaN values have no JSON form; the callers never pass them except for damaged
  // geometry, which then reads as 0 rather than as a file nobody can parse.
  if (!std::isfinite(value)) value = 0.0;
  char text[32];
  const float f = static_cast<float>(value);
  // Values that are floats in the file get the shortest text that reads back as the same float,
  // which keeps accessor bounds exact.
  const auto result = static_cast<double>(f) == value
                          ? std::to_chars(text, text + sizeof text, f)
                          : std::to_chars(text, text + sizeof text, value);
  out.append(text, result.ptr);
}

void AppendInt(std::string& out, int64_t value) { out += std::to_string(value); }

void AppendString(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

template <typename T>
void AppendNumbers(std::string& out, const T* values, int count) {
  out += '[';
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ',';
    AppendNumber(out, static_cast<double>(values[i]));
  }
  out += ']';
}

// Appends `item` to a JSON array under construction.
void AddItem(std::string& array, const std::string& item) {
  if (!array.empty()) array += ',';
  array += item;
}

// Stored names are CP932 unless they are already UTF-8 (files written here).
std::string Utf8Name(std::string_view name) {
  return IsValidUtf8(name) ? std::string(name) : Cp932ToUtf8(name);
}

// A relative URI for a file name: everything but unreserved characters percent-encoded.
std::string UriOfFileName(std::string_view name) {
  std::string uri;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_' || c == '.' || c == '~') {
      uri += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      uri += escaped;
    }
  }
  return uri;
}

// ----- The binary buffer ----------------------------------------------------------------------

class Buffer {
 public:
  // Appends a buffer view holding `size` bytes at a 4-byte boundary; `target` 0 for none.
  int AddView(const void* data, size_t size, int target) {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    std::string view = "{\"buffer\":0,\"byteOffset\":";
    AppendInt(view, static_cast<int64_t>(bytes_.size()));
    view += ",\"byteLength\":";
    AppendInt(view, static_cast<int64_t>(size));
    if (target != 0) {
      view += ",\"target\":";
      AppendInt(view, target);
    }
    view += '}';
    AddItem(views_, view);
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
    return view_count_++;
  }

  // A buffer view with an accessor over it. `min_max` (components each) may be null.
  int AddAccessor(const void* data, size_t element_size, size_t count, int component_type,
                  const char* type, int target, const float* min, const float* max,
                  int components) {
    const int view = AddView(data, element_size * count, target);
    std::string accessor = "{\"bufferView\":";
    AppendInt(accessor, view);
    accessor += ",\"componentType\":";
    AppendInt(accessor, component_type);
    accessor += ",\"count\":";
    AppendInt(accessor, static_cast<int64_t>(count));
    accessor += ",\"type\":\"";
    accessor += type;
    accessor += '"';
    if (min != nullptr && max != nullptr) {
      accessor += ",\"min\":";
      AppendNumbers(accessor, min, components);
      accessor += ",\"max\":";
      AppendNumbers(accessor, max, components);
    }
    accessor += '}';
    AddItem(accessors_, accessor);
    return accessor_count_++;
  }

  std::vector<uint8_t>& bytes() { return bytes_; }
  const std::string& views() const { return views_; }
  const std::string& accessors() const { return accessors_; }

 private:
  std::vector<uint8_t> bytes_;
  std::string views_;
  std::string accessors_;
  int view_count_ = 0;
  int accessor_count_ = 0;
};

template <int N>
void ExtendBounds(const float* values, std::array<float, N>* min, std::array<float, N>* max) {
  for (int k = 0; k < N; ++k) {
    (*min)[k] = std::min((*min)[k], values[k]);
    (*max)[k] = std::max((*max)[k], values[k]);
  }
}

// ----- The hierarchy --------------------------------------------------------------------------

constexpr int kNoUnit = -1;

// Who owns what, read from the forest the way pose evaluation reads it: the nearest Unit above a
// node, passing over anything else.
struct Skeleton {
  int units = 0;
  std::vector<int> parent_unit;               // per Unit: its nearest Unit above, or kNoUnit
  std::vector<std::vector<int>> child_units;  // per Unit + 1 (the last entry: top level)
  std::vector<int> part_owner;                // per Part: its Unit, or kNoUnit
};

Skeleton ReadSkeleton(const Model& model) {
  Skeleton s;
  assert(model.parts_count >= 0 && model.parts_count < kMaxParts);
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  s.units = model.unit_count();
  const int parts = model.parts_count;
  auto nearest_unit = [&](int node) {
    int parent = model.forest.ParentOf(node);
    for (int steps = 0; parent != kTopLevel && steps < kForestCapacity; ++steps) {
      const int unit = model.UnitOfNode(parent);
      if (model.IsUnitNode(parent) && unit < s.units) return unit;
      parent = model.forest.ParentOf(parent);
    }
    return kNoUnit;
  };
  s.parent_unit.resize(s.units);
  s.child_units.resize(s.units + 1);
  s.part_owner.resize(parts);
  for (int p = 0; p < parts; ++p) s.part_owner[p] = nearest_unit(p);
  for (int u = 0; u < s.units; ++u) s.parent_unit[u] = nearest_unit(model.NodeOfUnit(u));
  // Children in the forest's order: walk it depth first.
  std::vector<char> placed(s.units, 0);
  std::vector<int> stack(model.forest.ChildrenOf(kTopLevel).rbegin(),
                         model.forest.ChildrenOf(kTopLevel).rend());
  while (!stack.empty()) {
    const int node = stack.back();
    stack.pop_back();
    const int unit = model.UnitOfNode(node);
    if (model.IsUnitNode(node) && unit < s.units && !placed[unit]) {
      placed[unit] = 1;
      const int parent = s.parent_unit[unit];
      s.child_units[parent == kNoUnit ? s.units : parent].push_back(unit);
    }
    const std::vector<int>& children = model.forest.ChildrenOf(node);
    if (stack.size() < static_cast<size_t>(kForestCapacity) * kForestCapacity) {
      stack.insert(stack.end(), children.rbegin(), children.rend());
    }
  }
  // Units missing from the forest hang at the top level, so every Unit keeps its joint.
  for (int u = 0; u < s.units; ++u) {
    if (!placed[u]) {
      s.parent_unit[u] = kNoUnit;
      s.child_units[s.units].push_back(u);
    }
  }
  return s;
}

// ----- Motions as node transforms -------------------------------------------------------------

struct Quaternion {
  double x = 0.0, y = 0.0, z = 0.0, w = 1.0;
};

// The rotation of a row-vector matrix, mirrored in z, as a unit quaternion.
Quaternion MirroredRotation(const Matrix& r) {
  // Column-vector matrix of the mirrored rotation: c_i c_j R[j][i] with c = (1, 1, -1).
  double m[3][3];
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double sign = ((i == 2) != (j == 2)) ? -1.0 : 1.0;
      m[i][j] = sign * r.m[j][i];
    }
  }
  Quaternion q;
  const double trace = m[0][0] + m[1][1] + m[2][2];
  if (trace > 0.0) {
    const double s = std::sqrt(trace + 1.0) * 2.0;
    q = {(m[2][1] - m[1][2]) / s, (m[0][2] - m[2][0]) / s, (m[1][0] - m[0][1]) / s, 0.25 * s};
  } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
    const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2.0;
    q = {0.25 * s, (m[0][1] + m[1][0]) / s, (m[0][2] + m[2][0]) / s, (m[2][1] - m[1][2]) / s};
  } else if (m[1][1] > m[2][2]) {
    const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2.0;
    q = {(m[0][1] + m[1][0]) / s, 0.25 * s, (m[1][2] + m[2][1]) / s, (m[0][2] - m[2][0]) / s};
  } else {
    const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2.0;
    q = {(m[0][2] + m[2][0]) / s, (m[1][2] + m[2][1]) / s, 0.25 * s, (m[1][0] - m[0][1]) / s};
  }
  const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (!(length > 0.0)) return {};
  return {q.x / length, q.y / length, q.z / length, q.w / length};
}

// The rotation part of a Unit's local transform, exactly as pose evaluation builds it.
Matrix UnitRotation(const Model& model, int motion, int unit) {
  const Unit& u = model.units[unit];
  const Motion& m = model.motions[motion];
  if (u.basis_type == 1) return RotationAxis(u.axis, DegreesToRadians(m.angle[0][unit]));
  return RotationXYZ(m.angle[0][unit], m.angle[1][unit], m.angle[2][unit]);
}

Vec3 Mirrored(Vec3 v) { return {v.x, v.y, -v.z}; }

Vec3 PivotOf(const Model& model, int unit) {
  return unit == kNoUnit ? Vec3{} : model.units[unit].basis_position;
}

// The rest translation of a Unit's joint: its pivot relative to its parent's.
Vec3 RestTranslation(const Model& model, const Skeleton& s, int unit) {
  return Mirrored(PivotOf(model, unit) - PivotOf(model, s.parent_unit[unit]));
}

// The Motions an animation runs through, in key order.
std::vector<int> KeyMotions(const Model& model, const Anim* anim) {
  const int last_motion = std::max(model.motion_count, 1) - 1;
  std::vector<int> keys;
  if (anim == nullptr) {
    for (int m = 0; m <= last_motion; ++m) keys.push_back(m);
    return keys;
  }
  const int first = std::clamp(anim->first_motion, 0, last_motion);
  const int last = std::clamp(anim->last_motion, 0, last_motion);
  // An Anim whose first Motion lies after its last plays only its first.
  for (int m = first; m <= std::max(first, last); ++m) keys.push_back(m);
  if (anim->loop != 0) keys.push_back(first);
  return keys;
}

// ----- Meshes ---------------------------------------------------------------------------------

// One Part's triangles over its own vertex list. `source` maps each written vertex to its Model
// vertex; `u_shift` (wrap-around Parts only) is added to that vertex's u.
struct PartMesh {
  std::vector<uint32_t> source;
  std::vector<float> u_shift;
  std::vector<uint32_t> indices;
};

PartMesh BuildPartMesh(const Model& model, int part) {
  PartMesh mesh;
  const Part& record = model.parts[part];
  const uint32_t first = record.first_vertex;
  const uint32_t vertices = model.PartVertexCount(part);
  const bool wrap = record.texture_map_flag == 2;
  std::unordered_map<uint64_t, uint32_t> written;
  if (!wrap) {
    mesh.source.resize(vertices);
    for (uint32_t v = 0; v < vertices; ++v) mesh.source[v] = first + v;
  }
  // The renderer draws a wrap-around Part with cylindrical wrapping of u: a triangle's corners
  // more than half a turn below its largest u move up by one. A written vertex is a Model vertex
  // with such a shift, so the seam gets its own copies of the vertices it crosses.
  auto corner = [&](uint32_t local, float shift) -> uint32_t {
    if (!wrap) return local;
    const uint64_t key = (static_cast<uint64_t>(local) << 1) | (shift != 0.0f ? 1u : 0u);
    const auto [it, added] = written.try_emplace(key, static_cast<uint32_t>(mesh.source.size()));
    if (added) {
      mesh.source.push_back(first + local);
      mesh.u_shift.push_back(shift);
    }
    return it->second;
  };
  auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
    float shift[3] = {0.0f, 0.0f, 0.0f};
    if (wrap) {
      const float u[3] = {model.tex_u[first + a], model.tex_u[first + b], model.tex_u[first + c]};
      const float limit = std::max({u[0], u[1], u[2]}) - 0.5f;
      for (int i = 0; i < 3; ++i) shift[i] = u[i] < limit ? 1.0f : 0.0f;
    }
    // Reversed winding: z is negated, which mirrors every triangle.
    mesh.indices.push_back(corner(a, shift[0]));
    mesh.indices.push_back(corner(c, shift[2]));
    mesh.indices.push_back(corner(b, shift[1]));
  };
  const uint32_t end_face = model.parts[part + 1].first_face;
  mesh.indices.reserve(static_cast<size_t>(end_face - record.first_face) * 6);
  for (uint32_t f = record.first_face; f < end_face; ++f) {
    const Face& face = model.faces[f];
    triangle(face.corner[0], face.corner[1], face.corner[2]);
    if (!face.IsTriangle()) triangle(face.corner[0], face.corner[2], face.corner[3]);
  }
  return mesh;
}

// ----- Images ---------------------------------------------------------------------------------

struct ImageData {
  std::vector<uint8_t> bytes;
  ImageFormat format = ImageFormat::kPng;  // PNG or JPEG, as glTF takes them
  std::string file_name;                   // for .gltf: the name beside the model
};

// The image of a Part's texture: the file's own bytes when it is a PNG or JPEG we can decode,
// else the decoded image (from the file, or the texture already loaded) as PNG.
bool TextureImage(const Model& model, const Part& part, ImageData* out) {
  FileBytes file;
  Image image;
  const std::string path = StoredFilePath(model.model_dir, part.texture_file);
  if (ReadWholeFile(ResolveFileName(path), &file, nullptr, kMaxImageFileBytes) &&
      DecodeImage(file.bytes(), &image)) {
    const ImageFormat format = DetectImageFormat(file.bytes());
    if (format == ImageFormat::kPng || format == ImageFormat::kJpeg) {
      out->bytes.assign(file.bytes().begin(), file.bytes().end());
      out->format = format;
      return true;
    }
  } else if (part.texture != nullptr) {
    image = part.texture->levels().front();
  } else {
    return false;
  }
  out->format = ImageFormat::kPng;
  return EncodePngWithAlpha(image, &out->bytes);
}

// "<stem>.png" or "<stem>.jpg" for a texture name, unique among `taken`.
std::string ImageFileName(const std::string& texture_file, ImageFormat format,
                          std::vector<std::string>* taken) {
  std::string name = Utf8Name(texture_file);
  std::replace(name.begin(), name.end(), '\\', '/');
  name = std::string(SplitPath(name).stem);
  if (name.empty()) name = "texture";
  const std::string extension(ImageFormatRowOf(format).extension);
  std::string candidate = name + extension;
  for (int n = 2; std::find(taken->begin(), taken->end(), candidate) != taken->end(); ++n) {
    candidate = name + "-" + std::to_string(n) + extension;
  }
  taken->push_back(candidate);
  return candidate;
}

// ----- The document ---------------------------------------------------------------------------

class Exporter {
 public:
  Exporter(const Model& model, bool binary, const GltfOptions& options, std::string stem)
      : model_(model),
        binary_(binary),
        options_(options),
        stem_(std::move(stem)),
        skeleton_(ReadSkeleton(model)) {}

  bool Build(std::string* error);
  const std::string& json() const { return json_; }
  std::vector<uint8_t>& buffer() { return buffer_.bytes(); }
  const std::vector<ImageData>& images() const { return images_; }

 private:
  bool skinned() const { return skeleton_.units > 0; }
  int JointOf(int unit) const { return unit == kNoUnit ? 0 : unit + 1; }
  void AddSkeleton();
  void AddSkin();
  int AddTexture(const Part& part);
  int AddMaterial(int part);
  void AddPart(int part);
  void AddAnimation(const std::string& name, const std::vector<int>& keys, bool loop);
  void AssembleJson();

  const Model& model_;
  const bool binary_;
  const GltfOptions& options_;
  std::string stem_;
  Skeleton skeleton_;
  Buffer buffer_;
  std::string nodes_, meshes_, materials_, textures_, images_json_, skins_, animations_;
  std::vector<int> scene_nodes_;
  int node_count_ = 0;
  int material_count_ = 0;
  int mesh_count_ = 0;
  std::vector<ImageData> images_;
  std::vector<std::string> image_names_;
  std::map<std::string, int> texture_of_file_;  // texture file name -> texture index, -1 failed
  std::string json_;
};

void Exporter::AddSkeleton() {
  // Node 0 is the root joint; node 1 + u the joint of Unit u.
  auto children_of = [&](int list) {
    std::string text;
    for (const int child : skeleton_.child_units[list]) {
      if (!text.empty()) text += ',';
      AppendInt(text, JointOf(child));
    }
    return text;
  };
  std::string root = "{\"name\":\"root\"";
  if (const std::string children = children_of(skeleton_.units); !children.empty()) {
    root += ",\"children\":[" + children + "]";
  }
  AddItem(nodes_, root + "}");
  scene_nodes_.push_back(node_count_++);
  for (int u = 0; u < skeleton_.units; ++u) {
    std::string node = "{\"name\":";
    AppendString(node, Utf8Name(model_.node_name[model_.NodeOfUnit(u)]));
    const Vec3 t = RestTranslation(model_, skeleton_, u);
    node += ",\"translation\":";
    const float values[3] = {t.x, t.y, t.z};
    AppendNumbers(node, values, 3);
    if (const std::string children = children_of(u); !children.empty()) {
      node += ",\"children\":[" + children + "]";
    }
    AddItem(nodes_, node + "}");
    ++node_count_;
  }
}

void Exporter::AddSkin() {
  // Column-major inverse bind matrices: each joint's rest frame sits at its pivot.
  std::vector<float> matrices(static_cast<size_t>(skeleton_.units + 1) * 16, 0.0f);
  for (int j = 0; j <= skeleton_.units; ++j) {
    float* m = &matrices[static_cast<size_t>(j) * 16];
    m[0] = m[5] = m[10] = m[15] = 1.0f;
    if (j > 0) {
      const Vec3 p = Mirrored(model_.units[j - 1].basis_position);
      m[12] = -p.x;
      m[13] = -p.y;
      m[14] = -p.z;
    }
  }
  const int accessor = buffer_.AddAccessor(matrices.data(), 64, skeleton_.units + 1, kFloat, "MAT4",
                                           0, nullptr, nullptr, 16);
  std::string skin = "{\"inverseBindMatrices\":";
  AppendInt(skin, accessor);
  skin += ",\"skeleton\":0,\"joints\":[";
  for (int j = 0; j <= skeleton_.units; ++j) {
    if (j > 0) skin += ',';
    AppendInt(skin, j);
  }
  AddItem(skins_, skin + "]}");
}

int Exporter::AddTexture(const Part& part) {
  if (part.texture_file.empty()) return -1;
  if (const auto it = texture_of_file_.find(part.texture_file); it != texture_of_file_.end()) {
    return it->second;
  }
  ImageData image;
  int texture = -1;
  if (TextureImage(model_, part, &image)) {
    std::string json = "{";
    if (binary_) {
      json += "\"bufferView\":";
      AppendInt(json, buffer_.AddView(image.bytes.data(), image.bytes.size(), 0));
      json += ",\"mimeType\":";
      AppendString(json, ImageFormatRowOf(image.format).mime_type);
    } else {
      image.file_name = ImageFileName(part.texture_file, image.format, &image_names_);
      json += "\"uri\":";
      AppendString(json, UriOfFileName(image.file_name));
    }
    AddItem(images_json_, json + "}");
    texture = static_cast<int>(images_.size());
    std::string texture_json = "{\"sampler\":0,\"source\":";
    AppendInt(texture_json, texture);
    AddItem(textures_, texture_json + "}");
    images_.push_back(std::move(image));
    // A .glb holds the image in the buffer already.
    if (binary_) images_.back().bytes = {};
  }
  texture_of_file_[part.texture_file] = texture;
  return texture;
}

float Unit01(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

int Exporter::AddMaterial(int part) {
  const Part& record = model_.parts[part];
  const Material& m = record.material;
  std::string json = "{\"name\":";
  AppendString(json, Utf8Name(model_.node_name[part]));
  json += ",\"pbrMetallicRoughness\":{\"baseColorFactor\":";
  const float base[4] = {Unit01(m.diffuse.r), Unit01(m.diffuse.g), Unit01(m.diffuse.b),
                         Unit01(m.diffuse.a)};
  AppendNumbers(json, base, 4);
  json += ",\"metallicFactor\":0,\"roughnessFactor\":";
  AppendNumber(json, RoughnessOfPower(m.power));
  if (const int texture = AddTexture(record); texture >= 0) {
    json += ",\"baseColorTexture\":{\"index\":";
    AppendInt(json, texture);
    json += '}';
  }
  json += '}';
  const float emissive[3] = {Unit01(m.emissive.r), Unit01(m.emissive.g), Unit01(m.emissive.b)};
  if (emissive[0] > 0.0f || emissive[1] > 0.0f || emissive[2] > 0.0f) {
    json += ",\"emissiveFactor\":";
    AppendNumbers(json, emissive, 3);
  }
  if (base[3] < 1.0f) json += ",\"alphaMode\":\"BLEND\"";
  AddItem(materials_, json + "}");
  return material_count_++;
}

void Exporter::AddPart(int part) {
  const PartMesh mesh = BuildPartMesh(model_, part);
  const size_t count = mesh.source.size();
  std::vector<float> positions(count * 3), normals(count * 3), texcoords(count * 2);
  std::array<float, 3> min{HUGE_VALF, HUGE_VALF, HUGE_VALF};
  std::array<float, 3> max{-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
  for (size_t i = 0; i < count; ++i) {
    const uint32_t v = mesh.source[i];
    const Vec3 p = Mirrored(model_.positions[v]);
    float* position = &positions[i * 3];
    position[0] = p.x;
    position[1] = p.y;
    position[2] = p.z;
    ExtendBounds<3>(position, &min, &max);
    // glTF wants unit normals; a zero or broken normal (which draws unlit) points up instead.
    Vec3 n = Normalize(Mirrored(model_.normals[v]));
    if (!(std::fabs(Length(n) - 1.0f) < 1e-3f)) n = {0.0f, 1.0f, 0.0f};
    normals[i * 3] = n.x;
    normals[i * 3 + 1] = n.y;
    normals[i * 3 + 2] = n.z;
    texcoords[i * 2] = model_.tex_u[v] + (mesh.u_shift.empty() ? 0.0f : mesh.u_shift[i]);
    texcoords[i * 2 + 1] = model_.tex_v[v];
  }
  std::string attributes = "\"POSITION\":";
  AppendInt(attributes, buffer_.AddAccessor(positions.data(), 12, count, kFloat, "VEC3",
                                            kArrayBuffer, min.data(), max.data(), 3));
  attributes += ",\"NORMAL\":";
  AppendInt(attributes, buffer_.AddAccessor(normals.data(), 12, count, kFloat, "VEC3", kArrayBuffer,
                                            nullptr, nullptr, 3));
  attributes += ",\"TEXCOORD_0\":";
  AppendInt(attributes, buffer_.AddAccessor(texcoords.data(), 8, count, kFloat, "VEC2",
                                            kArrayBuffer, nullptr, nullptr, 2));
  const int owner = skeleton_.part_owner[part];
  if (owner != kNoUnit) {
    // The renderer's blend: weight b stays with the parent Unit's frame, 1 - b follows the
    // Unit's own. Zero weights get joint 0, as glTF asks of unused slots.
    // A Part takes one of the kMaxNodes nodes, so a skinned mesh sits among at most
    // kMaxNodes - 1 Units and every joint (Unit + 1) fits in a byte.
    static_assert(kMaxNodes <= 256);
    std::vector<uint8_t> joints(count * 4, 0);
    std::vector<float> weights(count * 4, 0.0f);
    const int own = JointOf(owner);
    const int parent = JointOf(skeleton_.parent_unit[owner]);
    auto set_joint = [&](size_t slot, int joint) { joints[slot] = static_cast<uint8_t>(joint); };
    for (size_t i = 0; i < count; ++i) {
      const float b = Unit01(model_.blend[mesh.source[i]]);
      if (b <= 0.0f || b >= 1.0f) {
        set_joint(i * 4, b <= 0.0f ? own : parent);
        weights[i * 4] = 1.0f;
      } else {
        set_joint(i * 4, own);
        set_joint(i * 4 + 1, parent);
        weights[i * 4] = 1.0f - b;
        weights[i * 4 + 1] = b;
      }
    }
    attributes += ",\"JOINTS_0\":";
    AppendInt(attributes, buffer_.AddAccessor(joints.data(), 4, count, kUnsignedByte, "VEC4",
                                              kArrayBuffer, nullptr, nullptr, 4));
    attributes += ",\"WEIGHTS_0\":";
    AppendInt(attributes, buffer_.AddAccessor(weights.data(), 16, count, kFloat, "VEC4",
                                              kArrayBuffer, nullptr, nullptr, 4));
  }
  std::string primitive = "{\"attributes\":{" + attributes + "},\"indices\":";
  AppendInt(primitive,
            buffer_.AddAccessor(mesh.indices.data(), 4, mesh.indices.size(), kUnsignedInt, "SCALAR",
                                kElementArrayBuffer, nullptr, nullptr, 1));
  primitive += ",\"material\":";
  AppendInt(primitive, AddMaterial(part));
  primitive += '}';

  const std::string name = Utf8Name(model_.node_name[part]);
  std::string mesh_json = "{\"name\":";
  AppendString(mesh_json, name);
  AddItem(meshes_, mesh_json + ",\"primitives\":[" + primitive + "]}");
  std::string node = "{\"name\":";
  AppendString(node, name);
  node += ",\"mesh\":";
  AppendInt(node, mesh_count_++);
  if (owner != kNoUnit) node += ",\"skin\":0";
  AddItem(nodes_, node + "}");
  scene_nodes_.push_back(node_count_++);
}

void Exporter::AddAnimation(const std::string& name, const std::vector<int>& keys, bool loop) {
  const size_t n = keys.size();
  std::vector<float> times(n);
  for (size_t i = 0; i < n; ++i) {
    times[i] = static_cast<float>(static_cast<double>(i) * options_.key_interval);
  }
  const int input = buffer_.AddAccessor(times.data(), 4, n, kFloat, "SCALAR", 0, &times.front(),
                                        &times.back(), 1);
  std::string samplers, channels;
  int sampler_count = 0;
  auto add_channel = [&](int unit, const char* path, const std::vector<float>& values,
                         const char* type, int components) {
    const int output = buffer_.AddAccessor(values.data(), 4 * components, n, kFloat, type, 0,
                                           nullptr, nullptr, components);
    std::string sampler = "{\"input\":";
    AppendInt(sampler, input);
    sampler += ",\"output\":";
    AppendInt(sampler, output);
    AddItem(samplers, sampler + ",\"interpolation\":\"LINEAR\"}");
    std::string channel = "{\"sampler\":";
    AppendInt(channel, sampler_count++);
    channel += ",\"target\":{\"node\":";
    AppendInt(channel, JointOf(unit));
    channel += ",\"path\":\"";
    AddItem(channels, channel + path + "\"}}");
  };
  for (int u = 0; u < skeleton_.units; ++u) {
    std::vector<float> translation(n * 3), rotation(n * 4), scale(n * 3);
    bool moves = false, turns = false, scales = false;
    const Vec3 rest = RestTranslation(model_, skeleton_, u);
    Quaternion previous;
    for (size_t i = 0; i < n; ++i) {
      const Motion& motion = model_.motions[keys[i]];
      const Vec3 t = rest + Mirrored(motion.translation[u]);
      translation[i * 3] = t.x;
      translation[i * 3 + 1] = t.y;
      translation[i * 3 + 2] = t.z;
      moves = moves || !(t == rest);
      Quaternion q = MirroredRotation(UnitRotation(model_, keys[i], u));
      // Neighbouring keys on the same hemisphere, so interpolation takes the short way.
      if (q.x * previous.x + q.y * previous.y + q.z * previous.z + q.w * previous.w < 0.0) {
        q = {-q.x, -q.y, -q.z, -q.w};
      }
      previous = q;
      const float qf[4] = {static_cast<float>(q.x), static_cast<float>(q.y),
                           static_cast<float>(q.z), static_cast<float>(q.w)};
      std::copy(qf, qf + 4, &rotation[i * 4]);
      turns = turns || !(qf[0] == 0.0f && qf[1] == 0.0f && qf[2] == 0.0f && qf[3] == 1.0f);
      const Vec3 s = motion.scale[u];
      scale[i * 3] = s.x;
      scale[i * 3 + 1] = s.y;
      scale[i * 3 + 2] = s.z;
      scales = scales || !(s == Vec3{1.0f, 1.0f, 1.0f});
    }
    if (moves) add_channel(u, "translation", translation, "VEC3", 3);
    // glTF asks for at least one channel: a still animation keeps the last Unit's rotation.
    if (turns || (sampler_count == 0 && u + 1 == skeleton_.units)) {
      add_channel(u, "rotation", rotation, "VEC4", 4);
    }
    if (scales) add_channel(u, "scale", scale, "VEC3", 3);
  }
  std::string animation = "{\"name\":";
  AppendString(animation, name);
  animation += ",\"channels\":[" + channels + "],\"samplers\":[" + samplers + "]";
  animation += loop ? ",\"extras\":{\"loop\":true}}" : ",\"extras\":{\"loop\":false}}";
  AddItem(animations_, animation);
}

void Exporter::AssembleJson() {
  std::string& j = json_;
  j = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"VORNA " VORNA_VERSION "\"}";
  j += ",\"scene\":0,\"scenes\":[{\"nodes\":[";
  for (size_t i = 0; i < scene_nodes_.size(); ++i) {
    if (i > 0) j += ',';
    AppendInt(j, scene_nodes_[i]);
  }
  j += "]}]";
  j += ",\"nodes\":[" + nodes_ + "]";
  j += ",\"meshes\":[" + meshes_ + "]";
  j += ",\"materials\":[" + materials_ + "]";
  if (!images_json_.empty()) {
    j += ",\"samplers\":[{\"magFilter\":9729,\"minFilter\":9987,\"wrapS\":10497,\"wrapT\":10497}]";
    j += ",\"images\":[" + images_json_ + "],\"textures\":[" + textures_ + "]";
  }
  if (!skins_.empty()) j += ",\"skins\":[" + skins_ + "]";
  if (!animations_.empty()) j += ",\"animations\":[" + animations_ + "]";
  j += ",\"accessors\":[" + buffer_.accessors() + "]";
  j += ",\"bufferViews\":[" + buffer_.views() + "]";
  j += ",\"buffers\":[{\"byteLength\":";
  while (buffer_.bytes().size() % 4 != 0) buffer_.bytes().push_back(0);
  AppendInt(j, static_cast<int64_t>(buffer_.bytes().size()));
  if (!binary_) {
    j += ",\"uri\":";
    AppendString(j, UriOfFileName(stem_ + ".bin"));
  }
  j += "}]}";
}

bool Finite(const Vec3& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// glTF forbids infinite and NaN numbers, in buffers too; a model read from a text format can
// hold them ("inf" and "nan" read as numbers). Names the first one, or gives "".
std::string NonFiniteValue(const Model& model) {
  for (size_t v = 0; v < model.positions.size(); ++v) {
    if (!Finite(model.positions[v]) || !Finite(model.normals[v]) ||
        !std::isfinite(model.tex_u[v]) || !std::isfinite(model.tex_v[v]) ||
        !std::isfinite(model.blend[v])) {
      return "vertex " + std::to_string(v);
    }
  }
  for (int u = 0; u < model.unit_count(); ++u) {
    if (!Finite(model.units[u].basis_position)) return "the pivot of Unit " + std::to_string(u);
    for (int m = 0; m < model.motion_count; ++m) {
      if (!Finite(model.motions[m].translation[u]) || !Finite(model.motions[m].scale[u])) {
        return "Motion " + std::to_string(m + 1);
      }
    }
  }
  return {};
}

bool Exporter::Build(std::string* error) {
  assert(model_.parts_count >= 0 && model_.parts_count < kMaxParts);
  const int parts = model_.parts_count;
  if (static_cast<int>(model_.parts.size()) < parts + 1) {
    *error = "the model has no Part records";
    return false;
  }
  if (const std::string where = NonFiniteValue(model_); !where.empty()) {
    *error = where + " holds a number that is not finite";
    return false;
  }
  if (skinned()) AddSkeleton();
  bool any_faces = false;
  for (int p = 0; p < parts; ++p) {
    if (model_.PartFaceCount(p) == 0) continue;
    any_faces = true;
    AddPart(p);
  }
  if (!any_faces) {
    *error = "the model has no faces";
    return false;
  }
  if (skinned()) {
    AddSkin();
    if (model_.anim_count <= 0) {
      AddAnimation("ALL", KeyMotions(model_, nullptr), false);
    }
    assert(model_.anim_count <= kMaxAnims);
    for (int a = 0; a < model_.anim_count; ++a) {
      const Anim& anim = model_.anims[a];
      AddAnimation(Utf8Name(anim.name), KeyMotions(model_, &anim), anim.loop != 0);
    }
  }
  AssembleJson();
  return true;
}

// The GLB container: header, JSON chunk padded with spaces, BIN chunk padded with zeros.
bool GlbBytes(const std::string& json, const std::vector<uint8_t>& bin, std::string* out) {
  const size_t json_length = (json.size() + 3) / 4 * 4;
  const size_t total = 12 + 8 + json_length + 8 + bin.size();
  if (total > UINT32_MAX) return false;
  out->reserve(total);
  AppendU32(*out, 0x46546C67u);  // "glTF"
  AppendU32(*out, 2);
  AppendU32(*out, static_cast<uint32_t>(total));
  AppendU32(*out, static_cast<uint32_t>(json_length));
  AppendU32(*out, 0x4E4F534Au);  // "JSON"
  *out += json;
  out->append(json_length - json.size(), ' ');
  AppendU32(*out, static_cast<uint32_t>(bin.size()));
  AppendU32(*out, 0x004E4942u);  // "BIN\0"
  out->append(reinterpret_cast<const char*>(bin.data()), bin.size());
  return true;
}

}  // namespace

float RoughnessOfPower(float power) {
  if (!(power > 0.0f)) return 1.0f;
  return static_cast<float>(std::pow(2.0 / (static_cast<double>(power) + 2.0), 0.25));
}

bool ExportGltf(const Model& model, const std::string& path, bool binary,
                const SaveOptions& options, WriteError* error) {
  std::string stem(SplitPath(path).stem);
  if (stem.empty()) stem = "model";
  try {
    Exporter exporter(model, binary, options.gltf, stem);
    std::string why;
    if (!exporter.Build(&why)) return Fail(error, WriteErrorKind::kModel, why);
    if (binary) {
      std::string glb;
      if (!GlbBytes(exporter.json(), exporter.buffer(), &glb)) {
        return Fail(error, WriteErrorKind::kModel, "the model is too large for a .glb file");
      }
      return WriteFileAtomically(path, glb, options.progress, error);
    }
    const std::string dir = DirectoryOf(path);
    const std::vector<uint8_t>& buffer = exporter.buffer();
    const std::string_view bin(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    if (!WriteFileAtomically(dir + stem + ".bin", bin, options.progress, error)) return false;
    for (const ImageData& image : exporter.images()) {
      const std::string_view bytes(reinterpret_cast<const char*>(image.bytes.data()),
                                   image.bytes.size());
      if (!WriteFileAtomically(dir + image.file_name, bytes, {}, error)) return false;
    }
    return WriteFileAtomically(path, exporter.json(), {}, error);
  } catch (const std::bad_alloc&) {
    return Fail(error, WriteErrorKind::kOutOfMemory, "out of memory");
  }
}

}  // namespace vorna
