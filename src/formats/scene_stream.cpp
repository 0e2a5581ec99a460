#include "formats/scene_stream.h"

#include <array>
#include <cstddef>
#include <new>
#include <string_view>
#include <tuple>
#include <utility>

#include "io/little_endian.h"

namespace vorna {

namespace {

constexpr char kMagic[] = "VRNSCENE";
constexpr std::uint32_t kVersion = 1;
constexpr char kEnd[] = "DONE";
constexpr std::uint8_t kHasNormals = 1;
constexpr std::uint8_t kHasUvs = 2;

// ----- Writing --------------------------------------------------------------------------------

void WriteColor(ByteWriter& w, const Color& c) {
  w.F32(c.r);
  w.F32(c.g);
  w.F32(c.b);
  w.F32(c.a);
}

// Influences go as their two 32-bit fields, one after the other, as they lie in memory.
static_assert(sizeof(SceneInfluence) == 8 && offsetof(SceneInfluence, weight) == 4);

// Vectors of arrays of floats, whole.
template <typename T>
void WriteFloats(ByteWriter& w, const std::vector<T>& values) {
  static_assert(sizeof(T) == 4 * std::tuple_size_v<T>);
  w.Words32(values.data(), values.size() * std::tuple_size_v<T>);
}

void WriteNode(ByteWriter& w, const SceneNode& node) {
  w.String(node.name);
  w.I32(node.parent);
  for (const double t : node.rest.translation) w.F64(t);
  for (const double r : node.rest.rotation) w.F64(r);
  for (const double s : node.rest.scale) w.F64(s);
  w.U8(node.unit ? 1 : 0);
  if (!node.unit) return;
  w.U32(node.unit->basis_type);
  for (const int32_t a : node.unit->axis_angle) w.I32(a);
  for (const int32_t b : node.unit->blend_param) w.I32(b);
}

void WriteImage(ByteWriter& w, const SceneImage& image) {
  const bool raw = image.encoded.empty();
  w.U8(raw ? 1 : 0);
  const std::vector<std::uint8_t>& bytes = raw ? image.rgba : image.encoded;
  if (raw) {
    w.U32(image.width);
    w.U32(image.height);
  } else {
    w.U32(static_cast<std::uint32_t>(bytes.size()));
  }
  w.Bytes({reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

void WriteMesh(ByteWriter& w, const SceneMesh& mesh) {
  w.String(mesh.name);
  w.I32(mesh.material);
  w.I32(mesh.node);
  w.I32(mesh.owner_node);
  w.U32(static_cast<std::uint32_t>(mesh.positions.size()));
  w.U8(static_cast<std::uint8_t>((mesh.normals.empty() ? 0 : kHasNormals) |
                                 (mesh.uvs.empty() ? 0 : kHasUvs)));
  WriteFloats(w, mesh.positions);
  WriteFloats(w, mesh.normals);
  WriteFloats(w, mesh.uvs);
  w.U32(static_cast<std::uint32_t>(mesh.triangles.size() / 3));
  w.Words32(mesh.triangles.data(), mesh.triangles.size());
  w.U32(static_cast<std::uint32_t>(mesh.bones.size()));
  for (const SceneBone& bone : mesh.bones) {
    w.I32(bone.node);
    for (const double m : bone.inverse_bind) w.F64(m);
  }
  if (mesh.bones.empty()) return;
  w.U32(static_cast<std::uint32_t>(mesh.influences.size()));
  w.Words32(mesh.influence_start.data(), mesh.influence_start.size());
  w.Words32(mesh.influences.data(), mesh.influences.size() * 2);
}

void WriteAnimation(ByteWriter& w, const SceneAnimation& animation) {
  w.String(animation.name);
  w.U8(!animation.loop ? 0 : *animation.loop ? 2 : 1);
  w.U8(animation.motions_only ? 1 : 0);
  w.U32(static_cast<std::uint32_t>(animation.key_motions.size()));
  w.Words32(animation.key_motions.data(), animation.key_motions.size());
  w.U32(static_cast<std::uint32_t>(animation.channels.size()));
  for (const SceneChannel& channel : animation.channels) {
    w.I32(channel.node);
    w.U8(static_cast<std::uint8_t>(channel.path));
    w.U8(static_cast<std::uint8_t>(channel.interpolation));
    w.U32(static_cast<std::uint32_t>(channel.times.size()));
    w.Words32(channel.times.data(), channel.times.size());
    w.U32(static_cast<std::uint32_t>(channel.values.size()));
    w.Words32(channel.values.data(), channel.values.size());
  }
}

// ----- Reading --------------------------------------------------------------------------------

class StreamReader {
 public:
  explicit StreamReader(std::span<const std::uint8_t> bytes)
      : in_({reinterpret_cast<const char*>(bytes.data()), bytes.size()}) {}

  bool Read(StreamedScene* out);
  const std::string& why() const { return why_; }
  std::size_t where() const { return where_; }
  ReadErrorKind kind() const { return kind_; }

 private:
  bool Fail(const char* why, ReadErrorKind kind = ReadErrorKind::kBadData) {
    if (why_.empty()) {
      why_ = why;
      where_ = in_.position();
      kind_ = kind;
    }
    return false;
  }
  bool Truncated() { return Fail("the stream ends inside a record", ReadErrorKind::kTruncated); }

  bool U8(std::uint8_t* v) { return in_.U8(v) || Truncated(); }
  bool U32(std::uint32_t* v) { return in_.U32(v) || Truncated(); }
  bool I32(std::int32_t* v) { return in_.I32(v) || Truncated(); }
  bool F32(float* v) { return in_.F32(v) || Truncated(); }
  bool F64(double* v) { return in_.F64(v) || Truncated(); }
  // A u8 that may only be 0 .. `last`.
  bool Small(std::uint8_t last, std::uint8_t* v) {
    return U8(v) && (*v <= last || Fail("a flag or kind outside its values"));
  }
  // A count of records of at least `least_bytes` each, which the bytes left must be able to hold.
  bool Count(std::size_t least_bytes, std::uint32_t* count) {
    if (!U32(count)) return false;
    return *count <= in_.remaining() / least_bytes || Fail("a count larger than the stream");
  }
  bool String(std::string* text);
  bool Color(vorna::Color* c) { return F32(&c->r) && F32(&c->g) && F32(&c->b) && F32(&c->a); }
  template <typename T>
  bool Floats(std::size_t count, std::vector<T>* values);
  bool Node(SceneNode* node);
  bool Image(SceneImage* image);
  bool Material(SceneMaterial* material, std::int32_t* image);
  bool Mesh(SceneMesh* mesh);
  bool Skin(SceneMesh* mesh);
  bool Animation(SceneAnimation* animation);
  bool Channel(SceneChannel* channel);

  ByteReader in_;
  std::string why_;
  std::size_t where_ = 0;
  ReadErrorKind kind_ = ReadErrorKind::kNone;
};

bool StreamReader::String(std::string* text) {
  std::uint32_t length;
  std::string_view bytes;
  if (!U32(&length)) return false;
  if (length == 0) return Fail("a string without its terminator");
  if (!in_.Bytes(length, &bytes)) return Truncated();
  if (bytes.back() != '\0') return Fail("a string without its terminator");
  text->assign(bytes.data(), bytes.size() - 1);
  return true;
}

template <typename T>
bool StreamReader::Floats(std::size_t count, std::vector<T>* values) {
  constexpr std::size_t kWidth = std::tuple_size_v<T>;
  if (count > in_.remaining() / (kWidth * 4)) return Truncated();
  values->resize(count);
  return in_.Words32(values->data(), count * kWidth) || Truncated();
}

bool StreamReader::Node(SceneNode* node) {
  std::uint8_t unit;
  if (!String(&node->name) || !I32(&node->parent)) return false;
  for (double& t : node->rest.translation) {
    if (!F64(&t)) return false;
  }
  for (double& r : node->rest.rotation) {
    if (!F64(&r)) return false;
  }
  for (double& s : node->rest.scale) {
    if (!F64(&s)) return false;
  }
  if (!Small(1, &unit)) return false;
  if (unit == 0) return true;
  UnitSettings& settings = node->unit.emplace();
  if (!U32(&settings.basis_type)) return false;
  for (int32_t& a : settings.axis_angle) {
    if (!I32(&a)) return false;
  }
  for (int32_t& b : settings.blend_param) {
    if (!I32(&b)) return false;
  }
  return true;
}

bool StreamReader::Image(SceneImage* image) {
  std::uint8_t kind;
  std::string_view bytes;
  if (!Small(1, &kind)) return false;
  if (kind == 0) {
    std::uint32_t length;
    if (!U32(&length)) return false;
    if (!in_.Bytes(length, &bytes)) return Truncated();
    image->encoded.assign(bytes.begin(), bytes.end());
    return true;
  }
  if (!U32(&image->width) || !U32(&image->height)) return false;
  const std::uint64_t size = std::uint64_t{image->width} * image->height * 4;
  if (size > in_.remaining()) return Truncated();
  in_.Bytes(static_cast<std::size_t>(size), &bytes);
  image->rgba.assign(bytes.begin(), bytes.end());
  return true;
}

bool StreamReader::Material(SceneMaterial* material, std::int32_t* image) {
  vorna::Material& m = material->look.material;
  if (!String(&material->name) || !Color(&m.diffuse) || !Color(&m.specular) ||
      !Color(&m.emissive) || !F32(&m.power) || !String(&material->look.texture_file)) {
    return false;
  }
  m.ambient = m.diffuse;
  return I32(image);
}

bool StreamReader::Mesh(SceneMesh* mesh) {
  std::uint32_t vertices, triangles, bones;
  std::uint8_t has;
  if (!String(&mesh->name) || !I32(&mesh->material) || !I32(&mesh->node) ||
      !I32(&mesh->owner_node) || !U32(&vertices) || !Small(kHasNormals | kHasUvs, &has) ||
      !Floats(vertices, &mesh->positions) ||
      ((has & kHasNormals) != 0 && !Floats(vertices, &mesh->normals)) ||
      ((has & kHasUvs) != 0 && !Floats(vertices, &mesh->uvs)) || !Count(12, &triangles)) {
    return false;
  }
  mesh->triangles.resize(std::size_t{triangles} * 3);
  if (!in_.Words32(mesh->triangles.data(), mesh->triangles.size())) return Truncated();
  if (!Count(4 + 16 * 8, &bones)) return false;
  mesh->bones.resize(bones);
  for (SceneBone& bone : mesh->bones) {
    I32(&bone.node);
    for (double& m : bone.inverse_bind) F64(&m);
  }
  return bones == 0 || Skin(mesh);
}

bool StreamReader::Skin(SceneMesh* mesh) {
  std::uint32_t influences;
  const std::size_t starts = mesh->positions.size() + 1;
  if (!U32(&influences)) return false;
  if (starts > in_.remaining() / 4 || influences > (in_.remaining() - starts * 4) / 8) {
    return Fail("a count larger than the stream");
  }
  mesh->influence_start.resize(starts);
  mesh->influences.resize(influences);
  return (in_.Words32(mesh->influence_start.data(), starts) &&
          in_.Words32(mesh->influences.data(), std::size_t{influences} * 2)) ||
         Truncated();
}

bool StreamReader::Channel(SceneChannel* channel) {
  std::uint8_t path, interpolation;
  std::uint32_t times, values;
  if (!I32(&channel->node) || !Small(2, &path) || !Small(2, &interpolation) || !Count(4, &times)) {
    return false;
  }
  channel->path = static_cast<ChannelPath>(path);
  channel->interpolation = static_cast<Interpolation>(interpolation);
  channel->times.resize(times);
  if (!in_.Words32(channel->times.data(), times)) return Truncated();
  if (!Count(4, &values)) return false;
  channel->values.resize(values);
  return in_.Words32(channel->values.data(), values) || Truncated();
}

bool StreamReader::Animation(SceneAnimation* animation) {
  std::uint8_t loop, motions_only;
  std::uint32_t keys, channels;
  if (!String(&animation->name) || !Small(2, &loop) || !Small(1, &motions_only) ||
      !Count(4, &keys)) {
    return false;
  }
  if (loop != 0) animation->loop = loop == 2;
  animation->motions_only = motions_only != 0;
  animation->key_motions.resize(keys);
  if (!in_.Words32(animation->key_motions.data(), keys)) return Truncated();
  if (!Count(4 + 2 + 4 + 4, &channels)) return false;
  animation->channels.resize(channels);
  for (SceneChannel& channel : animation->channels) {
    if (!Channel(&channel)) return false;
  }
  return true;
}

bool StreamReader::Read(StreamedScene* out) {
  std::string_view magic;
  std::uint32_t version, count;
  if (!in_.Bytes(8, &magic) || magic != std::string_view(kMagic, 8)) {
    why_ = "not a scene stream";
    kind_ = ReadErrorKind::kBadData;
    return false;
  }
  if (!U32(&version)) return false;
  if (version != kVersion) return Fail("a scene stream of another version");
  SceneDescription& scene = out->scene;
  // The least bytes of each record: a string is at least its length and terminator.
  if (!Count(5 + 4 + 80 + 1, &count)) return false;
  scene.nodes.resize(count);
  for (SceneNode& node : scene.nodes) {
    if (!Node(&node)) return false;
  }
  if (!Count(1 + 4, &count)) return false;
  out->images.resize(count);
  for (SceneImage& image : out->images) {
    if (!Image(&image)) return false;
  }
  if (!Count(5 + 52 + 5 + 4, &count)) return false;
  scene.materials.resize(count);
  out->material_image.resize(count);
  for (std::size_t m = 0; m < count; ++m) {
    if (!Material(&scene.materials[m], &out->material_image[m])) return false;
  }
  if (!Count(5 + 12 + 4 + 1 + 4 + 4, &count)) return false;
  scene.meshes.resize(count);
  for (SceneMesh& mesh : scene.meshes) {
    if (!Mesh(&mesh)) return false;
  }
  if (!Count(5 + 2 + 4 + 4, &count)) return false;
  scene.animations.resize(count);
  for (SceneAnimation& animation : scene.animations) {
    if (!Animation(&animation)) return false;
  }
  SceneLeftOut& left = scene.left_out;
  std::string_view end;
  if (!U32(&left.morph_targets) || !U32(&left.texture_coordinate_sets) ||
      !U32(&left.vertex_colours) || !U32(&left.cameras) || !U32(&left.lights) ||
      !U32(&left.missing_joints)) {
    return false;
  }
  if (!in_.Bytes(4, &end)) return Truncated();
  if (end != std::string_view(kEnd, 4)) return Fail("the stream does not end where it should");
  return in_.remaining() == 0 || Fail("bytes after the end of the stream");
}

}  // namespace

std::string WriteSceneStream(const StreamedScene& streamed) {
  std::string bytes;
  ByteWriter w(bytes);
  const SceneDescription& scene = streamed.scene;
  w.Bytes({kMagic, 8});
  w.U32(kVersion);
  w.U32(static_cast<std::uint32_t>(scene.nodes.size()));
  for (const SceneNode& node : scene.nodes) WriteNode(w, node);
  w.U32(static_cast<std::uint32_t>(streamed.images.size()));
  for (const SceneImage& image : streamed.images) WriteImage(w, image);
  w.U32(static_cast<std::uint32_t>(scene.materials.size()));
  for (std::size_t m = 0; m < scene.materials.size(); ++m) {
    const SceneMaterial& material = scene.materials[m];
    w.String(material.name);
    WriteColor(w, material.look.material.diffuse);
    WriteColor(w, material.look.material.specular);
    WriteColor(w, material.look.material.emissive);
    w.F32(material.look.material.power);
    w.String(material.look.texture_file);
    w.I32(m < streamed.material_image.size() ? streamed.material_image[m] : -1);
  }
  w.U32(static_cast<std::uint32_t>(scene.meshes.size()));
  for (const SceneMesh& mesh : scene.meshes) WriteMesh(w, mesh);
  w.U32(static_cast<std::uint32_t>(scene.animations.size()));
  for (const SceneAnimation& animation : scene.animations) WriteAnimation(w, animation);
  const SceneLeftOut& left = scene.left_out;
  for (const std::uint32_t n :
       {left.morph_targets, left.texture_coordinate_sets, left.vertex_colours, left.cameras,
        left.lights, left.missing_joints}) {
    w.U32(n);
  }
  w.Bytes({kEnd, 4});
  return bytes;
}

bool ReadSceneStream(std::span<const std::uint8_t> bytes, StreamedScene* out, ReadError* error) {
  *out = StreamedScene{};
  StreamReader reader(bytes);
  bool ok = false;
  try {
    ok = reader.Read(out);
  } catch (const std::bad_alloc&) {
    *out = StreamedScene{};
    return vorna::Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
  if (ok) return true;
  *out = StreamedScene{};
  return vorna::Fail(error, reader.kind(), reader.why(), reader.where());
}

}  // namespace vorna
