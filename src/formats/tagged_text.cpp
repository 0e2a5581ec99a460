#include "formats/tagged_text.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstring>

#include "formats/format_common.h"
#include "formats/text_io.h"
#include "formats/vr2_corners.h"
#include "io/atomic_file.h"
#include "io/whole_file.h"
#include "model/file_paths.h"
#include "model/hierarchy.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

// ---------------------------------------------------------------------------------------------
// Writing

class TextWriter {
 public:
  explicit TextWriter(std::string& out) : out_(out) {}
  // Every line after the first starts with the line break, so the file has no final one.
  TextWriter& Line() {
    if (!first_) out_.append("\r\n");
    first_ = false;
    return *this;
  }
  TextWriter& Tag(const char* tag) {
    Line();
    out_.append(tag);
    tag_ = tag;
    return *this;
  }
  TextWriter& Text(std::string_view text) {
    out_.append(text);
    return *this;
  }
  TextWriter& Int(int64_t value) {
    Space();
    AppendInt(out_, value);
    return *this;
  }
  TextWriter& Float(float value) {
    Space();
    if (!std::isfinite(value) && non_finite_in_.empty()) non_finite_in_ = tag_;
    AppendFloat(out_, value);
    return *this;
  }
  TextWriter& Word(std::string_view word) {
    Space();
    out_.append(word);
    return *this;
  }
  TextWriter& Vector(Vec3 v) { return Float(v.x).Float(v.y).Float(v.z); }
  // Colours are written alpha first.
  TextWriter& Colour(const Color& c) { return Float(c.a).Float(c.r).Float(c.g).Float(c.b); }
  // The block of the first value that is not a finite number, or "" while there is none.
  const std::string& non_finite_in() const { return non_finite_in_; }
  // Starts a value line; the first value on it gets no leading space.
  TextWriter& Values() {
    Line();
    line_start_ = out_.size();
    return *this;
  }

 private:
  void Space() {
    if (out_.size() != line_start_) out_.push_back(' ');
  }
  std::string& out_;
  bool first_ = true;
  size_t line_start_ = std::string::npos;
  const char* tag_ = "";
  std::string non_finite_in_;
};

void WriteBlock(TextWriter& w, const char* open, const char* close, int64_t value) {
  w.Tag(open).Values().Int(value).Tag(close);
}

void WriteVectorBlock(TextWriter& w, const char* open, const char* close, Vec3 v) {
  w.Tag(open).Values().Vector(v).Tag(close);
}

void WriteColourBlock(TextWriter& w, const char* open, const char* close, const Color& c) {
  w.Tag(open).Values().Colour(c).Tag(close);
}

void WritePart(TextWriter& w, const Model& model, int p, const SaveOptions& options,
               TextVariant variant, const std::vector<CornerCoordinates>& corners) {
  const Part& part = model.parts[p];
  w.Tag("<polygon_mesh>");
  w.Tag("<parts_name>").Line().Text(model.node_name[p]).Tag("</parts_name>");
  WriteVectorBlock(w, "<corner_min>", "</corner_min>", part.corner_min);
  WriteVectorBlock(w, "<corner_max>", "</corner_max>", part.corner_max);
  WriteVectorBlock(w, "<center>", "</center>", part.center);
  WriteColourBlock(w, "<diffuse>", "</diffuse>", part.material.diffuse);
  WriteColourBlock(w, "<specular>", "</specular>", part.material.specular);
  WriteColourBlock(w, "<emission>", "</emission>", part.material.emissive);
  w.Tag("<specular_power>").Values().Float(part.material.power).Tag("</specular_power>");
  w.Tag("<texture_file>").Line().Text(part.texture_file).Tag("</texture_file>");
  WriteBlock(w, "<texture_map_flag>", "</texture_map_flag>",
             static_cast<int32_t>(part.texture_map_flag));
  w.Tag("<texture_map_param>").Values().Int(part.texture_map_type);
  for (float value : part.texture_map_param) w.Float(value);
  w.Tag("</texture_map_param>");

  const uint32_t first_vertex = part.first_vertex;
  const uint32_t vertex_end = model.parts[p + 1].first_vertex;
  WriteBlock(w, "<vertex_count>", "</vertex_count>", vertex_end - first_vertex);
  w.Tag("<vertices>");
  for (uint32_t v = first_vertex; v < vertex_end; ++v) {
    w.Values().Vector(model.positions[v]).Vector(model.normals[v]);
    if (variant == TextVariant::kVrn) w.Float(model.tex_u[v]).Float(model.tex_v[v]);
    if (options.skin) w.Float(model.blend[v]);
  }
  w.Tag("</vertices>");

  const uint32_t face_end = model.parts[p + 1].first_face;
  WriteBlock(w, "<face_count>", "</face_count>", face_end - part.first_face);
  w.Tag("<faces>");
  for (uint32_t f = part.first_face; f < face_end; ++f) {
    const Face& face = model.faces[f];
    w.Values();
    for (uint32_t index : face.corner) w.Int(static_cast<int32_t>(index));
    if (variant == TextVariant::kVr2) {
      for (int k = 0; k < 4; ++k) w.Float(corners[f].u[k]).Float(corners[f].v[k]);
    }
  }
  w.Tag("</faces>");
  w.Tag("</polygon_mesh>");
}

void WriteUnits(TextWriter& w, const Model& model, const SaveOptions& options) {
  const int parts_count = model.parts_count;
  const int unit_count = model.unit_count();
  w.Tag("<unit>");
  w.Tag("<basis>");
  for (int k = 0; k < unit_count; ++k) {
    const int u = static_cast<int>(model.units[k].save_order);
    const Unit& unit = model.units[u];
    w.Values().Int(unit.basis_type).Vector(unit.basis_position);
    if (unit.basis_type == 1) {
      for (int32_t a : unit.axis_angle) w.Int(a);
    }
    w.Word(model.node_name[parts_count + u]);
    if (options.skin) {
      for (int32_t b : unit.blend_param) w.Int(b);
    }
  }
  w.Tag("</basis>");

  w.Tag("<parent>");
  for (int i = 0; i < parts_count; ++i) {
    w.Values().Int(ParentRemap(model, static_cast<int>(model.draw_order[i])));
  }
  for (int k = 0; k < unit_count; ++k) {
    w.Values().Int(ParentRemap(model, parts_count + static_cast<int>(model.units[k].save_order)));
  }
  w.Tag("</parent>");

  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const int motion_count = model.motion_count;
  for (int m = 0; m < motion_count; ++m) {
    const Motion& motion = model.motions[m];
    w.Tag("<angle>");
    for (int k = 0; k < unit_count; ++k) {
      const int u = static_cast<int>(model.units[k].save_order);
      w.Values().Int(motion.angle[0][u]);
      if (model.units[u].basis_type != 1) w.Int(motion.angle[1][u]).Int(motion.angle[2][u]);
    }
    w.Tag("</angle>");
  }
  const auto write_vectors = [&](const char* open, const char* close, auto field) {
    for (int m = 0; m < motion_count; ++m) {
      w.Tag(open);
      for (int k = 0; k < unit_count; ++k) {
        w.Values().Vector((model.motions[m].*field)[model.units[k].save_order]);
      }
      w.Tag(close);
    }
  };
  if (options.translation) write_vectors("<translation>", "</translation>", &Motion::translation);
  if (options.scale) write_vectors("<scale>", "</scale>", &Motion::scale);
  w.Tag("</unit>");
}

// ---------------------------------------------------------------------------------------------
// Reading

enum State : int {
  kNone = 0,
  kVersion,
  kPartsCount,
  kMotionCount,
  kUnitCount,
  kTotalVertexCount,
  kTotalFaceCount,
  kTotalCornerMin,
  kTotalCornerMax,
  kTotalCenter,
  kTextureAll,
  kPartsName,
  kCornerMin,
  kCornerMax,
  kCenter,
  kDiffuse,
  kSpecular,
  kEmission,
  kSpecularPower,
  kTextureFile,
  kTextureMapFlag,
  kTextureMapParam,
  kVertices,
  kFaces,
  kBasis,
  kParent,
  kAngle,
  kTranslation,
  kScale,
  kAnimCount,
  kAnimData,
};

// Tags whose only effect is to open or close a state.
struct TagEntry {
  std::string_view text;
  State state;
  bool opens;
};

constexpr TagEntry kTags[] = {
    {"<version>", kVersion, true},
    {"</version>", kVersion, false},
    {"<parts_count>", kPartsCount, true},
    {"</parts_count>", kPartsCount, false},
    {"<motion_count>", kMotionCount, true},
    {"</motion_count>", kMotionCount, false},
    {"<unit_count>", kUnitCount, true},
    {"</unit_count>", kUnitCount, false},
    {"<total_vertex_count>", kTotalVertexCount, true},
    {"</total_vertex_count>", kTotalVertexCount, false},
    {"<total_face_count>", kTotalFaceCount, true},
    {"</total_face_count>", kTotalFaceCount, false},
    {"<total_corner_min>", kTotalCornerMin, true},
    {"</total_corner_min>", kTotalCornerMin, false},
    {"<total_corner_max>", kTotalCornerMax, true},
    {"</total_corner_max>", kTotalCornerMax, false},
    {"<total_center>", kTotalCenter, true},
    {"</total_center>", kTotalCenter, false},
    {"<texture_all>", kTextureAll, true},
    {"</texture_all>", kTextureAll, false},
    {"<parts_name>", kPartsName, true},
    {"</parts_name>", kPartsName, false},
    {"<corner_min>", kCornerMin, true},
    {"</corner_min>", kCornerMin, false},
    {"<corner_max>", kCornerMax, true},
    {"</corner_max>", kCornerMax, false},
    {"<center>", kCenter, true},
    {"</center>", kCenter, false},
    {"<diffuse>", kDiffuse, true},
    {"</diffuse>", kDiffuse, false},
    {"<specular>", kSpecular, true},
    {"</specular>", kSpecular, false},
    {"<emission>", kEmission, true},
    {"</emission>", kEmission, false},
    {"<specular_power>", kSpecularPower, true},
    {"</specular_power>", kSpecularPower, false},
    {"<texture_file>", kTextureFile, true},
    {"</texture_file>", kTextureFile, false},
    {"<texture_map_flag>", kTextureMapFlag, true},
    {"</texture_map_flag>", kTextureMapFlag, false},
    {"<texture_map_param>", kTextureMapParam, true},
    {"</texture_map_param>", kTextureMapParam, false},
    {"<vertices>", kVertices, true},
    {"</vertices>", kVertices, false},
    {"<faces>", kFaces, true},
    {"</faces>", kFaces, false},
    {"<basis>", kBasis, true},
    {"</basis>", kBasis, false},
    {"<parent>", kParent, true},
    {"</parent>", kParent, false},
    {"<angle>", kAngle, true},
    {"</angle>", kAngle, false},
    {"<translation>", kTranslation, true},
    {"</translation>", kTranslation, false},
    {"<scale>", kScale, true},
    {"</scale>", kScale, false},
    {"<anim_count>", kAnimCount, true},
    {"</anim_count>", kAnimCount, false},
    {"<anim_data>", kAnimData, true},
    {"</anim_data>", kAnimData, false},
};

const TagEntry* FindTag(std::string_view line) {
  if (line.size() < 3 || line.front() != '<' || line.back() != '>') return nullptr;
  for (const TagEntry& tag : kTags) {
    if (tag.text == line) return &tag;
  }
  return nullptr;
}

class TaggedTextReader {
 public:
  TaggedTextReader(Model& model, std::string_view bytes, const std::string& model_dir,
                   TextVariant variant, const ReadOptions& options, Host& host)
      : model_(model),
        bytes_(bytes),
        model_dir_(model_dir),
        variant_(variant),
        options_(options),
        host_(host) {}

  bool Read(ReadError* error);

 private:
  bool Refuse(ReadError* error, ReadErrorKind kind, std::string text) {
    return Fail(error, kind, std::move(text), offset_, line_number_);
  }
  // How many lines follow the current one: every vertex and face takes a line of its own. The
  // file is counted once, when a total first needs it.
  size_t LinesLeft() {
    if (line_total_ == 0) line_total_ = LineReader::CountLines(bytes_);
    return line_total_ - line_number_;
  }
  // Handles a tag line; false when the tag refuses the file.
  bool OnTag(const TagEntry& tag, ReadError* error);
  // Handles a value line; false when it refuses the file.
  bool OnValue(std::string_view line, ReadError* error);
  Part* CurrentPart() {
    return current_part_ >= 0 && current_part_ < model_.parts_count ? &model_.parts[current_part_]
                                                                    : nullptr;
  }
  // One value line of each kind of block.
  bool ReadVersion(std::string_view line, ReadError* error);
  void ReadCount(std::string_view line);                    // Parts, Motions, Units, Anims
  bool ReadTotal(std::string_view line, ReadError* error);  // vertices, faces
  void ReadModelValue(std::string_view line);               // the total box, texture_all
  void ReadVertex(std::string_view line);
  void ReadFace(std::string_view line);
  void ReadBasis(std::string_view line);
  void ReadParent(std::string_view line);
  void ReadAngle(std::string_view line);
  void ReadMotionVector(std::string_view line);  // translations, scales
  void ReadAnim(std::string_view line);
  void ReadPartValue(std::string_view line);

  Model& model_;
  std::string_view bytes_;
  const std::string& model_dir_;
  TextVariant variant_;
  const ReadOptions& options_;
  Host& host_;
  TextureCache textures_;
  uint32_t line_number_ = 0;
  size_t line_total_ = 0;
  size_t offset_ = 0;  // of the current line

  State state_ = kNone;
  int current_part_ = 0;
  int64_t running_vertex_ = 0;
  int64_t running_face_ = 0;
  int basis_line_ = 0;
  int parent_line_ = 0;
  int angle_line_ = 0;
  int angle_motion_ = 0;
  int translation_line_ = 0;
  int translation_motion_ = 0;
  int scale_line_ = 0;
  int scale_motion_ = 0;
  int anim_line_ = 0;
  int32_t declared_parts_ = 0;
  std::vector<CornerCoordinates> corners_;
};

bool TaggedTextReader::OnTag(const TagEntry& tag, ReadError* error) {
  if (tag.opens) {
    state_ = tag.state;
    switch (tag.state) {
      case kBasis:
        basis_line_ = 0;
        break;
      case kParent:
        parent_line_ = 0;
        break;
      case kAngle:
        angle_line_ = 0;
        break;
      case kTranslation:
        translation_line_ = 0;
        break;
      case kScale:
        scale_line_ = 0;
        break;
      case kAnimData:
        anim_line_ = 0;
        break;
      default:
        break;
    }
    return true;
  }
  state_ = kNone;
  switch (tag.state) {
    case kPartsCount:
      if (declared_parts_ >= kMaxParts) {
        ShowTooManyParts(host_);
        return Refuse(error, ReadErrorKind::kLimit, "256 or more parts");
      }
      break;
    case kMotionCount:
      model_.motion_count = std::min(model_.motion_count, kMaxCount);
      break;
    case kVertices:
      if (current_part_ >= 0 && current_part_ < model_.parts_count) {
        model_.parts[current_part_ + 1].first_vertex = static_cast<uint32_t>(running_vertex_);
      }
      break;
    case kFaces:
      if (current_part_ >= 0 && current_part_ < model_.parts_count) {
        model_.parts[current_part_ + 1].first_face = static_cast<uint32_t>(running_face_);
      }
      break;
    case kAngle:
      ++angle_motion_;
      break;
    case kTranslation:
      ++translation_motion_;
      break;
    case kScale:
      ++scale_motion_;
      break;
    default:
      break;
  }
  return true;
}

void TaggedTextReader::ReadVertex(std::string_view line) {
  if (running_vertex_ >= model_.total_vertex_count) return;  // more lines than declared
  const size_t v = static_cast<size_t>(running_vertex_++);
  LineScanner s(line);
  Vec3& p = model_.positions[v];
  Vec3& n = model_.normals[v];
  s.Float(&p.x) && s.Float(&p.y) && s.Float(&p.z) && s.Float(&n.x) && s.Float(&n.y) &&
      s.Float(&n.z);
  if (variant_ == TextVariant::kVrn) s.Float(&model_.tex_u[v]) && s.Float(&model_.tex_v[v]);
  s.Float(&model_.blend[v]);
}

void TaggedTextReader::ReadFace(std::string_view line) {
  if (running_face_ >= model_.total_face_count) return;
  const size_t f = static_cast<size_t>(running_face_++);
  LineScanner s(line);
  Face& face = model_.faces[f];
  int32_t index[4] = {static_cast<int32_t>(face.corner[0]), static_cast<int32_t>(face.corner[1]),
                      static_cast<int32_t>(face.corner[2]), static_cast<int32_t>(face.corner[3])};
  s.Int(&index[0]) && s.Int(&index[1]) && s.Int(&index[2]) && s.Int(&index[3]);
  for (int k = 0; k < 4; ++k) face.corner[k] = static_cast<uint32_t>(index[k]);
  if (variant_ == TextVariant::kVr2) {
    CornerCoordinates& c = corners_[f];
    for (int k = 0; k < 4; ++k) {
      if (!(s.Float(&c.u[k]) && s.Float(&c.v[k]))) break;
    }
  }
}

void TaggedTextReader::ReadBasis(std::string_view line) {
  const int unit_count = model_.node_count - model_.parts_count;
  if (basis_line_ >= unit_count || basis_line_ >= kMaxUnits) return;
  const int u = basis_line_++;
  Unit& unit = model_.units[u];
  LineScanner s(line);
  int32_t type = static_cast<int32_t>(unit.basis_type);
  std::string name;
  // The form is chosen by the first character, as files have always been read.
  const bool tilt = !line.empty() && line[0] == '1';
  bool ok = s.Int(&type) && s.Float(&unit.basis_position.x) && s.Float(&unit.basis_position.y) &&
            s.Float(&unit.basis_position.z);
  unit.basis_type = static_cast<uint32_t>(type);
  if (ok && tilt) {
    ok = s.Int(&unit.axis_angle[0]) && s.Int(&unit.axis_angle[1]) && s.Int(&unit.axis_angle[2]);
  }
  if (ok && s.Word(&name, kNodeNameSize - 1)) {
    model_.node_name[model_.parts_count + u] = name;
    s.Int(&unit.blend_param[0]) && s.Int(&unit.blend_param[1]) && s.Int(&unit.blend_param[2]) &&
        s.Int(&unit.blend_param[3]);
  }
}

bool TaggedTextReader::OnValue(std::string_view line, ReadError* error) {
  switch (state_) {
    case kNone:
      return true;
    case kVersion:
      return ReadVersion(line, error);
    case kPartsCount:
    case kMotionCount:
    case kUnitCount:
    case kAnimCount:
      ReadCount(line);
      return true;
    case kTotalVertexCount:
    case kTotalFaceCount:
      return ReadTotal(line, error);
    case kTotalCornerMin:
    case kTotalCornerMax:
    case kTotalCenter:
    case kTextureAll:
      ReadModelValue(line);
      return true;
    case kVertices:
      ReadVertex(line);
      return true;
    case kFaces:
      ReadFace(line);
      return true;
    case kBasis:
      ReadBasis(line);
      return true;
    case kParent:
      ReadParent(line);
      return true;
    case kAngle:
      ReadAngle(line);
      return true;
    case kTranslation:
    case kScale:
      ReadMotionVector(line);
      return true;
    case kAnimData:
      ReadAnim(line);
      return true;
    default:
      ReadPartValue(line);
      return true;
  }
}

bool TaggedTextReader::ReadVersion(std::string_view line, ReadError* error) {
  LineScanner s(line);
  std::string version;
  if (s.Word(&version, 255) && !VersionReadable(version, host_)) {
    return Refuse(error, ReadErrorKind::kUnsupported,
                  "file version " + version + " is older than " + kOldestVersionRead);
  }
  return true;
}

void TaggedTextReader::ReadCount(std::string_view line) {
  int32_t count = 0;
  if (!LineScanner(line).Int(&count)) return;
  switch (state_) {
    case kPartsCount:
      declared_parts_ = count;
      // Only a count the tables can hold is allocated; a larger one is refused at the closing
      // tag, a negative one leaves the model without parts.
      AllocateParts(model_, std::clamp(count, 0, kMaxParts - 1));
      current_part_ = 0;
      break;
    case kMotionCount:
      model_.motion_count = std::max(count, 0);
      break;
    case kUnitCount: {
      const int64_t nodes = int64_t{model_.parts_count} + std::max(count, 0);
      model_.node_count = static_cast<int32_t>(std::min<int64_t>(nodes, kMaxCount));
      break;
    }
    default:  // kAnimCount
      model_.anim_count = std::clamp(count, 0, kMaxCount);
      if (model_.anim_count > 0) model_.current_anim = 0;
  }
}

bool TaggedTextReader::ReadTotal(std::string_view line, ReadError* error) {
  int32_t total = 0;
  if (!LineScanner(line).Int(&total)) return true;
  const bool vertices = state_ == kTotalVertexCount;
  // Every vertex and every face takes a line of its own: more than the lines left cannot be real.
  if (total < 0 || static_cast<size_t>(total) > LinesLeft()) {
    return Refuse(error, ReadErrorKind::kBadData,
                  vertices ? "the vertex total is larger than the file can hold"
                           : "the face total is larger than the file can hold");
  }
  if (vertices) {
    AllocateVertices(model_, total);
  } else {
    AllocateFaces(model_, total);
    if (variant_ == TextVariant::kVr2) corners_.assign(static_cast<size_t>(total), {});
  }
  return true;
}

void TaggedTextReader::ReadModelValue(std::string_view line) {
  LineScanner s(line);
  if (state_ == kTextureAll) {
    int32_t flag = model_.texture_all;
    s.Int(&flag);
    model_.texture_all = static_cast<uint8_t>(flag);
    return;
  }
  Vec3& v = state_ == kTotalCornerMin   ? model_.total_corner_min
            : state_ == kTotalCornerMax ? model_.total_corner_max
                                        : model_.total_center;
  s.Float(&v.x) && s.Float(&v.y) && s.Float(&v.z);
}

void TaggedTextReader::ReadParent(std::string_view line) {
  if (parent_line_ < model_.node_count && parent_line_ < kMaxNodes) {
    LineScanner(line).Int(&model_.parent[parent_line_]);
    ++parent_line_;
  }
}

void TaggedTextReader::ReadAngle(std::string_view line) {
  const int unit_count = model_.node_count - model_.parts_count;
  if (angle_motion_ >= model_.motion_count || angle_motion_ >= kMaxMotions ||
      angle_line_ >= unit_count || angle_line_ >= kMaxUnits) {
    return;
  }
  Motion& motion = model_.motions[angle_motion_];
  const int u = angle_line_++;
  LineScanner s(line);
  if (model_.units[u].basis_type == 1) {
    s.Int(&motion.angle[0][u]);
  } else {
    s.Int(&motion.angle[0][u]) && s.Int(&motion.angle[1][u]) && s.Int(&motion.angle[2][u]);
  }
}

void TaggedTextReader::ReadMotionVector(std::string_view line) {
  const bool translation = state_ == kTranslation;
  int& line_number = translation ? translation_line_ : scale_line_;
  const int motion = translation ? translation_motion_ : scale_motion_;
  const int unit_count = model_.node_count - model_.parts_count;
  if (motion >= model_.motion_count || motion >= kMaxMotions || line_number >= unit_count ||
      line_number >= kMaxUnits) {
    return;
  }
  Vec3& v = translation ? model_.motions[motion].translation[line_number]
                        : model_.motions[motion].scale[line_number];
  LineScanner s(line);
  s.Float(&v.x) && s.Float(&v.y) && s.Float(&v.z);
  ++line_number;
}

void TaggedTextReader::ReadAnim(std::string_view line) {
  if (anim_line_ >= model_.anim_count) return;
  Anim& anim = model_.anims[anim_line_++];
  LineScanner s(line);
  int32_t loop = anim.loop;
  s.Int(&anim.first_motion) && s.Int(&anim.last_motion) && s.Int(&loop) &&
      s.Word(&anim.name, kAnimNameSize - 1);
  anim.loop = static_cast<uint8_t>(loop);
}

// Per-Part values, always for the current Part.
void TaggedTextReader::ReadPartValue(std::string_view line) {
  Part* part = CurrentPart();
  if (part == nullptr) return;
  LineScanner s(line);
  switch (state_) {
    case kPartsName:
      model_.node_name[current_part_] = ClampField(line, kNodeNameSize);
      break;
    case kCornerMin:
      s.Float(&part->corner_min.x) && s.Float(&part->corner_min.y) && s.Float(&part->corner_min.z);
      break;
    case kCornerMax:
      s.Float(&part->corner_max.x) && s.Float(&part->corner_max.y) && s.Float(&part->corner_max.z);
      break;
    case kCenter:
      s.Float(&part->center.x) && s.Float(&part->center.y) && s.Float(&part->center.z);
      break;
    case kDiffuse:
    case kSpecular:
    case kEmission: {
      Color& c = state_ == kDiffuse    ? part->material.diffuse
                 : state_ == kSpecular ? part->material.specular
                                       : part->material.emissive;
      s.Float(&c.a) && s.Float(&c.r) && s.Float(&c.g) && s.Float(&c.b);
      if (state_ == kDiffuse) part->material.ambient = part->material.diffuse;
      break;
    }
    case kSpecularPower:
      s.Float(&part->material.power);
      break;
    case kTextureFile:
      part->texture_file = ClampField(line, kTextureFileSize);
      part->texture.reset();
      part->texture_rect = {0, 0, 0, 0};
      // An empty name would name the directory itself: no texture, quietly.
      if (options_.load_textures && !part->texture_file.empty()) {
        LoadTexture(*part, StoredFilePath(model_dir_, part->texture_file), &textures_);
      }
      break;
    case kTextureMapFlag: {
      int32_t flag = static_cast<int32_t>(part->texture_map_flag);
      s.Int(&flag);
      part->texture_map_flag = static_cast<uint32_t>(flag);
      break;
    }
    case kTextureMapParam:
      s.Int(&part->texture_map_type) && s.Float(&part->texture_map_param[0]) &&
          s.Float(&part->texture_map_param[1]) && s.Float(&part->texture_map_param[2]) &&
          s.Float(&part->texture_map_param[3]);
      break;
    default:
      break;
  }
}

bool TaggedTextReader::Read(ReadError* error) {
  Reset(model_);
  LineReader lines(bytes_);
  ProgressMeter meter(options_.progress, bytes_.size());
  std::string_view line;
  size_t next_offset = 0;
  while (lines.Next(&line)) {
    ++line_number_;
    offset_ = next_offset;
    next_offset = lines.position();
    if (!KeepReading(meter, offset_, error)) return false;
    if (const TagEntry* tag = FindTag(line)) {
      if (!OnTag(*tag, error)) return false;
    } else if (line == "</polygon_mesh>") {
      ++current_part_;
    } else if (!OnValue(line, error)) {
      return false;
    }
  }
  return FinishReadingModel(model_, variant_ == TextVariant::kVr2 ? &corners_ : nullptr, error) &&
         (meter.Finish() || Refuse(error, ReadErrorKind::kCancelled, "cancelled"));
}

}  // namespace

std::string FormatTaggedText(Model& model, const SaveOptions& options, TextVariant variant,
                             std::string* non_finite_in) {
  ClampAnimsToMotions(model);
  RefreshSaveOrder(model);
  std::vector<CornerCoordinates> corners;
  if (variant == TextVariant::kVr2) corners = ComputeCornerCoordinates(model);

  std::string out;
  out.reserve(static_cast<size_t>(model.total_vertex_count) * 100 +
              static_cast<size_t>(model.total_face_count) *
                  (variant == TextVariant::kVr2 ? 120 : 40) +
              static_cast<size_t>(model.motion_count) * model.unit_count() * 100 + 4096);
  TextWriter w(out);
  w.Tag("<version>").Line().Text(kVersionWritten).Tag("</version>");
  WriteBlock(w, "<parts_count>", "</parts_count>", model.parts_count);
  WriteBlock(w, "<motion_count>", "</motion_count>", model.motion_count);
  WriteBlock(w, "<unit_count>", "</unit_count>", model.unit_count());
  if (options.anim) {
    WriteBlock(w, "<anim_count>", "</anim_count>", model.anim_count);
    w.Tag("<anim_data>");
    assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
    for (int a = 0; a < model.anim_count; ++a) {
      const Anim& anim = model.anims[a];
      w.Values().Int(anim.first_motion).Int(anim.last_motion).Int(anim.loop).Word(anim.name);
    }
    w.Tag("</anim_data>");
  }
  WriteBlock(w, "<total_vertex_count>", "</total_vertex_count>", model.total_vertex_count);
  WriteBlock(w, "<total_face_count>", "</total_face_count>", model.total_face_count);
  WriteVectorBlock(w, "<total_corner_min>", "</total_corner_min>", model.total_corner_min);
  WriteVectorBlock(w, "<total_corner_max>", "</total_corner_max>", model.total_corner_max);
  WriteVectorBlock(w, "<total_center>", "</total_center>", model.total_center);
  WriteBlock(w, "<texture_all>", "</texture_all>", model.texture_all);
  for (int i = 0; i < model.parts_count; ++i) {
    WritePart(w, model, static_cast<int>(model.draw_order[i]), options, variant, corners);
  }
  if (model.unit_count() > 0) WriteUnits(w, model, options);
  if (non_finite_in != nullptr) *non_finite_in = w.non_finite_in();
  return out;
}

bool WriteTaggedText(Model& model, const std::string& path, const SaveOptions& options,
                     TextVariant variant, Host& host, WriteError* error) {
  WaitCursor wait(host);
  std::string non_finite_in;
  const std::string bytes = FormatTaggedText(model, options, variant, &non_finite_in);
  // "inf" and "nan" are glibc's spellings: the format's other readers stop at them.
  if (!non_finite_in.empty()) {
    return Fail(error, WriteErrorKind::kModel,
                non_finite_in + " holds a number that is not finite");
  }
  AtomicFile file;
  if (!file.Open(path, error)) return false;
  SetTitleAndDirectory(model, path);
  return file.WriteAndCommit(bytes, options.progress, error);
}

bool ParseTaggedText(Model& model, std::string_view bytes, const std::string& model_dir,
                     TextVariant variant, const ReadOptions& options, Host& host,
                     ReadError* error) {
  return ParseIntoModel(model, error, [&] {
    TaggedTextReader reader(model, bytes, model_dir, variant, options, host);
    return reader.Read(error);
  });
}

bool ReadTaggedText(Model& model, const std::string& path, TextVariant variant,
                    const ReadOptions& options, Host& host, ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    return ParseTaggedText(model, file.text(), DirectoryOf(path), variant, options, host, error);
  });
}

}  // namespace vorna
