// A glTF 2.0 document read from untrusted bytes and checked before anyone reads its data: the
// layer every glTF reader of ours (the static mesh import, the skeletal import) builds on.
//
// ReadGltfDocument splits a .glb container itself (header length, chunk lengths, chunk types and
// alignment against the file size), parses the JSON with a nesting limit, fetches the buffers
// (the .glb's binary chunk, base64 data URIs, files beside the model) and checks every
// reference between objects and every byte range: each bufferView against its buffer, each
// accessor (and its sparse indices and values) against its bufferView, each image's view,
// each node, mesh, material, texture, skin, animation and scene index against its array, the
// node hierarchy as a forest. On success every accessor can be read without further range
// checks. Anything the checks refuse gives a ReadError whose message names the object
// ("accessors[3]: ...").
//
// Required extensions other than KHR_texture_transform and KHR_mesh_quantization are refused by
// name; unknown optional ones are ignored. What the document keeps of a file is what our
// readers use, plus what they must name when they cannot carry it (morph targets, extra
// texture-coordinate sets, colours, cameras, lights).
//
// AccessorFloats and AccessorIndices are the one place accessor data is decoded: component
// types, normalisation (KHR_mesh_quantization) and sparse substitution.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/read_error.h"

namespace vorna::gltf {

// Deeper JSON is refused before anything is built from it: glTF itself needs eight levels; the
// rest is for extensions and extras.
inline constexpr size_t kMaxNesting = 64;
// External buffer files larger than this (together) are not read.
inline constexpr uint64_t kMaxExternalBytes = uint64_t{1} << 30;
// An accessor without a bufferView is zeros until sparse values replace some: its size comes
// from its count alone, so it is bounded here (values, not bytes).
inline constexpr uint64_t kMaxZeroFilledValues = uint64_t{1} << 24;
// Attribute sets beyond this (TEXCOORD_16 ...) are ignored.
inline constexpr int kMaxAttributeSets = 16;

// A JSON value as the file gives it (the `extras` of an object). Its depth is bounded by
// kMaxNesting.
struct Value {
  enum class Type : uint8_t { kNull, kBool, kNumber, kString, kArray, kObject };
  struct Member;
  Type type = Type::kNull;
  bool boolean = false;
  double number = 0.0;
  std::string text;
  std::vector<Value> items;     // kArray
  std::vector<Member> members;  // kObject, in file order
  // The member named `key` of an object, or null.
  const Value* Find(std::string_view key) const;
};
struct Value::Member {
  std::string key;
  Value value;
};

enum ComponentType : int {
  kByte = 5120,
  kUnsignedByte = 5121,
  kShort = 5122,
  kUnsignedShort = 5123,
  kUnsignedInt = 5125,
  kFloat = 5126,
};

enum PrimitiveMode : int {
  kPoints = 0,
  kLines = 1,
  kLineLoop = 2,
  kLineStrip = 3,
  kTriangles = 4,
  kTriangleStrip = 5,
  kTriangleFan = 6,
};

struct Buffer {
  std::span<const uint8_t> data;  // exactly byteLength bytes
};

struct BufferView {
  int buffer = 0;
  size_t offset = 0;
  size_t length = 0;
  size_t stride = 0;  // 0: elements packed
};

// Where accessor data lies: `view` (-1 for none), byte `offset` into it.
struct DataRange {
  int view = -1;
  size_t offset = 0;
};

struct Accessor {
  DataRange data;  // view -1: zeros, replaced where `sparse_count` values say
  size_t count = 0;
  int component_type = kFloat;
  int components = 1;  // 1 SCALAR, 2 VEC2, 3 VEC3, 4 VEC4 or MAT2, 9 MAT3, 16 MAT4
  bool normalized = false;
  size_t sparse_count = 0;
  DataRange sparse_indices;
  int sparse_index_type = kUnsignedInt;
  DataRange sparse_values;
  // The element stride in bytes, the view's own or the packed element size.
  size_t stride = 0;
};

struct Primitive {
  int mode = kTriangles;
  int indices = -1;
  int material = -1;
  int position = -1;
  int normal = -1;
  // Indexed by set (TEXCOORD_n is texcoords[n]); -1 where the file has no such set.
  std::vector<int> texcoords, colors, joints, weights;
  size_t morph_targets = 0;
};

struct Mesh {
  std::string name;
  std::vector<Primitive> primitives;
  Value extras;
};

// KHR_texture_transform of a texture reference: uv' = offset + rotate(scale * uv), the
// rotation turning +u towards -v by `rotation` radians.
struct TextureTransform {
  bool present = false;
  std::array<double, 2> offset{0, 0};
  double rotation = 0;
  std::array<double, 2> scale{1, 1};
};

struct TextureRef {
  int texture = -1;
  int texcoord = 0;  // the set, after the transform's own texCoord
  TextureTransform transform;
};

struct Material {
  std::string name;
  std::array<double, 4> base_color{1, 1, 1, 1};
  std::array<double, 3> emissive{0, 0, 0};
  double roughness = 1;
  std::string alpha_mode = "OPAQUE";
  TextureRef base_color_texture;
  Value extras;
};

struct Texture {
  int source = -1;
};

// Exactly one of: bytes (a data URI's or a bufferView's), or a file name (uri, percent-decoded).
struct Image {
  std::string uri;
  int view = -1;
  std::string mime_type;
  std::span<const uint8_t> bytes;  // of the data URI or the view
};

struct Node {
  std::string name;
  std::vector<int> children;
  int parent = -1;
  bool has_matrix = false;
  std::array<double, 16> matrix{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // column-major
  std::array<double, 3> translation{0, 0, 0};
  std::array<double, 4> rotation{0, 0, 0, 1};  // x, y, z, w
  std::array<double, 3> scale{1, 1, 1};
  int mesh = -1;
  int skin = -1;
  int camera = -1;
  int light = -1;  // KHR_lights_punctual
  Value extras;
};

struct Skin {
  std::string name;
  std::vector<int> joints;
  int inverse_bind_matrices = -1;
  int skeleton = -1;
  Value extras;
};

enum class TargetPath : uint8_t { kTranslation, kRotation, kScale, kWeights, kOther };
enum class Interpolation : uint8_t { kLinear, kStep, kCubicSpline };

struct Channel {
  int sampler = 0;
  int node = -1;  // -1: the channel targets nothing we know (an extension's target)
  TargetPath path = TargetPath::kOther;
};

struct Sampler {
  int input = 0;
  int output = 0;
  Interpolation interpolation = Interpolation::kLinear;
};

struct Animation {
  std::string name;
  std::vector<Channel> channels;
  std::vector<Sampler> samplers;
  Value extras;
};

struct Scene {
  std::string name;
  std::vector<int> nodes;
  Value extras;
};

struct Document {
  std::vector<Buffer> buffers;
  std::vector<BufferView> views;
  std::vector<Accessor> accessors;
  std::vector<Mesh> meshes;
  std::vector<Material> materials;
  std::vector<Texture> textures;
  std::vector<Image> images;
  std::vector<Node> nodes;
  std::vector<Skin> skins;
  std::vector<Animation> animations;
  std::vector<Scene> scenes;
  int scene = -1;  // the default scene, -1 when the file names none
  size_t cameras = 0;
  size_t lights = 0;
  std::vector<std::string> extensions_used;
  Value asset_extras;
  Value extras;
  // Storage behind the buffer and image spans that do not point into the caller's bytes.
  std::vector<std::vector<uint8_t>> owned;
};

// Reads the document in `bytes` (a .glb when they start with "glTF", else JSON text) into `doc`.
// Buffers named by a relative URI are read from `directory` (empty or ending in '/'), resolved as
// stored file names are. The .glb's binary chunk is not copied: `bytes` must outlive `doc`.
// False with `error` (may be null) when anything is refused; `doc` is then unspecified.
bool ReadGltfDocument(std::span<const uint8_t> bytes, const std::string& directory, Document* doc,
                      ReadError* error);

// The files beside it that the glTF JSON text `json` names by a relative URI (buffers and
// images), percent-decoded, or none when the text is not glTF JSON.
std::vector<std::string> FileNamesOf(std::string_view json);

// The `count * components` values of accessor `index` as floats, row by row: normalised
// integers mapped to [0, 1] or [-1, 1], other integers as they are, sparse values substituted.
// False with `why` ("accessors[3]: ...") when a value is not finite or a sparse index lies
// outside the accessor.
bool AccessorFloats(const Document& doc, int index, std::vector<float>* out, std::string* why);

// The values of an unsigned-integer SCALAR (or, for joints, VECn) accessor, sparse values
// substituted. False with `why` for any other component type.
bool AccessorIndices(const Document& doc, int index, std::vector<uint32_t>* out, std::string* why);

}  // namespace vorna::gltf
