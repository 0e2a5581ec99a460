#include "formats/text_polygon.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "formats/format_common.h"
#include "formats/text_io.h"
#include "model/bounds.h"
#include "model/model_check.h"
#include "model/normals.h"

namespace vorna {

namespace {

enum Tag : int {
  kMeshOpen,
  kMeshClose,
  kName,
  kColour,
  kVertexOpen,
  kVertexClose,
  kPosition,
  kFaceOpen,
  kFaceClose,
  kCorner,
  kTexture,
  kTagCount,
};

constexpr std::string_view kTagText[kTagCount] = {
    "<polygon_mesh>",        "</polygon_mesh>", "<string string=\"",
    "<rgb rgb=\"",           "<vertex>",        "</vertex>",
    "<position vec3=\"",     "<face>",          "</face>",
    "<vertex_number int=\"", "<uv vec3=\"",
};

// Faces with this many corners or more are refused.
constexpr int64_t kMaxCorners = kTextPolygonCornerLimit - 1;

// Which tags a line holds and where each first occurs (as a substring search would find it).
class LineTags {
 public:
  explicit LineTags(std::string_view line) : line_(line) {
    const char* begin = line.data();
    const char* end = begin + line.size();
    for (const char* p = begin; p < end;) {
      p = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
      if (p == nullptr) break;
      const std::string_view rest(p, static_cast<size_t>(end - p));
      for (int t = 0; t < kTagCount; ++t) {
        if ((present_ & (1u << t)) == 0 && rest.starts_with(kTagText[t])) {
          present_ |= 1u << t;
          position_[t] = static_cast<size_t>(p - begin);
        }
      }
      ++p;
    }
  }
  bool Has(Tag tag) const { return (present_ & (1u << tag)) != 0; }
  bool Any() const { return present_ != 0; }
  // The rest of the line after the tag's first occurrence.
  std::string_view After(Tag tag) const {
    return line_.substr(position_[tag] + kTagText[tag].size());
  }

 private:
  std::string_view line_;
  uint32_t present_ = 0;
  size_t position_[kTagCount] = {};
};

// Reads up to `count` numbers into `values`; those that do not convert keep their value, as a
// scanf conversion stops at the first field it cannot read.
void ReadFloats(std::string_view text, float* values, int count) {
  LineScanner scanner(text);
  for (int k = 0; k < count; ++k) {
    if (!scanner.Float(&values[k])) break;
  }
}

struct MeshCounts {
  int64_t vertices = 0;  // "<vertex>" elements
  int64_t centres = 0;   // vertices added for faces of five or more corners
  int64_t faces = 0;
};

// A face of five or more corners: its added vertex is placed once every position is known.
struct FanFace {
  uint32_t first_vertex = 0;  // of its Part
  uint32_t centre = 0;        // global vertex index
  uint32_t first_face = 0;    // its first triangle
  uint32_t corners = 0;
};

// Both passes walk the file with the same rules, so that the second writes exactly the vertices
// and faces the first counted.
class TextPolygonReader {
 public:
  // The two passes each count for half of `progress`.
  TextPolygonReader(Model& model, std::string_view bytes, Host& host,
                    const ProgressCallback& progress)
      : model_(model), bytes_(bytes), host_(host), meter_(progress, 2 * bytes.size()) {}
  bool Read(ReadError* error);

 private:
  enum Element { kNoElement, kInVertex, kInFace };

  bool Refuse(ReadError* error, ReadErrorKind kind, const char* why) const {
    return Fail(error, kind, why, 0, line_number_);
  }
  bool Walk(ReadError* error);
  bool EndFace(ReadError* error);
  bool StoreFace(ReadError* error);
  void EndMesh();
  bool Allocate(ReadError* error);
  void PlaceCentres();
  // Meshes the current pass keeps: counting keeps the first kMaxParts (more fail anyway),
  // reading the closed ones.
  uint32_t line_number_ = 0;
  bool Kept(int mesh) const { return counting_ ? mesh < kMaxParts : mesh < model_.parts_count; }

  Model& model_;
  std::string_view bytes_;
  Host& host_;
  ProgressMeter meter_;
  bool counting_ = true;

  // Per mesh, from the counting pass.
  std::vector<MeshCounts> counts_;
  int meshes_closed_ = 0;

  // Walking state.
  int mesh_ = 0;
  bool in_mesh_ = false;
  Element element_ = kNoElement;
  MeshCounts seen_;  // of the current mesh so far
  bool named_ = false;
  int64_t corner_count_ = 0;
  std::vector<uint32_t> corners_;
  std::vector<std::pair<float, float>> texture_;
  uint32_t current_vertex_ = 0;
  bool have_vertex_ = false;
  std::vector<FanFace> fans_;
};

void TextPolygonReader::EndMesh() {
  if (!counting_ && Kept(mesh_) && !named_) model_.node_name[mesh_] = "no_name";
  if (counting_ && Kept(mesh_)) counts_.push_back(seen_);
  ++mesh_;
  seen_ = MeshCounts{};
  named_ = false;
  have_vertex_ = false;
}

bool TextPolygonReader::StoreFace(ReadError* error) {
  const Part& part = model_.parts[mesh_];
  const uint32_t own_vertices = static_cast<uint32_t>(counts_[mesh_].vertices);
  for (uint32_t c : corners_) {
    if (c >= own_vertices)
      return Refuse(error, ReadErrorKind::kBadData, "a face names a vertex its mesh does not have");
  }
  const size_t n = corners_.size();
  const size_t textured = std::min(n, texture_.size());
  for (size_t k = 0; k < textured; ++k) {
    model_.tex_u[part.first_vertex + corners_[k]] = texture_[k].first;
    model_.tex_v[part.first_vertex + corners_[k]] = texture_[k].second;
  }
  const int64_t needed = n <= 4 ? 1 : static_cast<int64_t>(n);
  if (seen_.faces + needed > counts_[mesh_].faces)
    return Refuse(error, ReadErrorKind::kBadData, "faces beyond the count");
  uint32_t face = part.first_face + static_cast<uint32_t>(seen_.faces);
  seen_.faces += needed;
  if (n <= 4) {
    model_.faces[face] =
        Face{{corners_[0], corners_[1], corners_[2], n == 4 ? corners_[3] : kNoCorner}};
    return true;
  }
  if (seen_.centres >= counts_[mesh_].centres)
    return Refuse(error, ReadErrorKind::kBadData, "vertices beyond the count");
  const uint32_t centre = static_cast<uint32_t>(counts_[mesh_].vertices + seen_.centres);
  ++seen_.centres;
  fans_.push_back({part.first_vertex, part.first_vertex + centre, face, static_cast<uint32_t>(n)});
  for (size_t k = 0; k < n; ++k) {
    model_.faces[face++] = Face{{corners_[k], corners_[(k + 1) % n], centre, kNoCorner}};
  }
  if (textured == n) {
    double u = 0.0, v = 0.0;
    for (size_t k = 0; k < n; ++k) {
      u += texture_[k].first;
      v += texture_[k].second;
    }
    model_.tex_u[part.first_vertex + centre] = static_cast<float>(u / static_cast<double>(n));
    model_.tex_v[part.first_vertex + centre] = static_cast<float>(v / static_cast<double>(n));
  }
  return true;
}

bool TextPolygonReader::EndFace(ReadError* error) {
  if (corner_count_ >= kMaxCorners) {
    if (!counting_) return Refuse(error, ReadErrorKind::kLimit, "a face with too many corners");
    host_.Message(CapacityMessage("１面当たりの頂点数が", kTextPolygonCornerLimit),
                  MessageIcon::kNone);
    return Refuse(error, ReadErrorKind::kLimit, "a face with too many corners");
  }
  // Fewer than three corners make no surface.
  if (corner_count_ < 3 || !Kept(mesh_)) return true;
  if (counting_) {
    seen_.faces += corner_count_ <= 4 ? 1 : corner_count_;
    if (corner_count_ > 4) ++seen_.centres;
    return true;
  }
  return StoreFace(error);
}

bool TextPolygonReader::Walk(ReadError* error) {
  mesh_ = 0;
  in_mesh_ = false;
  element_ = kNoElement;
  seen_ = MeshCounts{};
  named_ = false;
  have_vertex_ = false;
  LineReader lines(bytes_);
  std::string_view line;
  line_number_ = 0;
  const size_t pass_start = counting_ ? 0 : bytes_.size();
  while (lines.Next(&line)) {
    ++line_number_;
    if (!meter_.At(pass_start + lines.position())) {
      return Refuse(error, ReadErrorKind::kCancelled, "cancelled");
    }
    const LineTags tags(line);
    if (!tags.Any()) continue;
    if (tags.Has(kMeshOpen)) {
      in_mesh_ = true;
    } else if (tags.Has(kMeshClose)) {
      in_mesh_ = false;
      EndMesh();
    }
    const bool kept = Kept(mesh_);
    if (!counting_ && !kept) break;  // after the last closed mesh nothing is kept
    if (!counting_ && tags.Has(kColour) && in_mesh_) {
      Material& material = model_.parts[mesh_].material;
      float rgb[3] = {material.diffuse.r, material.diffuse.g, material.diffuse.b};
      ReadFloats(tags.After(kColour), rgb, 3);
      material.diffuse = {rgb[0], rgb[1], rgb[2], material.diffuse.a};
      material.ambient = material.diffuse;
    }
    if (!counting_ && tags.Has(kName)) {
      std::string_view value = tags.After(kName);
      value = value.substr(0, value.rfind('"') == std::string_view::npos ? 0 : value.rfind('"'));
      std::string name;
      LineScanner scanner(value);
      if (scanner.Word(&name, kNodeNameSize - 1)) {
        model_.node_name[mesh_] = name;
        named_ = true;
      }
    }
    if (tags.Has(kVertexOpen)) {
      element_ = kInVertex;
      if (kept) {
        current_vertex_ = static_cast<uint32_t>(seen_.vertices);
        have_vertex_ = true;
        ++seen_.vertices;
      }
    } else if (tags.Has(kVertexClose)) {
      element_ = kNoElement;
    } else if (tags.Has(kFaceOpen)) {
      element_ = kInFace;
      corner_count_ = 0;
      corners_.clear();
      texture_.clear();
    } else if (tags.Has(kFaceClose)) {
      if (element_ == kInFace && !EndFace(error)) return false;
      element_ = kNoElement;
    }
    if (!counting_ && tags.Has(kPosition) && element_ == kInVertex && have_vertex_ &&
        current_vertex_ < counts_[mesh_].vertices) {
      const uint32_t global = model_.parts[mesh_].first_vertex + current_vertex_;
      Vec3& p = model_.positions[global];
      float xyz[3] = {p.x, p.y, p.z};
      ReadFloats(tags.After(kPosition), xyz, 3);
      p = {xyz[0], xyz[1], xyz[2]};
    }
    if (tags.Has(kCorner) && element_ == kInFace) {
      int32_t number = 0;
      LineScanner scanner(tags.After(kCorner));
      // A corner line without a number names no vertex and is no corner.
      if (scanner.Int(&number)) {
        if (corner_count_ < kMaxCorners) {
          // Negative numbers become huge and are refused with the others out of range.
          corners_.push_back(static_cast<uint32_t>(number));
        }
        ++corner_count_;
      }
    }
    if (!counting_ && tags.Has(kTexture) && element_ == kInFace && texture_.size() < kMaxCorners) {
      float uv[2] = {0.0f, 0.0f};
      ReadFloats(tags.After(kTexture), uv, 2);
      texture_.emplace_back(uv[0], uv[1]);
    }
  }
  if (counting_) meshes_closed_ = mesh_;
  return true;
}

bool TextPolygonReader::Allocate(ReadError* error) {
  const int parts_count = meshes_closed_;
  if (parts_count == 0) return Refuse(error, ReadErrorKind::kNotThisFormat, "no mesh");
  const MeshCounts& first = counts_.front();
  if (first.vertices + first.centres == 0 || first.faces == 0) {
    return Refuse(error, ReadErrorKind::kInvalidModel,
                  "the first mesh has no vertices or no faces");
  }
  if (parts_count >= kMaxParts) {
    ShowTooManyParts(host_);
    return Refuse(error, ReadErrorKind::kLimit, "too many parts");
  }
  int64_t vertices = 0, faces = 0;
  for (const MeshCounts& c : counts_) {
    vertices += c.vertices + c.centres;
    faces += c.faces;
  }
  if (vertices > std::numeric_limits<int32_t>::max() ||
      faces > std::numeric_limits<int32_t>::max()) {
    return Refuse(error, ReadErrorKind::kLimit, "too many vertices or faces");
  }
  AllocateParts(model_, parts_count);
  uint32_t first_vertex = 0, first_face = 0;
  for (int p = 0; p <= parts_count; ++p) {
    model_.parts[p].first_vertex = first_vertex;
    model_.parts[p].first_face = first_face;
    if (p < parts_count) {
      first_vertex += static_cast<uint32_t>(counts_[p].vertices + counts_[p].centres);
      first_face += static_cast<uint32_t>(counts_[p].faces);
    }
  }
  AllocateVertices(model_, static_cast<int>(vertices));
  AllocateFaces(model_, static_cast<int>(faces));
  return true;
}

// The added vertex of a large face sits at the mean of the face's corners, which are the first
// corners of its triangles. Done after reading, so that vertices listed after the face count too.
void TextPolygonReader::PlaceCentres() {
  for (const FanFace& fan : fans_) {
    const uint32_t first_vertex = fan.first_vertex;
    double sum[3] = {0.0, 0.0, 0.0};
    for (uint32_t k = 0; k < fan.corners; ++k) {
      const Vec3 p = model_.positions[first_vertex + model_.faces[fan.first_face + k].corner[0]];
      for (int axis = 0; axis < 3; ++axis) sum[axis] += p[axis];
    }
    const double n = fan.corners;
    model_.positions[fan.centre] = {static_cast<float>(sum[0] / n), static_cast<float>(sum[1] / n),
                                    static_cast<float>(sum[2] / n)};
  }
}

bool TextPolygonReader::Read(ReadError* error) {
  counting_ = true;
  if (!Walk(error)) return false;
  line_number_ = 0;
  if (!Allocate(error)) return false;
  counting_ = false;
  if (!Walk(error)) return false;
  PlaceCentres();
  // The files face the other way: a half turn about Y. Subtracting from zero keeps a coordinate
  // of 0 at +0.
  for (Vec3& p : model_.positions) {
    p.x = 0.0f - p.x;
    p.z = 0.0f - p.z;
  }
  RebuildFaces(model_, false);
  RecomputeBounds(model_);
  return CheckModel(model_, error) &&
         (meter_.Finish() || Refuse(error, ReadErrorKind::kCancelled, "cancelled"));
}

}  // namespace

bool ParseTextPolygon(Model& model, std::string_view bytes, Host& host, ReadError* error,
                      const ProgressCallback& progress) {
  return ParseIntoModel(model, error, [&] {
    TextPolygonReader reader(model, bytes, host, progress);
    return reader.Read(error);
  });
}

bool ReadTextPolygon(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                     ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    return ParseTextPolygon(model, file.text(), host, error, options.progress);
  });
}

}  // namespace vorna
