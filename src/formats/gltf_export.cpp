#include "formats/gltf_export.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "formats/beside_files.h"
#include "formats/glb_container.h"
#include "formats/gltf_animation.h"
#include "formats/gltf_document.h"
#include "formats/gltf_material.h"
#include "formats/json_writer.h"
#include "images/decode.h"
#include "images/encode.h"
#include "images/image_formats.h"
#include "io/atomic_file.h"
#include "io/whole_file.h"
#include "model/file_paths.h"
#include "model/name_text.h"

#ifndef VORNA_VERSION
#define VORNA_VERSION "0"
#endif

namespace vorna {

namespace {

using gltf::kNoUnit;
using gltf::Mirrored;

constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kFloat = 5126;
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedInt = 5125;
// A .gltf larger than this is no export of ours: its files are not replaced.
constexpr uint64_t kMaxReplacedGltfBytes = uint64_t{64} << 20;

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

template <typename T>
JsonWriter& Numbers(JsonWriter& j, const T* values, int count) {
  j.BeginArray();
  for (int i = 0; i < count; ++i) j.Shortest(static_cast<double>(values[i]));
  return j.EndArray();
}

// ----- The binary buffer ----------------------------------------------------------------------

class Buffer {
 public:
  // Appends a buffer view holding `size` bytes at a 4-byte boundary; `target` 0 for none.
  int AddView(const void* data, size_t size, int target) {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    views_.BeginObject().Key("buffer").Int(0);
    views_.Key("byteOffset").Int(static_cast<int64_t>(bytes_.size()));
    views_.Key("byteLength").Int(static_cast<int64_t>(size));
    if (target != 0) views_.Key("target").Int(target);
    views_.EndObject();
    const auto* begin = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), begin, begin + size);
    return view_count_++;
  }

  // A buffer view with an accessor over it. `min` and `max` (components each) may be null.
  int AddAccessor(const void* data, size_t element_size, size_t count, int component_type,
                  const char* type, int target, const float* min, const float* max,
                  int components) {
    const int view = AddView(data, element_size * count, target);
    accessors_.BeginObject().Key("bufferView").Int(view);
    accessors_.Key("componentType").Int(component_type);
    accessors_.Key("count").Int(static_cast<int64_t>(count)).Key("type").String(type);
    if (min != nullptr && max != nullptr) {
      Numbers(accessors_.Key("min"), min, components);
      Numbers(accessors_.Key("max"), max, components);
    }
    accessors_.EndObject();
    return accessor_count_++;
  }

  std::vector<uint8_t>& bytes() { return bytes_; }
  const std::string& views() const { return views_.str(); }
  const std::string& accessors() const { return accessors_.str(); }

 private:
  std::vector<uint8_t> bytes_;
  JsonWriter views_;
  JsonWriter accessors_;
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
  BesideFile file;                         // for .gltf: the file beside the model
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

// "<stem>.png" or "<stem>.jpg" for a texture name.
std::string ImageFileName(const std::string& texture_file, ImageFormat format) {
  std::string name = StoredNameAsUtf8(texture_file);
  std::replace(name.begin(), name.end(), '\\', '/');
  name = std::string(SplitPath(name).stem);
  if (name.empty()) name = "texture";
  return name + std::string(ImageFormatRowOf(format).extension);
}

std::string_view Chars(const std::vector<uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// ----- The document ---------------------------------------------------------------------------

// Without the skin: no joints, and every Part a plain mesh in its rest position.
gltf::Skeleton SkeletonToWrite(const Model& model, bool skin) {
  if (skin) return gltf::ReadSkeleton(model);
  gltf::Skeleton none;
  none.part_owner.assign(static_cast<size_t>(std::max(model.parts_count, 0)), kNoUnit);
  return none;
}

// Which channels of each joint the animations key: every animation keys every channel that any
// of them moves away from rest, because tools that switch between animations leave a joint the
// new one does not key where the last one left it.
struct KeyedChannels {
  std::vector<char> translation, rotation, scale;  // per Unit
};

// One animation to write: an Anim, or "ALL" over every Motion.
struct AnimationToWrite {
  std::string name;
  std::vector<int> keys;
  bool loop = false;
  int anim_index = -1;  // its place in the Anim list; -1: the "ALL" one over every Motion
};

class Exporter {
 public:
  // `names` (null for a .glb) chooses the files beside a .gltf.
  Exporter(const Model& model, bool binary, const SaveOptions& options, std::string stem,
           BesideNames* names)
      : model_(model),
        binary_(binary),
        options_(options),
        stem_(std::move(stem)),
        names_(names),
        skeleton_(SkeletonToWrite(model, options.skin)) {}

  bool Build(std::string* error);
  const std::string& json() const { return json_.str(); }
  std::vector<uint8_t>& buffer() { return buffer_.bytes(); }
  const BesideFile& buffer_file() const { return buffer_file_; }
  const std::vector<ImageData>& images() const { return images_; }

 private:
  bool skinned() const { return skeleton_.units > 0; }
  int JointOf(int unit) const { return unit == kNoUnit ? 0 : unit + 1; }
  void AddSkeleton();
  void AddSkin();
  int AddTexture(const Part& part);
  int AddMaterial(int part);
  void AddPart(int part);
  std::vector<AnimationToWrite> Animations() const;
  KeyedChannels ChannelsToKey(const std::vector<AnimationToWrite>& animations) const;
  // Its extras record the loop, the Motion of every key and the Anim it is (or that it is none),
  // which our import restores.
  void AddAnimation(const AnimationToWrite& animation, const KeyedChannels& keyed);
  void AssembleJson();

  const Model& model_;
  const bool binary_;
  const SaveOptions& options_;
  std::string stem_;
  BesideNames* names_;
  BesideFile buffer_file_;
  gltf::Skeleton skeleton_;
  Buffer buffer_;
  // The items of each top-level array, assembled into the document at the end.
  JsonWriter nodes_, meshes_, materials_, textures_, images_json_, skins_, animations_;
  std::vector<int> scene_nodes_;
  int node_count_ = 0;
  int material_count_ = 0;
  int mesh_count_ = 0;
  std::vector<ImageData> images_;
  std::map<std::string, int> texture_of_file_;  // texture file name -> texture index, -1 failed
  JsonWriter json_;
};

void Exporter::AddSkeleton() {
  // Node 0 is the root joint; node 1 + u the joint of Unit u.
  auto children_of = [&](int list) {
    if (skeleton_.child_units[list].empty()) return;
    nodes_.Key("children").BeginArray();
    for (const int child : skeleton_.child_units[list]) nodes_.Int(JointOf(child));
    nodes_.EndArray();
  };
  nodes_.BeginObject().Key("name").String("root");
  children_of(skeleton_.units);
  nodes_.EndObject();
  scene_nodes_.push_back(node_count_++);
  for (int u = 0; u < skeleton_.units; ++u) {
    nodes_.BeginObject().Key("name").String(
        StoredNameAsUtf8(model_.node_name[model_.NodeOfUnit(u)]));
    const Vec3 t = gltf::RestTranslation(model_, skeleton_, u);
    const float values[3] = {t.x, t.y, t.z};
    Numbers(nodes_.Key("translation"), values, 3);
    children_of(u);
    // What a glTF joint cannot say, for our own import to give the Unit back as it was.
    const Unit& unit = model_.units[u];
    nodes_.Key("extras").BeginObject().Key("basis_type").Int(unit.basis_type);
    nodes_.Key("axis_angle").BeginArray();
    for (const int32_t a : unit.axis_angle) nodes_.Int(a);
    nodes_.EndArray().Key("blend_param").BeginArray();
    for (const int32_t b : unit.blend_param) nodes_.Int(b);
    nodes_.EndArray().EndObject();
    nodes_.EndObject();
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
  skins_.BeginObject().Key("inverseBindMatrices").Int(accessor).Key("skeleton").Int(0);
  skins_.Key("joints").BeginArray();
  for (int j = 0; j <= skeleton_.units; ++j) skins_.Int(j);
  skins_.EndArray().EndObject();
}

int Exporter::AddTexture(const Part& part) {
  if (part.texture_file.empty()) return -1;
  if (const auto it = texture_of_file_.find(part.texture_file); it != texture_of_file_.end()) {
    return it->second;
  }
  ImageData image;
  int texture = -1;
  if (TextureImage(model_, part, &image)) {
    images_json_.BeginObject();
    if (binary_) {
      images_json_.Key("bufferView")
          .Int(buffer_.AddView(image.bytes.data(), image.bytes.size(), 0));
      images_json_.Key("mimeType").String(ImageFormatRowOf(image.format).mime_type);
    } else {
      image.file = names_->Choose(ImageFileName(part.texture_file, image.format),
                                  Chars(image.bytes), options_.beside);
      images_json_.Key("uri").String(UriOfFileName(FileNameOf(image.file.path)));
    }
    images_json_.EndObject();
    texture = static_cast<int>(images_.size());
    textures_.BeginObject().Key("sampler").Int(0).Key("source").Int(texture).EndObject();
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
  // The texture first: it may add a view to the buffer.
  const int texture = AddTexture(record);
  materials_.BeginObject().Key("name").String(StoredNameAsUtf8(model_.node_name[part]));
  materials_.Key("pbrMetallicRoughness").BeginObject();
  const GltfFactors factors = FactorsOfMaterial(m);
  Numbers(materials_.Key("baseColorFactor"), factors.base_color.data(), 4);
  materials_.Key("metallicFactor").Int(0);
  materials_.Key("roughnessFactor").Shortest(factors.roughness);
  if (texture >= 0) {
    materials_.Key("baseColorTexture").BeginObject().Key("index").Int(texture).EndObject();
  }
  materials_.EndObject();
  const std::array<float, 3>& emissive = factors.emissive;
  if (emissive[0] > 0.0f || emissive[1] > 0.0f || emissive[2] > 0.0f) {
    Numbers(materials_.Key("emissiveFactor"), emissive.data(), 3);
  }
  if (factors.base_color[3] < 1.0f) materials_.Key("alphaMode").String("BLEND");
  materials_.EndObject();
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
  JsonWriter primitive;
  primitive.BeginObject().Key("attributes").BeginObject();
  primitive.Key("POSITION")
      .Int(buffer_.AddAccessor(positions.data(), 12, count, kFloat, "VEC3", kArrayBuffer,
                               min.data(), max.data(), 3));
  primitive.Key("NORMAL").Int(buffer_.AddAccessor(normals.data(), 12, count, kFloat, "VEC3",
                                                  kArrayBuffer, nullptr, nullptr, 3));
  primitive.Key("TEXCOORD_0")
      .Int(buffer_.AddAccessor(texcoords.data(), 8, count, kFloat, "VEC2", kArrayBuffer, nullptr,
                               nullptr, 2));
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
    primitive.Key("JOINTS_0")
        .Int(buffer_.AddAccessor(joints.data(), 4, count, kUnsignedByte, "VEC4", kArrayBuffer,
                                 nullptr, nullptr, 4));
    primitive.Key("WEIGHTS_0")
        .Int(buffer_.AddAccessor(weights.data(), 16, count, kFloat, "VEC4", kArrayBuffer, nullptr,
                                 nullptr, 4));
  }
  primitive.EndObject().Key("indices").Int(
      buffer_.AddAccessor(mesh.indices.data(), 4, mesh.indices.size(), kUnsignedInt, "SCALAR",
                          kElementArrayBuffer, nullptr, nullptr, 1));
  primitive.Key("material").Int(AddMaterial(part)).EndObject();

  const std::string name = StoredNameAsUtf8(model_.node_name[part]);
  meshes_.BeginObject().Key("name").String(name);
  meshes_.Key("primitives").BeginArray().Raw(primitive.str()).EndArray().EndObject();
  nodes_.BeginObject().Key("name").String(name).Key("mesh").Int(mesh_count_++);
  if (owner != kNoUnit) {
    // The joint of the Part's Unit, by name: tools that keep extras renumber the nodes. Our
    // import gives that joint every triangle of the mesh.
    nodes_.Key("skin").Int(0).Key("extras").BeginObject().Key("joint").String(
        StoredNameAsUtf8(model_.node_name[model_.NodeOfUnit(owner)]));
    nodes_.EndObject();
  }
  nodes_.EndObject();
  scene_nodes_.push_back(node_count_++);
}

std::vector<AnimationToWrite> Exporter::Animations() const {
  std::vector<AnimationToWrite> animations;
  assert(model_.anim_count <= kMaxAnims);
  // Every Motion reaches the file: through "ALL" when some lies outside every Anim.
  std::vector<char> in_anim(static_cast<size_t>(std::max(model_.motion_count, 1)), 0);
  for (int a = 0; a < model_.anim_count; ++a) {
    for (const int m : gltf::KeyMotions(model_, &model_.anims[a])) in_anim[m] = 1;
  }
  if (std::find(in_anim.begin(), in_anim.end(), 0) != in_anim.end()) {
    animations.push_back({"ALL", gltf::KeyMotions(model_, nullptr), false, -1});
  }
  for (int a = 0; a < model_.anim_count; ++a) {
    const Anim& anim = model_.anims[a];
    animations.push_back(
        {StoredNameAsUtf8(anim.name), gltf::KeyMotions(model_, &anim), anim.loop != 0, a});
  }
  return animations;
}

KeyedChannels Exporter::ChannelsToKey(const std::vector<AnimationToWrite>& animations) const {
  const size_t units = static_cast<size_t>(skeleton_.units);
  KeyedChannels keyed{std::vector<char>(units, 0), std::vector<char>(units, 0),
                      std::vector<char>(units, 0)};
  bool any = false;
  for (const AnimationToWrite& animation : animations) {
    for (size_t u = 0; u < units; ++u) {
      const gltf::JointKeys k =
          gltf::SampleJoint(model_, skeleton_, static_cast<int>(u), animation.keys);
      keyed.translation[u] |= k.moves && options_.translation;
      keyed.rotation[u] |= k.turns;
      keyed.scale[u] |= k.scales && options_.scale;
      any = any || keyed.translation[u] || keyed.rotation[u] || keyed.scale[u];
    }
  }
  // glTF asks for at least one channel: still animations key the last Unit's rotation.
  if (!any) keyed.rotation.back() = 1;
  return keyed;
}

// Whether every key of `values` (`components` each) equals the first.
bool Constant(const std::vector<float>& values, size_t components) {
  for (size_t i = components; i < values.size(); ++i) {
    if (values[i] != values[i % components]) return false;
  }
  return true;
}

void Exporter::AddAnimation(const AnimationToWrite& animation, const KeyedChannels& keyed) {
  const size_t n = animation.keys.size();
  std::vector<float> times(n);
  for (size_t i = 0; i < n; ++i) {
    times[i] = static_cast<float>(static_cast<double>(i) * options_.gltf.key_interval);
  }
  const int input = buffer_.AddAccessor(times.data(), 4, n, kFloat, "SCALAR", 0, &times.front(),
                                        &times.back(), 1);
  // A channel that holds one value throughout needs only its first and last key.
  int ends_input = -1;
  const float ends[2] = {times.front(), times.back()};
  JsonWriter samplers, channels;
  int sampler_count = 0;
  auto add_channel = [&](int unit, const char* path, std::vector<float> values, const char* type,
                         size_t components) {
    size_t count = n;
    int keys = input;
    if (n > 2 && Constant(values, components)) {
      if (ends_input < 0) {
        ends_input = buffer_.AddAccessor(ends, 4, 2, kFloat, "SCALAR", 0, &ends[0], &ends[1], 1);
      }
      count = 2;
      keys = ends_input;
      values.resize(2 * components);
      std::copy_n(values.begin(), components, values.begin() + static_cast<long>(components));
    }
    const int output = buffer_.AddAccessor(values.data(), 4 * components, count, kFloat, type, 0,
                                           nullptr, nullptr, static_cast<int>(components));
    samplers.BeginObject().Key("input").Int(keys).Key("output").Int(output);
    samplers.Key("interpolation").String("LINEAR").EndObject();
    channels.BeginObject().Key("sampler").Int(sampler_count++).Key("target").BeginObject();
    channels.Key("node").Int(JointOf(unit)).Key("path").String(path).EndObject().EndObject();
  };
  for (int u = 0; u < skeleton_.units; ++u) {
    gltf::JointKeys k = gltf::SampleJoint(model_, skeleton_, u, animation.keys);
    if (keyed.translation[u]) add_channel(u, "translation", std::move(k.translation), "VEC3", 3);
    if (keyed.rotation[u]) add_channel(u, "rotation", std::move(k.rotation), "VEC4", 4);
    if (keyed.scale[u]) add_channel(u, "scale", std::move(k.scale), "VEC3", 3);
  }
  animations_.BeginObject().Key("name").String(animation.name);
  animations_.Key("channels").BeginArray().Raw(channels.str()).EndArray();
  animations_.Key("samplers").BeginArray().Raw(samplers.str()).EndArray();
  animations_.Key("extras").BeginObject().Key("loop").Bool(animation.loop);
  if (animation.anim_index < 0) {
    animations_.Key("anim").Bool(false);
  } else {
    animations_.Key("anim_index").Int(animation.anim_index);
  }
  animations_.Key("motions").BeginArray();
  for (const int m : animation.keys) animations_.Int(m);
  animations_.EndArray().EndObject().EndObject();
}

void Exporter::AssembleJson() {
  JsonWriter& j = json_;
  j.BeginObject().Key("asset").BeginObject().Key("version").String("2.0");
  j.Key("generator").String("VORNA " VORNA_VERSION).EndObject();
  j.Key("scene").Int(0).Key("scenes").BeginArray().BeginObject().Key("nodes").BeginArray();
  for (const int node : scene_nodes_) j.Int(node);
  j.EndArray().EndObject().EndArray();
  auto array = [&j](const char* key, const JsonWriter& items) {
    j.Key(key).BeginArray().Raw(items.str()).EndArray();
  };
  array("nodes", nodes_);
  array("meshes", meshes_);
  array("materials", materials_);
  if (!images_json_.str().empty()) {
    j.Key("samplers").BeginArray().BeginObject().Key("magFilter").Int(9729);
    j.Key("minFilter").Int(9987).Key("wrapS").Int(10497).Key("wrapT").Int(10497);
    j.EndObject().EndArray();
    array("images", images_json_);
    array("textures", textures_);
  }
  if (!skins_.str().empty()) array("skins", skins_);
  if (!animations_.str().empty()) array("animations", animations_);
  j.Key("accessors").BeginArray().Raw(buffer_.accessors()).EndArray();
  j.Key("bufferViews").BeginArray().Raw(buffer_.views()).EndArray();
  while (buffer_.bytes().size() % 4 != 0) buffer_.bytes().push_back(0);
  j.Key("buffers").BeginArray().BeginObject();
  j.Key("byteLength").Int(static_cast<int64_t>(buffer_.bytes().size()));
  if (!binary_) {
    buffer_file_ = names_->Choose(stem_ + ".bin", Chars(buffer_.bytes()), options_.beside);
    j.Key("uri").String(UriOfFileName(FileNameOf(buffer_file_.path)));
  }
  j.EndObject().EndArray().EndObject();
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
    if (options_.anim) {
      const std::vector<AnimationToWrite> animations = Animations();
      const KeyedChannels keyed = ChannelsToKey(animations);
      for (const AnimationToWrite& animation : animations) AddAnimation(animation, keyed);
    }
  }
  AssembleJson();
  return true;
}

}  // namespace

namespace {

// The files beside the .gltf at `path` that it names, which a new export there may replace.
std::vector<std::string> FilesOfReplacedGltf(const std::string& path) {
  FileBytes old;
  if (!ReadWholeFile(path, &old, nullptr, kMaxReplacedGltfBytes)) return {};
  std::vector<std::string> names = gltf::FileNamesOf(old.text());
  // Only files right beside it: our export names no others.
  std::erase_if(names, [](const std::string& name) {
    return name.find_first_of("/\\") != std::string::npos || name == "." || name == "..";
  });
  return names;
}

}  // namespace

bool ExportGltf(const Model& model, const std::string& path, bool binary,
                const SaveOptions& options, WriteError* error) {
  const double interval = options.gltf.key_interval;
  if (!(interval >= kMinGltfKeyInterval && interval <= kMaxGltfKeyInterval)) {
    return Fail(error, WriteErrorKind::kModel, "the key interval is not from 0.001 to 60 seconds");
  }
  std::string stem(SplitPath(path).stem);
  if (stem.empty()) stem = "model";
  try {
    const std::string dir = DirectoryOf(path);
    BesideNames names(dir, binary ? std::vector<std::string>{} : FilesOfReplacedGltf(path));
    Exporter exporter(model, binary, options, stem, &names);
    std::string why;
    if (!exporter.Build(&why)) return Fail(error, WriteErrorKind::kModel, why);
    if (binary) {
      std::string glb;
      if (!PackGlb(exporter.json(), exporter.buffer(), &glb)) {
        return Fail(error, WriteErrorKind::kModel, "the model is too large for a .glb file");
      }
      return WriteFileAtomically(path, glb, options.progress, error);
    }
    if (!WriteBesideFile(exporter.buffer_file(), Chars(exporter.buffer()), options.progress,
                         error)) {
      return false;
    }
    for (const ImageData& image : exporter.images()) {
      if (!WriteBesideFile(image.file, Chars(image.bytes), {}, error)) return false;
    }
    return WriteFileAtomically(path, exporter.json(), {}, error);
  } catch (const std::bad_alloc&) {
    return Fail(error, WriteErrorKind::kOutOfMemory, "out of memory");
  }
}

}  // namespace vorna
