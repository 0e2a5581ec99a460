#include "formats/vrn_binary.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <new>
#include <vector>

#include "formats/format_common.h"
#include "formats/vr2_corners.h"
#include "io/atomic_file.h"
#include "io/little_endian.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

constexpr std::string_view kVrnMagic{"VRN\0", 4};
constexpr std::string_view kVr2Magic{"VR2\0", 4};
// Longer keys are cut to this many bytes, and the rest of the record is read from there on, as
// files have always been read.
constexpr uint32_t kMaxKeyLength = 256;

// The records in the order they are written; the reader looks keys up in the same table.
enum Key : int {
  kVersion,
  kPartsCount,
  kMotionCount,
  kUnitCount,
  kTotalVertexCount,
  kTotalFaceCount,
  kTotalCorner,
  kTotalCenter,
  kTextureAll,
  kPartsName,
  kCorner,
  kCenter,
  kMaterial,
  kTextureFile,
  kTextureMapFlag,
  kTextureMapParam,
  kVertexCount,
  kFaceCount,
  kVertices,
  kNormals,
  kTextureMap,
  kFaces,
  kUnitBasis,
  kParent,
  kUnitAngle,
  kUnitTranslation,
  kUnitScale,
  kBlend,
  kBlendParam,
  kAnimCount,
  kAnimData,
  kKeyCount,
};

constexpr std::array<std::string_view, kKeyCount> kKeys = {
    "version",
    "parts_count",
    "motion_count",
    "unit_count",
    "total_vertex_count",
    "total_face_count",
    "total_corner",
    "total_center",
    "texture_all",
    "parts_name",
    "corner",
    "center",
    "material",
    "texture_file",
    "texture_map_flag",
    "texture_map_param",
    "vertex_count",
    "face_count",
    "vertices",
    "normals",
    "texture_map",
    "faces",
    "unit_basis",
    "parent",
    "unit_angle",
    "unit_translation",
    "unit_scale",
    "blend",
    "blend_param",
    "anim_count",
    "anim_data",
};

// ---------------------------------------------------------------------------------------------
// Writing

class RecordWriter {
 public:
  explicit RecordWriter(std::string& out) : w_(out) {}
  ByteWriter& w() { return w_; }

  // Writes the key and a data size to be filled in by End.
  void Begin(Key key) {
    w_.String(kKeys[key]);
    size_offset_ = w_.size();
    w_.U32(0);
  }
  void End() { w_.PatchU32(size_offset_, static_cast<uint32_t>(w_.size() - size_offset_ - 4)); }
  void Count(Key key, uint32_t value) {
    Begin(key);
    w_.U32(value);
    End();
  }
  void Vector(Vec3 v) {
    w_.F32(v.x);
    w_.F32(v.y);
    w_.F32(v.z);
  }
  void Colour(const Color& c) {
    w_.F32(c.r);
    w_.F32(c.g);
    w_.F32(c.b);
    w_.F32(c.a);
  }

 private:
  ByteWriter w_;
  size_t size_offset_ = 0;
};

struct WriteContext {
  const Model& model;
  const SaveOptions& options;
  BinaryVariant variant;
  std::vector<int> parts;  // memory Part of each file Part (draw order)
  std::vector<int> units;  // memory Unit of each file Unit (breadth-first order)
  std::vector<CornerCoordinates> corners;
};

template <typename Fn>
void PerPart(RecordWriter& r, const WriteContext& c, Key key, Fn write) {
  r.Begin(key);
  for (int p : c.parts) write(c.model.parts[p], p);
  r.End();
}

template <typename Fn>
void PerVertex(RecordWriter& r, const WriteContext& c, Key key, Fn write) {
  r.Begin(key);
  for (int p : c.parts) {
    for (uint32_t v = c.model.parts[p].first_vertex; v < c.model.parts[p + 1].first_vertex; ++v) {
      write(v);
    }
  }
  r.End();
}

template <typename Fn>
void PerFace(RecordWriter& r, const WriteContext& c, Key key, Fn write) {
  r.Begin(key);
  for (int p : c.parts) {
    for (uint32_t f = c.model.parts[p].first_face; f < c.model.parts[p + 1].first_face; ++f) {
      write(f);
    }
  }
  r.End();
}

template <typename Fn>
void PerMotionAndUnit(RecordWriter& r, const WriteContext& c, Key key, Fn write) {
  r.Begin(key);
  assert(c.model.motion_count >= 0 && c.model.motion_count <= kMaxMotions);
  const int motion_count = c.model.motion_count;
  for (int m = 0; m < motion_count; ++m) {
    for (int u : c.units) write(c.model.motions[m], u);
  }
  r.End();
}

void WriteModelRecords(RecordWriter& r, const WriteContext& c) {
  const Model& model = c.model;
  ByteWriter& w = r.w();
  r.Begin(kVersion);
  w.String(kVersionWritten);
  r.End();
  r.Count(kPartsCount, static_cast<uint32_t>(model.parts_count));
  r.Count(kMotionCount, static_cast<uint32_t>(model.motion_count));
  r.Count(kUnitCount, static_cast<uint32_t>(c.units.size()));
  r.Count(kTotalVertexCount, static_cast<uint32_t>(model.total_vertex_count));
  r.Count(kTotalFaceCount, static_cast<uint32_t>(model.total_face_count));
  r.Begin(kTotalCorner);
  r.Vector(model.total_corner_min);
  r.Vector(model.total_corner_max);
  r.End();
  r.Begin(kTotalCenter);
  r.Vector(model.total_center);
  r.End();
  r.Begin(kTextureAll);
  w.U8(model.texture_all);
  w.U8(0);
  w.U8(0);
  w.U8(0);
  r.End();

  PerPart(r, c, kPartsName, [&](const Part&, int p) { w.String(model.node_name[p]); });
  PerPart(r, c, kCorner, [&](const Part& part, int) {
    r.Vector(part.corner_min);
    r.Vector(part.corner_max);
  });
  PerPart(r, c, kCenter, [&](const Part& part, int) { r.Vector(part.center); });
  PerPart(r, c, kMaterial, [&](const Part& part, int) {
    r.Colour(part.material.diffuse);
    r.Colour(part.material.ambient);
    r.Colour(part.material.specular);
    r.Colour(part.material.emissive);
    w.F32(part.material.power);
  });
  PerPart(r, c, kTextureFile, [&](const Part& part, int) { w.String(part.texture_file); });
  PerPart(r, c, kTextureMapFlag, [&](const Part& part, int) { w.U32(part.texture_map_flag); });
  PerPart(r, c, kTextureMapParam, [&](const Part& part, int) {
    w.I32(part.texture_map_type);
    for (float value : part.texture_map_param) w.F32(value);
  });
  PerPart(r, c, kVertexCount, [&](const Part&, int p) { w.U32(model.PartVertexCount(p)); });
  PerPart(r, c, kFaceCount, [&](const Part&, int p) { w.U32(model.PartFaceCount(p)); });
  PerVertex(r, c, kVertices, [&](uint32_t v) { r.Vector(model.positions[v]); });
  PerVertex(r, c, kNormals, [&](uint32_t v) { r.Vector(model.normals[v]); });
  if (c.variant == BinaryVariant::kVrn) {
    PerVertex(r, c, kTextureMap, [&](uint32_t v) {
      w.F32(model.tex_u[v]);
      w.F32(model.tex_v[v]);
    });
  } else {
    PerFace(r, c, kTextureMap, [&](uint32_t f) {
      for (float u : c.corners[f].u) w.F32(u);
      for (float v : c.corners[f].v) w.F32(v);
    });
  }
  PerFace(r, c, kFaces, [&](uint32_t f) {
    for (uint32_t index : model.faces[f].corner) w.U32(index);
  });
}

void WriteUnitRecords(RecordWriter& r, const WriteContext& c) {
  const Model& model = c.model;
  const SaveOptions& options = c.options;
  ByteWriter& w = r.w();
  r.Begin(kUnitBasis);
  for (int u : c.units) {
    const Unit& unit = model.units[u];
    w.U32(unit.basis_type);
    r.Vector(unit.basis_position);
    if (unit.basis_type == 1) {
      for (int32_t a : unit.axis_angle) w.I32(a);
    }
    w.String(model.node_name[model.parts_count + u]);
  }
  r.End();

  r.Begin(kParent);
  for (int p : c.parts) w.I32(ParentRemap(model, p));
  for (int u : c.units) w.I32(ParentRemap(model, model.parts_count + u));
  r.End();

  // Unlike the text format, only an XYZ Unit carries three angles: a free slot (type 0) keeps
  // just its first one.
  PerMotionAndUnit(r, c, kUnitAngle, [&](const Motion& motion, int u) {
    w.I32(motion.angle[0][u]);
    if (model.units[u].basis_type == 2) {
      w.I32(motion.angle[1][u]);
      w.I32(motion.angle[2][u]);
    }
  });
  if (options.translation) {
    PerMotionAndUnit(r, c, kUnitTranslation,
                     [&](const Motion& motion, int u) { r.Vector(motion.translation[u]); });
  }
  if (options.scale) {
    PerMotionAndUnit(r, c, kUnitScale,
                     [&](const Motion& motion, int u) { r.Vector(motion.scale[u]); });
  }
  if (options.skin) {
    PerVertex(r, c, kBlend, [&](uint32_t v) { w.F32(model.blend[v]); });
    r.Begin(kBlendParam);
    for (int u : c.units) {
      for (int32_t b : model.units[u].blend_param) w.I32(b);
    }
    r.End();
  }
  if (options.anim) {
    assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
    const int anim_count = model.anim_count;
    r.Count(kAnimCount, static_cast<uint32_t>(anim_count));
    r.Begin(kAnimData);
    for (int a = 0; a < anim_count; ++a) {
      const Anim& anim = model.anims[a];
      w.I32(anim.first_motion);
      w.I32(anim.last_motion);
      w.U8(anim.loop);
      w.String(anim.name);
    }
    r.End();
  }
}

// ---------------------------------------------------------------------------------------------
// Reading

class KeyedBinaryReader {
 public:
  KeyedBinaryReader(Model& model, std::string_view bytes, const std::string& model_dir,
                    BinaryVariant variant, const ReadOptions& options, Host& host)
      : model_(model),
        reader_(bytes),
        model_dir_(model_dir),
        variant_(variant),
        options_(options),
        host_(host) {}

  bool Read(ReadError* error);

 private:
  // Record parsers return false when the data ran out or the file was refused (refused_ set).
  bool ParseRecord(Key key);
  bool ParseVersion();
  bool ParseCounts(Key key);
  bool ParsePartRecord(Key key, int part);
  bool ParseGeometry(Key key);
  bool ParseUnitBasis();
  bool ParseMotionValues(Key key);
  bool ParseAnimData();
  // Tells options.damage what the file lacked: the record it ends inside, the records every
  // file holds that did not come.
  void ReportDamage(const std::array<bool, kKeyCount>& read);

  bool Refuse(ReadErrorKind kind, std::string text) {
    refused_ = true;
    Fail(&error_, kind, std::move(text), record_offset_);
    return false;
  }
  // A length-prefixed string: the bytes up to the first zero, at most capacity - 1 of them.
  bool String(int capacity, std::string* value);
  bool Vector(Vec3* v) { return reader_.F32(&v->x) && reader_.F32(&v->y) && reader_.F32(&v->z); }
  bool Colour(Color* c) {
    return reader_.F32(&c->r) && reader_.F32(&c->g) && reader_.F32(&c->b) && reader_.F32(&c->a);
  }
  int UnitCount() const { return std::clamp(model_.node_count - model_.parts_count, 0, kMaxUnits); }
  int MotionCount() const { return std::clamp(model_.motion_count, 0, kMaxMotions); }

  Model& model_;
  ByteReader reader_;
  const std::string& model_dir_;
  BinaryVariant variant_;
  const ReadOptions& options_;
  Host& host_;
  TextureCache textures_;
  std::vector<CornerCoordinates> corners_;
  bool refused_ = false;
  ReadError error_;
  size_t record_offset_ = 0;  // where the record being parsed starts
  bool vertices_allocated_ = false;
  bool faces_allocated_ = false;
  std::vector<std::string> cut_;
};

bool KeyedBinaryReader::String(int capacity, std::string* value) {
  uint32_t length = 0;
  std::string_view bytes;
  if (!reader_.U32(&length) || !reader_.Bytes(length, &bytes)) return false;
  *value = ClampField(bytes.substr(0, bytes.find('\0')), capacity);
  return true;
}

bool KeyedBinaryReader::ParseVersion() {
  std::string version;
  if (!String(kMaxKeyLength, &version)) return false;
  if (!VersionReadable(version, host_)) {
    return Refuse(ReadErrorKind::kUnsupported,
                  "file version " + version + " is older than " + kOldestVersionRead);
  }
  return true;
}

bool KeyedBinaryReader::ParseCounts(Key key) {
  uint32_t value = 0;
  if (!reader_.U32(&value)) return false;
  switch (key) {
    case kPartsCount:
      if (value >= static_cast<uint32_t>(kMaxParts)) {
        ShowTooManyParts(host_);
        return Refuse(ReadErrorKind::kLimit, "256 or more parts");
      }
      AllocateParts(model_, static_cast<int>(value));
      return true;
    case kMotionCount:
      model_.motion_count = static_cast<int32_t>(std::min<uint32_t>(value, kMaxCount));
      return true;
    case kUnitCount:
      model_.node_count = static_cast<int32_t>(std::min<uint64_t>(
          uint64_t{static_cast<uint32_t>(model_.parts_count)} + value, kMaxCount));
      return true;
    case kTotalVertexCount:
      // Every vertex needs at least its position in the rest of the file; a total that cannot
      // be there is refused before anything is allocated. A second total would allocate again
      // for every copy, so it is refused too.
      if (vertices_allocated_) {
        return Refuse(ReadErrorKind::kBadData, "the vertex total is given twice");
      }
      if (value > reader_.remaining() / 12 || value > static_cast<uint32_t>(INT32_MAX)) {
        return Refuse(ReadErrorKind::kBadData, "the vertex total is larger than the file can hold");
      }
      AllocateVertices(model_, static_cast<int>(value));
      vertices_allocated_ = true;
      return true;
    case kTotalFaceCount:
      if (faces_allocated_) return Refuse(ReadErrorKind::kBadData, "the face total is given twice");
      if (value > reader_.remaining() / 16 || value > static_cast<uint32_t>(INT32_MAX)) {
        return Refuse(ReadErrorKind::kBadData, "the face total is larger than the file can hold");
      }
      AllocateFaces(model_, static_cast<int>(value));
      if (variant_ == BinaryVariant::kVr2) corners_.assign(value, CornerCoordinates{});
      faces_allocated_ = true;
      return true;
    case kAnimCount:
      model_.anim_count = static_cast<int32_t>(std::min<uint32_t>(value, kMaxCount));
      if (model_.anim_count > 0) model_.current_anim = 0;
      return true;
    default:
      return true;
  }
}

bool KeyedBinaryReader::ParsePartRecord(Key key, int p) {
  Part& part = model_.parts[p];
  switch (key) {
    case kPartsName:
      return String(kNodeNameSize, &model_.node_name[p]);
    case kCorner:
      return Vector(&part.corner_min) && Vector(&part.corner_max);
    case kCenter:
      return Vector(&part.center);
    case kMaterial: {
      // The stored ambient colour is not used: ambient follows diffuse after every read.
      Color ambient;
      const bool ok = Colour(&part.material.diffuse) && Colour(&ambient) &&
                      Colour(&part.material.specular) && Colour(&part.material.emissive) &&
                      reader_.F32(&part.material.power);
      part.material.ambient = part.material.diffuse;
      return ok;
    }
    case kTextureFile:
      if (!String(kTextureFileSize, &part.texture_file)) return false;
      part.texture.reset();
      part.texture_rect = {0, 0, 0, 0};
      // An empty name would name the directory itself: no texture, quietly.
      if (options_.load_textures && !part.texture_file.empty()) {
        LoadTexture(part, StoredFilePath(model_dir_, part.texture_file), &textures_);
      }
      return true;
    case kTextureMapFlag:
      return reader_.U32(&part.texture_map_flag);
    case kTextureMapParam:
      return reader_.I32(&part.texture_map_type) && reader_.F32(&part.texture_map_param[0]) &&
             reader_.F32(&part.texture_map_param[1]) && reader_.F32(&part.texture_map_param[2]) &&
             reader_.F32(&part.texture_map_param[3]);
    case kVertexCount:
    case kFaceCount: {
      uint32_t count = 0;
      if (!reader_.U32(&count)) return false;
      // Wraps like the u32 fields it fills; the consistency check at the end refuses the result.
      if (key == kVertexCount) {
        model_.parts[p + 1].first_vertex = count + part.first_vertex;
      } else {
        model_.parts[p + 1].first_face = count + part.first_face;
      }
      return true;
    }
    default:
      return true;
  }
}

bool KeyedBinaryReader::ParseGeometry(Key key) {
  const size_t vertex_count = model_.positions.size();
  const char* p = nullptr;
  size_t n = 0;
  size_t wanted = 0;
  switch (key) {
    case kVertices:
    case kNormals: {
      std::vector<Vec3>& target = key == kVertices ? model_.positions : model_.normals;
      wanted = vertex_count;
      n = reader_.Take(wanted, 12, &p);
      for (size_t i = 0; i < n; ++i, p += 12) {
        target[i] = Vec3{LoadF32(p), LoadF32(p + 4), LoadF32(p + 8)};
      }
      break;
    }
    case kTextureMap:
      if (variant_ == BinaryVariant::kVrn) {
        wanted = vertex_count;
        n = reader_.Take(wanted, 8, &p);
        for (size_t i = 0; i < n; ++i, p += 8) {
          model_.tex_u[i] = LoadF32(p);
          model_.tex_v[i] = LoadF32(p + 4);
        }
      } else {
        wanted = corners_.size();
        n = reader_.Take(wanted, 32, &p);
        for (size_t i = 0; i < n; ++i, p += 32) {
          for (int k = 0; k < 4; ++k) {
            corners_[i].u[k] = LoadF32(p + 4 * k);
            corners_[i].v[k] = LoadF32(p + 16 + 4 * k);
          }
        }
      }
      break;
    case kFaces:
      wanted = model_.faces.size();
      n = reader_.Take(wanted, 16, &p);
      for (size_t i = 0; i < n; ++i, p += 16) {
        for (int k = 0; k < 4; ++k) model_.faces[i].corner[k] = LoadU32(p + 4 * k);
      }
      break;
    case kBlend:
      wanted = vertex_count;
      n = reader_.Take(wanted, 4, &p);
      for (size_t i = 0; i < n; ++i, p += 4) model_.blend[i] = LoadF32(p);
      break;
    default:
      break;
  }
  return n == wanted;
}

bool KeyedBinaryReader::ParseUnitBasis() {
  for (int j = 0; j < UnitCount(); ++j) {
    Unit& unit = model_.units[j];
    if (!reader_.U32(&unit.basis_type) || !Vector(&unit.basis_position)) return false;
    if (unit.basis_type == 1) {
      for (int32_t& a : unit.axis_angle) {
        if (!reader_.I32(&a)) return false;
      }
    }
    if (!String(kNodeNameSize, &model_.node_name[model_.parts_count + j])) return false;
  }
  return true;
}

bool KeyedBinaryReader::ParseMotionValues(Key key) {
  const int units = UnitCount();
  for (int m = 0; m < MotionCount(); ++m) {
    Motion& motion = model_.motions[m];
    for (int j = 0; j < units; ++j) {
      bool ok = true;
      switch (key) {
        case kUnitAngle:
          ok = reader_.I32(&motion.angle[0][j]);
          if (ok && model_.units[j].basis_type == 2) {
            ok = reader_.I32(&motion.angle[1][j]) && reader_.I32(&motion.angle[2][j]);
          }
          break;
        case kUnitTranslation:
          ok = Vector(&motion.translation[j]);
          break;
        default:
          ok = Vector(&motion.scale[j]);
          break;
      }
      if (!ok) return false;
    }
  }
  return true;
}

bool KeyedBinaryReader::ParseAnimData() {
  for (int a = 0; a < std::clamp(model_.anim_count, 0, kMaxAnims); ++a) {
    Anim& anim = model_.anims[a];
    if (!reader_.I32(&anim.first_motion) || !reader_.I32(&anim.last_motion) ||
        !reader_.U8(&anim.loop) || !String(kAnimNameSize, &anim.name)) {
      return false;
    }
  }
  return true;
}

bool KeyedBinaryReader::ParseRecord(Key key) {
  switch (key) {
    case kVersion:
      return ParseVersion();
    case kPartsCount:
    case kMotionCount:
    case kUnitCount:
    case kTotalVertexCount:
    case kTotalFaceCount:
    case kAnimCount:
      return ParseCounts(key);
    case kTotalCorner:
      return Vector(&model_.total_corner_min) && Vector(&model_.total_corner_max);
    case kTotalCenter:
      return Vector(&model_.total_center);
    case kTextureAll: {
      std::string_view flag;
      if (!reader_.Bytes(4, &flag)) return false;
      model_.texture_all = static_cast<uint8_t>(flag[0]);
      return true;
    }
    case kPartsName:
    case kCorner:
    case kCenter:
    case kMaterial:
    case kTextureFile:
    case kTextureMapFlag:
    case kTextureMapParam:
    case kVertexCount:
    case kFaceCount:
      for (int p = 0; p < model_.parts_count; ++p) {
        if (!ParsePartRecord(key, p)) return false;
      }
      return true;
    case kVertices:
    case kNormals:
    case kTextureMap:
    case kFaces:
    case kBlend:
      return ParseGeometry(key);
    case kUnitBasis:
      return ParseUnitBasis();
    case kParent:
      for (int n = 0; n < std::clamp(model_.node_count, 0, kMaxNodes); ++n) {
        if (!reader_.I32(&model_.parent[n])) return false;
      }
      return true;
    case kUnitAngle:
    case kUnitTranslation:
    case kUnitScale:
      return ParseMotionValues(key);
    case kBlendParam:
      for (int j = 0; j < UnitCount(); ++j) {
        for (int32_t& b : model_.units[j].blend_param) {
          if (!reader_.I32(&b)) return false;
        }
      }
      return true;
    case kAnimData:
      return ParseAnimData();
    default:
      return true;
  }
}

bool KeyedBinaryReader::Read(ReadError* error) {
  Reset(model_);
  std::string_view magic;
  const std::string_view expected = variant_ == BinaryVariant::kVrn ? kVrnMagic : kVr2Magic;
  if (!reader_.Bytes(4, &magic) || magic != expected) {
    return Fail(
        error, ReadErrorKind::kNotThisFormat,
        variant_ == BinaryVariant::kVrn ? "not a VRN binary file" : "not a VR2 binary file");
  }
  uint32_t record_count = 0;
  reader_.U32(&record_count);
  // Every record takes at least its key length and data size, so the loop ends with the data.
  // Fewer records than counted is normal: the writers always count 31. Even the largest record
  // decodes in a few milliseconds, so asking once per record keeps a stop prompt.
  ProgressMeter meter(options_.progress, reader_.position() + reader_.remaining());
  std::array<bool, kKeyCount> read{};
  for (uint32_t i = 0; i < record_count; ++i) {
    record_offset_ = reader_.position();
    if (!KeepReading(meter, record_offset_, error)) return false;
    uint32_t key_length = 0;
    std::string_view key_bytes;
    uint32_t data_size = 0;
    if (!reader_.U32(&key_length) ||
        !reader_.Bytes(std::min(key_length, kMaxKeyLength), &key_bytes) ||
        !reader_.U32(&data_size)) {
      // Nothing left is the normal end; a few bytes left are a record cut short.
      if (reader_.position() > record_offset_ || reader_.remaining() > 0) cut_.emplace_back();
      break;
    }
    const std::string_view key = key_bytes.substr(0, key_bytes.find('\0'));
    const auto found = std::find(kKeys.begin(), kKeys.end(), key);
    if (found == kKeys.end()) {
      if (!reader_.Skip(data_size)) {
        cut_.emplace_back(key);
        break;
      }
      continue;
    }
    // A known record is parsed by its content, whatever its data size says: the format has
    // always been read this way.
    const Key known = static_cast<Key>(found - kKeys.begin());
    if (!ParseRecord(known)) {
      if (refused_) {
        if (error != nullptr) *error = std::move(error_);
        return false;
      }
      cut_.emplace_back(key);
      break;  // the file ends inside the record: keep what was read
    }
    read[known] = true;
  }
  if (!FinishReadingModel(model_, variant_ == BinaryVariant::kVr2 ? &corners_ : nullptr, error) ||
      !(meter.Finish() || Fail(error, ReadErrorKind::kCancelled, "cancelled"))) {
    return false;
  }
  ReportDamage(read);
  return true;
}

void KeyedBinaryReader::ReportDamage(const std::array<bool, kKeyCount>& read) {
  if (options_.damage == nullptr) return;
  ReadDamage& damage = *options_.damage;
  damage.cut = cut_;
  // Writers always write the records before the Unit records; those after them come only with
  // Units and with the save options, so their absence says nothing.
  for (int key = 0; key < kUnitBasis; ++key) {
    const bool is_cut =
        std::find(cut_.begin(), cut_.end(), kKeys[static_cast<size_t>(key)]) != cut_.end();
    if (!read[static_cast<size_t>(key)] && !is_cut) {
      damage.missing.emplace_back(kKeys[static_cast<size_t>(key)]);
    }
  }
}

}  // namespace

std::string FormatKeyedBinary(Model& model, const SaveOptions& options, BinaryVariant variant) {
  ClampAnimsToMotions(model);
  RefreshSaveOrder(model);
  WriteContext c{model, options, variant, {}, {}, {}};
  for (int i = 0; i < model.parts_count; ++i)
    c.parts.push_back(static_cast<int>(model.draw_order[i]));
  for (int k = 0; k < model.unit_count(); ++k) {
    c.units.push_back(static_cast<int>(model.units[k].save_order));
  }
  if (variant == BinaryVariant::kVr2) c.corners = ComputeCornerCoordinates(model);

  assert(model.total_vertex_count >= 0 && model.total_face_count >= 0);
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const size_t vertices = static_cast<size_t>(model.total_vertex_count);
  const size_t faces = static_cast<size_t>(model.total_face_count);
  std::string out;
  out.reserve(vertices * 36 + faces * 48 +
              static_cast<size_t>(model.motion_count) * c.units.size() * 36 + 64 * 1024);
  RecordWriter r(out);
  r.w().Bytes(variant == BinaryVariant::kVrn ? kVrnMagic : kVr2Magic);
  // Always the full count, even when the options or a Model without Units leave records out.
  r.w().U32(kKeyCount);
  WriteModelRecords(r, c);
  if (!c.units.empty()) WriteUnitRecords(r, c);
  return out;
}

bool ParseKeyedBinary(Model& model, std::string_view bytes, const std::string& model_dir,
                      BinaryVariant variant, const ReadOptions& options, Host& host,
                      ReadError* error) {
  return ParseIntoModel(model, error, [&] {
    KeyedBinaryReader reader(model, bytes, model_dir, variant, options, host);
    return reader.Read(error);
  });
}

bool ReadKeyedBinary(Model& model, const std::string& path, BinaryVariant variant,
                     const ReadOptions& options, Host& host, ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    return ParseKeyedBinary(model, file.text(), DirectoryOf(path), variant, options, host, error);
  });
}

bool WriteKeyedBinary(Model& model, const std::string& path, const SaveOptions& options,
                      BinaryVariant variant, Host& host, WriteError* error) {
  WaitCursor wait(host);
  AtomicFile file;
  if (!file.Open(path, error)) return false;
  SetTitleAndDirectory(model, path);
  return file.WriteAndCommit(FormatKeyedBinary(model, options, variant), options.progress, error);
}

bool ReadVrnBinary(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                   ReadError* error) {
  return ReadKeyedBinary(model, path, BinaryVariant::kVrn, options, host, error);
}

bool WriteVrnBinary(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                    WriteError* error) {
  return WriteKeyedBinary(model, path, options, BinaryVariant::kVrn, host, error);
}

}  // namespace vorna
