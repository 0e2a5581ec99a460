#include "formats/gltf_document.h"

#include <simdjson.h>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <utility>

#include "io/little_endian.h"
#include "io/whole_file.h"
#include "model/file_paths.h"

namespace vorna::gltf {

const Value* Value::Find(std::string_view key) const {
  for (const Member& m : members) {
    if (m.key == key) return &m.value;
  }
  return nullptr;
}

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

constexpr uint32_t kGlbMagic = 0x46546C67;  // "glTF"
constexpr uint32_t kChunkJson = 0x4E4F534A;
constexpr uint32_t kChunkBin = 0x004E4942;

size_t ComponentSize(int component_type) {
  switch (component_type) {
    case kByte:
    case kUnsignedByte:
      return 1;
    case kShort:
    case kUnsignedShort:
      return 2;
    case kUnsignedInt:
    case kFloat:
      return 4;
    default:
      return 0;
  }
}

int ComponentsOf(std::string_view type) {
  static constexpr std::pair<std::string_view, int> kTypes[] = {
      {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
  for (const auto& [name, components] : kTypes) {
    if (name == type) return components;
  }
  return 0;
}

std::string Item(const char* array_name, size_t index) {
  return std::string(array_name) + "[" + std::to_string(index) + "]";
}

// ----- The container ----------------------------------------------------------------------------

// The JSON and binary chunks of a .glb, each checked to lie inside the length its header gives,
// and that length inside the file. Bytes after that length are ignored, as are chunks of other
// types. The binary chunk must keep the 4-byte alignment the format asks for (everything after
// it would start misaligned); an unpadded JSON chunk is accepted, as older writers made them.
bool SplitGlb(std::span<const uint8_t> bytes, std::span<const uint8_t>* json,
              std::span<const uint8_t>* bin, bool* has_bin, ReadError* error) {
  if (bytes.size() < 12) return Fail(error, ReadErrorKind::kTruncated, "GLB header cut short");
  const uint32_t version = LoadU32(bytes.data() + 4);
  if (version != 2) {
    return Fail(error, ReadErrorKind::kUnsupported,
                "GLB version " + std::to_string(version) + " (only 2 is read)", 4);
  }
  const uint32_t length = LoadU32(bytes.data() + 8);
  if (length > bytes.size() || length < 12) {
    return Fail(error, ReadErrorKind::kTruncated,
                "the GLB header gives " + std::to_string(length) + " bytes, the file has " +
                    std::to_string(bytes.size()),
                8);
  }
  *has_bin = false;
  bool has_json = false;
  for (size_t offset = 12, chunk = 0; offset < length; ++chunk) {
    if (length - offset < 8) {
      return Fail(error, ReadErrorKind::kTruncated, "GLB chunk header cut short", offset);
    }
    const uint32_t chunk_length = LoadU32(bytes.data() + offset);
    const uint32_t type = LoadU32(bytes.data() + offset + 4);
    if (chunk_length > length - offset - 8) {
      return Fail(error, ReadErrorKind::kTruncated,
                  "GLB chunk of " + std::to_string(chunk_length) + " bytes where " +
                      std::to_string(length - offset - 8) + " remain",
                  offset);
    }
    const std::span<const uint8_t> data = bytes.subspan(offset + 8, chunk_length);
    if (chunk == 0) {
      if (type != kChunkJson) {
        return Fail(error, ReadErrorKind::kBadData, "the first GLB chunk is not JSON", offset);
      }
      *json = data;
      has_json = true;
    } else if (type == kChunkJson) {
      return Fail(error, ReadErrorKind::kBadData, "a second JSON chunk", offset);
    } else if (type == kChunkBin) {
      if (chunk != 1) return Fail(error, ReadErrorKind::kBadData, "a misplaced BIN chunk", offset);
      if (chunk_length % 4 != 0) {
        return Fail(error, ReadErrorKind::kBadData, "a BIN chunk not padded to 4 bytes", offset);
      }
      *bin = data;
      *has_bin = true;
    }
    offset += 8 + size_t{chunk_length};
  }
  return has_json || Fail(error, ReadErrorKind::kTruncated, "GLB without a JSON chunk", 12);
}

// ----- URIs -------------------------------------------------------------------------------------

// "%XX" sequences of a URI decoded.
std::string DecodeUri(std::string_view uri) {
  std::string out;
  for (size_t i = 0; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(uri[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(uri.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += uri[i];
    }
  }
  return out;
}

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;
  if (c == '/' || c == '_') return 63;
  return -1;
}

// The bytes of a "data:...;base64,..." URI; false for any other data URI or a bad digit.
bool DecodeDataUri(std::string_view uri, std::vector<uint8_t>* out) {
  const size_t comma = uri.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view header = uri.substr(0, comma);
  if (header.size() < 7 || header.substr(header.size() - 7) != ";base64") return false;
  std::string_view digits = uri.substr(comma + 1);
  while (!digits.empty() && digits.back() == '=') digits.remove_suffix(1);
  if (digits.size() % 4 == 1) return false;
  out->clear();
  out->reserve(digits.size() / 4 * 3 + 2);
  uint32_t bits = 0;
  int held = 0;
  for (const char c : digits) {
    const int d = Base64Digit(c);
    if (d < 0) return false;
    bits = (bits << 6) | static_cast<uint32_t>(d);
    held += 6;
    if (held >= 8) {
      held -= 8;
      out->push_back(static_cast<uint8_t>(bits >> held));
    }
  }
  return true;
}

// ----- JSON fields ------------------------------------------------------------------------------

// Reads the fields of one object; the first failure names its place ("nodes[2].mesh: ...").
class Fields {
 public:
  Fields(object o, std::string where, std::string* why)
      : o_(o), where_(std::move(where)), why_(why) {}

  const std::string& where() const { return where_; }

  bool Has(std::string_view key) const { return o_.at_key(key).error() == simdjson::SUCCESS; }

  // "accessors[2].sparse" for key "sparse" of "accessors[2]".
  std::string Join(std::string_view key) const {
    if (key.empty()) return where_;
    return where_.empty() ? std::string(key) : where_ + "." + std::string(key);
  }

  bool Fail(std::string_view key, const std::string& what) const {
    if (why_->empty()) *why_ = Join(key) + ": " + what;
    return false;
  }

  // A whole number in [0, max]; absent leaves `out` as it was.
  template <typename T>
  bool Whole(std::string_view key, T* out, uint64_t max = std::numeric_limits<T>::max()) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    uint64_t value = 0;
    if (!WholeValue(e, max, &value)) {
      return Fail(key, "not a whole number from 0 to " + std::to_string(max));
    }
    *out = static_cast<T>(value);
    return true;
  }

  // An index into an array of `size` objects; absent leaves `out` as it was (-1 by the
  // callers' defaults).
  bool Index(std::string_view key, int* out, size_t size) const {
    if (!Whole(key, out, std::numeric_limits<int>::max())) return false;
    return *out < 0 || static_cast<size_t>(*out) < size ||
           Fail(key, std::to_string(*out) + " is not below " + std::to_string(size));
  }

  // A number a float can hold.
  bool Number(std::string_view key, double* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    return NumberValue(e, out) || Fail(key, "not a finite number");
  }

  // An array of exactly N numbers.
  template <size_t N>
  bool Numbers(std::string_view key, std::array<double, N>* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    array a;
    if (e.get(a) != simdjson::SUCCESS || a.size() != N) {
      return Fail(key, "not " + std::to_string(N) + " numbers");
    }
    size_t i = 0;
    for (const element item : a) {
      if (!NumberValue(item, &(*out)[i++])) return Fail(key, "not a finite number");
    }
    return true;
  }

  bool Bool(std::string_view key, bool* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    return e.get(*out) == simdjson::SUCCESS || Fail(key, "not true or false");
  }

  bool Texts(std::string_view key, std::vector<std::string>* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    array a;
    if (e.get(a) != simdjson::SUCCESS) return Fail(key, "not an array");
    for (const element item : a) {
      std::string_view text;
      if (item.get(text) != simdjson::SUCCESS) return Fail(key, "not an array of strings");
      out->emplace_back(text);
    }
    return true;
  }

  bool Text(std::string_view key, std::string* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    std::string_view text;
    if (e.get(text) != simdjson::SUCCESS) return Fail(key, "not a string");
    out->assign(text);
    return true;
  }

  bool Indices(std::string_view key, std::vector<int>* out, size_t size) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    array a;
    if (e.get(a) != simdjson::SUCCESS) return Fail(key, "not an array");
    out->reserve(a.size());
    for (const element item : a) {
      uint64_t value = 0;
      if (!WholeValue(item, std::numeric_limits<int>::max(), &value) || value >= size) {
        return Fail(key, "not an array of indices below " + std::to_string(size));
      }
      out->push_back(static_cast<int>(value));
    }
    return true;
  }

  // Calls read(Fields) for the object at `key` when there is one.
  template <typename Read>
  bool Inside(std::string_view key, Read read) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    object o;
    if (e.get(o) != simdjson::SUCCESS) return Fail(key, "not an object");
    return read(Fields(o, Join(key), why_));
  }

  // Calls read(key, index) for every member of this object, each an index below `size`.
  template <typename Read>
  bool EachIndex(size_t size, Read read) const {
    for (const auto field : o_) {
      uint64_t value = 0;
      if (!WholeValue(field.value, std::numeric_limits<int>::max(), &value) || value >= size) {
        return Fail(field.key, "not an index below " + std::to_string(size));
      }
      read(field.key, static_cast<int>(value));
    }
    return true;
  }

  // The number of entries of the array at `key` (0 when absent).
  bool Count(std::string_view key, size_t* out) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    array a;
    if (e.get(a) != simdjson::SUCCESS) return Fail(key, "not an array");
    *out = a.size();
    return true;
  }

  // Calls read(Fields) for every object of the array at `key`.
  template <typename Read>
  bool Each(std::string_view key, Read read) const {
    element e;
    if (o_.at_key(key).get(e) != simdjson::SUCCESS) return true;
    array a;
    if (e.get(a) != simdjson::SUCCESS) return Fail(key, "not an array");
    size_t i = 0;
    for (const element item : a) {
      object o;
      const std::string place = Join(key) + "[" + std::to_string(i++) + "]";
      if (item.get(o) != simdjson::SUCCESS) {
        if (why_->empty()) *why_ = place + ": not an object";
        return false;
      }
      if (!read(Fields(o, place, why_))) return false;
    }
    return true;
  }

  // The value at `key` kept as it is (extras).
  void Keep(std::string_view key, Value* out) const {
    element e;
    if (o_.at_key(key).get(e) == simdjson::SUCCESS) KeepValue(e, out);
  }

  static bool WholeValue(element e, uint64_t max, uint64_t* out) {
    switch (e.type()) {
      case element_type::UINT64:
        *out = e.get_uint64().value_unsafe();
        break;
      case element_type::INT64: {
        const int64_t v = e.get_int64().value_unsafe();
        if (v < 0) return false;
        *out = static_cast<uint64_t>(v);
        break;
      }
      case element_type::DOUBLE: {
        // Some writers print whole numbers with a fraction ("3.0").
        const double v = e.get_double().value_unsafe();
        if (!(v >= 0 && v <= 9007199254740992.0) || v != std::floor(v)) return false;
        *out = static_cast<uint64_t>(v);
        break;
      }
      default:
        return false;
    }
    return *out <= max;
  }

  static bool NumberValue(element e, double* out) {
    double v = 0;
    if (e.get(v) != simdjson::SUCCESS || !(std::fabs(v) <= FLT_MAX)) return false;
    *out = v;
    return true;
  }

  static void KeepValue(element e, Value* out) {
    switch (e.type()) {
      case element_type::ARRAY: {
        out->type = Value::Type::kArray;
        // Copied out first: the result it comes in is a temporary.
        const array items = e.get_array().value_unsafe();
        for (const element item : items) KeepValue(item, &out->items.emplace_back());
        break;
      }
      case element_type::OBJECT: {
        out->type = Value::Type::kObject;
        const object members = e.get_object().value_unsafe();
        for (const auto field : members) {
          Value::Member& m = out->members.emplace_back();
          m.key.assign(field.key);
          KeepValue(field.value, &m.value);
        }
        break;
      }
      case element_type::STRING:
        out->type = Value::Type::kString;
        out->text.assign(e.get_string().value_unsafe());
        break;
      case element_type::BOOL:
        out->type = Value::Type::kBool;
        out->boolean = e.get_bool().value_unsafe();
        break;
      case element_type::NULL_VALUE:
        out->type = Value::Type::kNull;
        break;
      default:
        out->type = Value::Type::kNumber;
        out->number = e.get_double().value_unsafe();
        break;
    }
  }

 private:
  object o_;
  std::string where_;
  std::string* why_;
};

// ----- The objects of the document --------------------------------------------------------------

bool IsIndexType(int component_type) {
  return component_type == kUnsignedByte || component_type == kUnsignedShort ||
         component_type == kUnsignedInt;
}

bool ReadAccessor(const Fields& f, size_t views, Accessor* a) {
  std::string type;
  if (!f.Index("bufferView", &a->data.view, views) || !f.Whole("byteOffset", &a->data.offset) ||
      !f.Whole("count", &a->count) || !f.Whole("componentType", &a->component_type, kFloat) ||
      !f.Text("type", &type) || !f.Bool("normalized", &a->normalized)) {
    return false;
  }
  if (!f.Has("count")) return f.Fail("count", "missing");
  if (ComponentSize(a->component_type) == 0) return f.Fail("componentType", "unknown");
  a->components = ComponentsOf(type);
  if (a->components == 0) return f.Fail("type", "unknown");
  // Matrices of 1- and 2-byte components pad their columns; nothing we read uses them.
  if (type.starts_with("MAT") && ComponentSize(a->component_type) < 4) {
    return f.Fail("type", "a matrix of small integers");
  }
  return f.Inside("sparse", [&](const Fields& s) {
    const bool read = s.Whole("count", &a->sparse_count) &&
                      s.Inside("indices",
                               [&](const Fields& i) {
                                 return i.Index("bufferView", &a->sparse_indices.view, views) &&
                                        i.Whole("byteOffset", &a->sparse_indices.offset) &&
                                        i.Whole("componentType", &a->sparse_index_type, kFloat);
                               }) &&
                      s.Inside("values", [&](const Fields& v) {
                        return v.Index("bufferView", &a->sparse_values.view, views) &&
                               v.Whole("byteOffset", &a->sparse_values.offset);
                      });
    if (!read) return false;
    if (a->sparse_count == 0 || a->sparse_count > a->count) {
      return s.Fail("count", "not from 1 to the accessor's count");
    }
    if (a->sparse_indices.view < 0 || a->sparse_values.view < 0) {
      return s.Fail("", "indices or values without a bufferView");
    }
    return IsIndexType(a->sparse_index_type) ||
           s.Fail("indices.componentType", "not an unsigned integer type");
  });
}

// TEXCOORD_n and the like: the set n, or -1 for another name.
int AttributeSet(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix)) return -1;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.empty() || digits.size() > 2 ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  return std::stoi(std::string(digits));
}

void SetAttribute(std::string_view name, int accessor, Primitive* p) {
  if (name == "POSITION") {
    p->position = accessor;
    return;
  }
  if (name == "NORMAL") {
    p->normal = accessor;
    return;
  }
  const std::pair<std::string_view, std::vector<int>*> sets[] = {{"TEXCOORD_", &p->texcoords},
                                                                 {"COLOR_", &p->colors},
                                                                 {"JOINTS_", &p->joints},
                                                                 {"WEIGHTS_", &p->weights}};
  for (const auto& [prefix, list] : sets) {
    const int set = AttributeSet(name, prefix);
    if (set < 0 || set >= kMaxAttributeSets) continue;
    if (list->size() <= static_cast<size_t>(set)) list->resize(set + 1, -1);
    (*list)[set] = accessor;
  }
}

bool ReadMesh(const Fields& f, const Document& doc, Mesh* mesh) {
  if (!f.Text("name", &mesh->name)) return false;
  f.Keep("extras", &mesh->extras);
  return f.Each("primitives", [&](const Fields& pf) {
    Primitive& p = mesh->primitives.emplace_back();
    const bool read =
        pf.Whole("mode", &p.mode, kTriangleFan) &&
        pf.Index("indices", &p.indices, doc.accessors.size()) &&
        pf.Index("material", &p.material, doc.materials.size()) &&
        pf.Inside("attributes",
                  [&](const Fields& a) {
                    return a.EachIndex(doc.accessors.size(), [&](std::string_view name, int i) {
                      SetAttribute(name, i, &p);
                    });
                  }) &&
        pf.Each("targets", [&](const Fields& t) {
          ++p.morph_targets;
          return t.EachIndex(doc.accessors.size(), [](std::string_view, int) {});
        });
    return read;
  });
}

bool ReadTextureRef(const Fields& f, const Document& doc, TextureRef* ref) {
  if (!f.Index("index", &ref->texture, doc.textures.size()) ||
      !f.Whole("texCoord", &ref->texcoord, kMaxAttributeSets)) {
    return false;
  }
  return f.Inside("extensions", [&](const Fields& e) {
    return e.Inside("KHR_texture_transform", [&](const Fields& t) {
      ref->transform.present = true;
      return t.Numbers("offset", &ref->transform.offset) &&
             t.Number("rotation", &ref->transform.rotation) &&
             t.Numbers("scale", &ref->transform.scale) &&
             t.Whole("texCoord", &ref->texcoord, kMaxAttributeSets);
    });
  });
}

bool ReadMaterial(const Fields& f, const Document& doc, Material* m) {
  f.Keep("extras", &m->extras);
  return f.Text("name", &m->name) && f.Numbers("emissiveFactor", &m->emissive) &&
         f.Text("alphaMode", &m->alpha_mode) &&
         f.Inside("pbrMetallicRoughness", [&](const Fields& pbr) {
           return pbr.Numbers("baseColorFactor", &m->base_color) &&
                  pbr.Number("roughnessFactor", &m->roughness) &&
                  pbr.Inside("baseColorTexture", [&](const Fields& t) {
                    return ReadTextureRef(t, doc, &m->base_color_texture);
                  });
         });
}

bool ReadNode(const Fields& f, const Document& doc, size_t node_count, Node* n) {
  f.Keep("extras", &n->extras);
  n->has_matrix = f.Has("matrix");
  return f.Text("name", &n->name) && f.Indices("children", &n->children, node_count) &&
         f.Numbers("matrix", &n->matrix) && f.Numbers("translation", &n->translation) &&
         f.Numbers("rotation", &n->rotation) && f.Numbers("scale", &n->scale) &&
         f.Index("mesh", &n->mesh, doc.meshes.size()) &&
         f.Index("camera", &n->camera, doc.cameras) && f.Whole("skin", &n->skin, INT32_MAX) &&
         f.Inside("extensions", [&](const Fields& e) {
           return e.Inside("KHR_lights_punctual", [&](const Fields& l) {
             return l.Index("light", &n->light, doc.lights);
           });
         });
}

bool ReadSkin(const Fields& f, const Document& doc, Skin* s) {
  f.Keep("extras", &s->extras);
  return f.Text("name", &s->name) && f.Indices("joints", &s->joints, doc.nodes.size()) &&
         f.Index("inverseBindMatrices", &s->inverse_bind_matrices, doc.accessors.size()) &&
         f.Index("skeleton", &s->skeleton, doc.nodes.size());
}

bool ReadAnimation(const Fields& f, const Document& doc, Animation* a) {
  f.Keep("extras", &a->extras);
  const bool samplers = f.Each("samplers", [&](const Fields& sf) {
    Sampler& s = a->samplers.emplace_back();
    s.input = s.output = -1;
    std::string interpolation = "LINEAR";
    if (!sf.Index("input", &s.input, doc.accessors.size()) ||
        !sf.Index("output", &s.output, doc.accessors.size()) ||
        !sf.Text("interpolation", &interpolation)) {
      return false;
    }
    if (s.input < 0 || s.output < 0) return sf.Fail("", "input or output missing");
    if (interpolation == "STEP") {
      s.interpolation = Interpolation::kStep;
    } else if (interpolation == "CUBICSPLINE") {
      s.interpolation = Interpolation::kCubicSpline;
    } else if (interpolation != "LINEAR") {
      return sf.Fail("interpolation", "unknown");
    }
    return true;
  });
  return samplers && f.Text("name", &a->name) && f.Each("channels", [&](const Fields& cf) {
    Channel& c = a->channels.emplace_back();
    c.sampler = -1;
    std::string path;
    if (!cf.Index("sampler", &c.sampler, a->samplers.size())) return false;
    if (c.sampler < 0) return cf.Fail("sampler", "missing");
    if (!cf.Inside("target", [&](const Fields& t) {
          return t.Index("node", &c.node, doc.nodes.size()) && t.Text("path", &path);
        })) {
      return false;
    }
    static constexpr std::pair<std::string_view, TargetPath> kPaths[] = {
        {"translation", TargetPath::kTranslation},
        {"rotation", TargetPath::kRotation},
        {"scale", TargetPath::kScale},
        {"weights", TargetPath::kWeights}};
    for (const auto& [name, value] : kPaths) {
      if (path == name) c.path = value;
    }
    return true;
  });
}

// ----- Data
// ---------------------------------------------------------------------------------------

struct BufferSource {
  std::string uri;
  size_t length = 0;
};

// Points every buffer at its bytes: the BIN chunk, a data URI or a file beside the model.
bool FetchBuffers(const std::vector<BufferSource>& sources, std::span<const uint8_t> bin,
                  bool has_bin, const std::string& directory, Document* doc, ReadError* error) {
  uint64_t external_bytes = 0;
  for (size_t i = 0; i < sources.size(); ++i) {
    const BufferSource& source = sources[i];
    const std::string where = Item("buffers", i);
    std::span<const uint8_t> data;
    if (source.uri.empty()) {
      if (i != 0 || !has_bin) {
        return Fail(error, ReadErrorKind::kBadData, where + ": no uri and no BIN chunk");
      }
      data = bin;
    } else if (source.uri.starts_with("data:")) {
      std::vector<uint8_t>& bytes = doc->owned.emplace_back();
      if (!DecodeDataUri(source.uri, &bytes)) {
        return Fail(error, ReadErrorKind::kBadData, where + ": not a base64 data URI");
      }
      data = bytes;
    } else {
      const std::string name = DecodeUri(source.uri);
      if (!StaysInFolder(name)) {
        return Fail(error, ReadErrorKind::kBadData,
                    where + ": \"" + name + "\" is not a file beside the model");
      }
      const std::string path = ResolveFileName(directory + name);
      std::error_code ec;
      const uintmax_t size = std::filesystem::file_size(path, ec);
      FileBytes file;
      if (ec || size > kMaxExternalBytes - external_bytes ||
          !ReadWholeFile(path, &file, nullptr, kMaxExternalBytes - external_bytes)) {
        return Fail(error, ReadErrorKind::kIo, where + ": cannot read \"" + name + "\"");
      }
      external_bytes += file.size();
      doc->owned.emplace_back(file.bytes().begin(), file.bytes().end());
      data = doc->owned.back();
    }
    if (data.size() < source.length) {
      return Fail(error, ReadErrorKind::kBadData,
                  where + ": byteLength " + std::to_string(source.length) + " but " +
                      std::to_string(data.size()) + " bytes of data");
    }
    doc->buffers.push_back({data.first(source.length)});
  }
  return true;
}

// True when `count` elements `stride` bytes apart, each `element` bytes, starting at `offset`,
// lie inside `size` bytes. No product can overflow.
bool Fits(size_t size, size_t offset, size_t count, size_t stride, size_t element) {
  if (count == 0) return offset <= size;
  return offset <= size && element <= size - offset &&
         count - 1 <= (size - offset - element) / std::max<size_t>(stride, 1);
}

bool CheckAccessor(const Document& doc, size_t index, Accessor* a, std::string* why) {
  const std::string where = Item("accessors", index);
  const size_t element = ComponentSize(a->component_type) * static_cast<size_t>(a->components);
  a->stride = element;
  if (a->data.view >= 0) {
    const BufferView& view = doc.views[a->data.view];
    if (view.stride != 0) {
      if (view.stride < element) {
        *why = where + ": elements of " + std::to_string(element) + " bytes in a bufferView of " +
               "stride " + std::to_string(view.stride);
        return false;
      }
      a->stride = view.stride;
    }
    if (!Fits(view.length, a->data.offset, a->count, a->stride, element)) {
      *why = where + ": " + std::to_string(a->count) + " elements reach past bufferViews[" +
             std::to_string(a->data.view) + "]";
      return false;
    }
  } else if (a->count > kMaxZeroFilledValues / static_cast<size_t>(a->components)) {
    *why = where + ": " + std::to_string(a->count) + " elements without a bufferView";
    return false;
  }
  if (a->sparse_count == 0) return true;
  const BufferView& indices = doc.views[a->sparse_indices.view];
  const BufferView& values = doc.views[a->sparse_values.view];
  const size_t index_size = ComponentSize(a->sparse_index_type);
  if (!Fits(indices.length, a->sparse_indices.offset, a->sparse_count, index_size, index_size) ||
      !Fits(values.length, a->sparse_values.offset, a->sparse_count, element, element)) {
    *why = where + ": sparse indices or values reach past their bufferView";
    return false;
  }
  return true;
}

// Every node has at most one parent and none is its own ancestor.
bool CheckHierarchy(Document* doc, std::string* why) {
  std::vector<Node>& nodes = doc->nodes;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].skin >= 0 && static_cast<size_t>(nodes[i].skin) >= doc->skins.size()) {
      *why = Item("nodes", i) + ".skin: " + std::to_string(nodes[i].skin) + " is not below " +
             std::to_string(doc->skins.size());
      return false;
    }
    for (const int child : nodes[i].children) {
      if (nodes[child].parent >= 0 || static_cast<size_t>(child) == i) {
        *why = Item("nodes", child) + ": more than one parent";
        return false;
      }
      nodes[child].parent = static_cast<int>(i);
    }
  }
  // Every node reached from a root once; nodes of a cycle have parents but no root.
  std::vector<int> stack;
  size_t reached = 0;
  for (size_t i = 0; i < nodes.size(); ++i) {
    if (nodes[i].parent < 0) stack.push_back(static_cast<int>(i));
  }
  while (!stack.empty()) {
    const int n = stack.back();
    stack.pop_back();
    ++reached;
    stack.insert(stack.end(), nodes[n].children.begin(), nodes[n].children.end());
  }
  if (reached != nodes.size()) {
    *why = "nodes: the hierarchy has a cycle";
    return false;
  }
  return true;
}

// Refuses an extension the file requires that we do not read, by name.
bool CheckRequiredExtensions(const Fields& root, ReadError* error) {
  std::vector<std::string> required;
  if (!root.Texts("extensionsRequired", &required)) return false;
  for (const std::string& name : required) {
    if (name != "KHR_texture_transform" && name != "KHR_mesh_quantization") {
      return Fail(error, ReadErrorKind::kUnsupported,
                  "the file requires the extension " + name + ", which is not supported");
    }
  }
  return true;
}

bool ReadAsset(const Fields& root, Document* doc) {
  if (!root.Has("asset")) return root.Fail("asset", "missing");
  return root.Inside("asset", [&](const Fields& a) {
    std::string version, min_version;
    a.Keep("extras", &doc->asset_extras);
    if (!a.Text("version", &version) || !a.Text("minVersion", &min_version)) return false;
    if (!version.starts_with("2.") || !(min_version.empty() || min_version == "2.0")) {
      return a.Fail("version", "glTF " + version + " (only 2.x is read)");
    }
    return true;
  });
}

bool ReadData(const Fields& root, std::span<const uint8_t> bin, bool has_bin,
              const std::string& directory, Document* doc, ReadError* error) {
  std::vector<BufferSource> sources;
  if (!root.Each("buffers", [&](const Fields& f) {
        BufferSource& s = sources.emplace_back();
        return f.Text("uri", &s.uri) && f.Whole("byteLength", &s.length) &&
               (f.Has("byteLength") || f.Fail("byteLength", "missing"));
      })) {
    return false;
  }
  if (!FetchBuffers(sources, bin, has_bin, directory, doc, error)) return false;
  return root.Each("bufferViews", [&](const Fields& f) {
    BufferView& v = doc->views.emplace_back();
    v.buffer = -1;
    if (!f.Index("buffer", &v.buffer, doc->buffers.size()) || !f.Whole("byteOffset", &v.offset) ||
        !f.Whole("byteLength", &v.length) || !f.Whole("byteStride", &v.stride)) {
      return false;
    }
    if (v.buffer < 0) return f.Fail("buffer", "missing");
    // Some writers spell out a stride of 0 for packed elements.
    if (v.stride != 0 && (v.stride < 4 || v.stride > 252)) {
      return f.Fail("byteStride", "not from 4 to 252");
    }
    return Fits(doc->buffers[v.buffer].data.size(), v.offset, 1, 0, v.length) ||
           f.Fail("", "reaches past buffers[" + std::to_string(v.buffer) + "]");
  });
}

bool ReadAccessors(const Fields& root, Document* doc, std::string* why) {
  return root.Each("accessors", [&](const Fields& f) {
    Accessor& a = doc->accessors.emplace_back();
    return ReadAccessor(f, doc->views.size(), &a) &&
           CheckAccessor(*doc, doc->accessors.size() - 1, &a, why);
  });
}

bool ReadImages(const Fields& root, Document* doc) {
  return root.Each("images", [&](const Fields& f) {
    Image& image = doc->images.emplace_back();
    if (!f.Text("uri", &image.uri) || !f.Text("mimeType", &image.mime_type) ||
        !f.Index("bufferView", &image.view, doc->views.size())) {
      return false;
    }
    if (image.view >= 0) {
      const BufferView& view = doc->views[image.view];
      image.bytes = doc->buffers[view.buffer].data.subspan(view.offset, view.length);
    } else if (image.uri.starts_with("data:")) {
      std::vector<uint8_t>& bytes = doc->owned.emplace_back();
      if (!DecodeDataUri(image.uri, &bytes)) return f.Fail("uri", "not a base64 data URI");
      image.bytes = bytes;
      image.uri.clear();
    } else {
      image.uri = DecodeUri(image.uri);
    }
    return true;
  });
}

bool ReadObjects(const Fields& root, Document* doc, std::string* why) {
  size_t node_count = 0;
  const bool read =
      ReadImages(root, doc) &&
      root.Each("textures",
                [&](const Fields& f) {
                  Texture& t = doc->textures.emplace_back();
                  return f.Index("source", &t.source, doc->images.size());
                }) &&
      root.Each(
          "materials",
          [&](const Fields& f) { return ReadMaterial(f, *doc, &doc->materials.emplace_back()); }) &&
      root.Each("meshes",
                [&](const Fields& f) { return ReadMesh(f, *doc, &doc->meshes.emplace_back()); }) &&
      root.Count("cameras", &doc->cameras) && root.Count("nodes", &node_count) &&
      root.Inside("extensions",
                  [&](const Fields& e) {
                    return e.Inside("KHR_lights_punctual", [&](const Fields& l) {
                      return l.Count("lights", &doc->lights);
                    });
                  }) &&
      root.Each("nodes",
                [&](const Fields& f) {
                  return ReadNode(f, *doc, node_count, &doc->nodes.emplace_back());
                }) &&
      root.Each("skins",
                [&](const Fields& f) { return ReadSkin(f, *doc, &doc->skins.emplace_back()); }) &&
      CheckHierarchy(doc, why) &&
      root.Each("animations",
                [&](const Fields& f) {
                  return ReadAnimation(f, *doc, &doc->animations.emplace_back());
                }) &&
      root.Each("scenes",
                [&](const Fields& f) {
                  Scene& scene = doc->scenes.emplace_back();
                  f.Keep("extras", &scene.extras);
                  return f.Text("name", &scene.name) &&
                         f.Indices("nodes", &scene.nodes, doc->nodes.size());
                }) &&
      root.Index("scene", &doc->scene, doc->scenes.size()) &&
      root.Texts("extensionsUsed", &doc->extensions_used);
  root.Keep("extras", &doc->extras);
  return read;
}

}  // namespace

bool ReadGltfDocument(std::span<const uint8_t> bytes, const std::string& directory, Document* doc,
                      ReadError* error) {
  *doc = Document{};
  std::span<const uint8_t> json = bytes, bin;
  bool has_bin = false;
  const bool binary = bytes.size() >= 4 && LoadU32(bytes.data()) == kGlbMagic;
  if (binary && !SplitGlb(bytes, &json, &bin, &has_bin, error)) return false;
  // Some writers start the text with a byte order mark, which JSON parsers refuse.
  if (json.size() >= 3 && json[0] == 0xEF && json[1] == 0xBB && json[2] == 0xBF) {
    json = json.subspan(3);
  }
  try {
    simdjson::dom::parser parser;
    if (parser.allocate(json.size(), kMaxNesting) != simdjson::SUCCESS) {
      return Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
    }
    element top;
    const simdjson::error_code parsed = parser.parse(json.data(), json.size()).get(top);
    if (parsed == simdjson::DEPTH_ERROR) {
      return Fail(error, ReadErrorKind::kLimit,
                  "JSON nested deeper than " + std::to_string(kMaxNesting) + " levels");
    }
    object root_object;
    if (parsed != simdjson::SUCCESS || top.get(root_object) != simdjson::SUCCESS) {
      return Fail(
          error, ReadErrorKind::kNotThisFormat,
          std::string("not glTF JSON: ") +
              (parsed != simdjson::SUCCESS ? simdjson::error_message(parsed) : "not an object"));
    }
    std::string why;
    const Fields root(root_object, "", &why);
    if (!CheckRequiredExtensions(root, error)) return false;
    ReadError data_error;
    if (ReadAsset(root, doc) && ReadData(root, bin, has_bin, directory, doc, &data_error) &&
        ReadAccessors(root, doc, &why) && ReadObjects(root, doc, &why)) {
      return true;
    }
    if (!data_error.ok()) {
      if (error != nullptr) *error = data_error;
      return false;
    }
    return Fail(error, ReadErrorKind::kBadData, why);
  } catch (const std::bad_alloc&) {
    return Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
}

std::vector<std::string> FileNamesOf(std::string_view json) {
  std::vector<std::string> names;
  try {
    simdjson::dom::parser parser;
    element top;
    if (parser.allocate(json.size(), kMaxNesting) != simdjson::SUCCESS ||
        parser.parse(json.data(), json.size()).get(top) != simdjson::SUCCESS) {
      return names;
    }
    for (const char* list : {"buffers", "images"}) {
      simdjson::dom::array items;
      if (top[list].get(items) != simdjson::SUCCESS) continue;
      for (element item : items) {
        std::string_view uri;
        if (item["uri"].get(uri) == simdjson::SUCCESS && !uri.starts_with("data:")) {
          names.push_back(DecodeUri(uri));
        }
      }
    }
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  return names;
}

namespace {

// One component at `p`, as a float: normalised integers mapped as the format defines them.
template <int kType>
float Component(const uint8_t* p, bool normalized) {
  if constexpr (kType == kFloat) {
    return LoadF32(p);
  } else if constexpr (kType == kUnsignedByte) {
    return normalized ? static_cast<float>(*p / 255.0) : *p;
  } else if constexpr (kType == kByte) {
    const auto v = static_cast<int8_t>(*p);
    return normalized ? static_cast<float>(std::max(v / 127.0, -1.0)) : v;
  } else if constexpr (kType == kUnsignedShort) {
    const uint16_t v = LoadU16(p);
    return normalized ? static_cast<float>(v / 65535.0) : v;
  } else if constexpr (kType == kShort) {
    const auto v = static_cast<int16_t>(LoadU16(p));
    return normalized ? static_cast<float>(std::max(v / 32767.0, -1.0)) : v;
  } else {
    const uint32_t v = LoadU32(p);
    return static_cast<float>(normalized ? v / 4294967295.0 : v);
  }
}

// `count` elements of `components` values from `data`, `stride` bytes apart, into `out`.
template <int kType, typename T>
void DecodeElements(const uint8_t* data, size_t count, size_t stride, int components,
                    bool normalized, T* out) {
  constexpr size_t kSize = kType == kByte || kType == kUnsignedByte     ? 1
                           : kType == kShort || kType == kUnsignedShort ? 2
                                                                        : 4;
  for (size_t i = 0; i < count; ++i, data += stride) {
    for (int c = 0; c < components; ++c) {
      const uint8_t* p = data + static_cast<size_t>(c) * kSize;
      if constexpr (std::is_same_v<T, float>) {
        *out++ = Component<kType>(p, normalized);
      } else {
        *out++ = kSize == 1 ? *p : kSize == 2 ? LoadU16(p) : LoadU32(p);
      }
    }
  }
}

template <typename T>
void Decode(int type, const uint8_t* data, size_t count, size_t stride, int components,
            bool normalized, T* out) {
  switch (type) {
    case kByte:
      return DecodeElements<kByte>(data, count, stride, components, normalized, out);
    case kUnsignedByte:
      return DecodeElements<kUnsignedByte>(data, count, stride, components, normalized, out);
    case kShort:
      return DecodeElements<kShort>(data, count, stride, components, normalized, out);
    case kUnsignedShort:
      return DecodeElements<kUnsignedShort>(data, count, stride, components, normalized, out);
    case kUnsignedInt:
      return DecodeElements<kUnsignedInt>(data, count, stride, components, normalized, out);
    default:
      return DecodeElements<kFloat>(data, count, stride, components, normalized, out);
  }
}

const uint8_t* RangeStart(const Document& doc, const DataRange& range) {
  const BufferView& view = doc.views[range.view];
  return doc.buffers[view.buffer].data.data() + view.offset + range.offset;
}

// Every value of accessor `index` (checked by ReadGltfDocument) into `out`.
template <typename T>
bool DecodeAccessor(const Document& doc, int index, std::vector<T>* out, std::string* why) {
  const Accessor& a = doc.accessors[index];
  const auto components = static_cast<size_t>(a.components);
  out->assign(a.count * components, T{});
  if (a.data.view >= 0) {
    Decode(a.component_type, RangeStart(doc, a.data), a.count, a.stride, a.components, a.normalized,
           out->data());
  }
  if (a.sparse_count == 0) return true;
  std::vector<uint32_t> targets(a.sparse_count);
  Decode(a.sparse_index_type, RangeStart(doc, a.sparse_indices), a.sparse_count,
         ComponentSize(a.sparse_index_type), 1, false, targets.data());
  std::vector<T> values(a.sparse_count * components);
  const size_t element = ComponentSize(a.component_type) * components;
  Decode(a.component_type, RangeStart(doc, a.sparse_values), a.sparse_count, element, a.components,
         a.normalized, values.data());
  for (size_t k = 0; k < a.sparse_count; ++k) {
    if (targets[k] >= a.count) {
      *why = Item("accessors", index) + ": sparse index " + std::to_string(targets[k]) +
             " past its " + std::to_string(a.count) + " elements";
      return false;
    }
    std::copy_n(values.begin() + k * components, components,
                out->begin() + targets[k] * components);
  }
  return true;
}

}  // namespace

bool AccessorFloats(const Document& doc, int index, std::vector<float>* out, std::string* why) {
  if (!DecodeAccessor(doc, index, out, why)) return false;
  // The format forbids them, and no model of ours can hold them.
  if (!std::all_of(out->begin(), out->end(), [](float v) { return std::isfinite(v); })) {
    *why = Item("accessors", index) + ": a value that is not a finite number";
    return false;
  }
  return true;
}

bool AccessorIndices(const Document& doc, int index, std::vector<uint32_t>* out, std::string* why) {
  const Accessor& a = doc.accessors[index];
  if (!IsIndexType(a.component_type) || a.normalized) {
    *why = Item("accessors", index) + ": not unsigned integers";
    return false;
  }
  return DecodeAccessor(doc, index, out, why);
}

}  // namespace vorna::gltf
