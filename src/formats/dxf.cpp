#include "formats/dxf.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <new>
#include <unordered_map>
#include <vector>

#include "formats/format_common.h"
#include "formats/text_io.h"
#include "io/atomic_file.h"
#include "model/bounds.h"
#include "model/model_check.h"
#include "model/name_text.h"
#include "model/normals.h"
#include "model/part_range.h"

namespace vorna {

namespace {

// The Model's node tables hold 256 entries, but every other reader refuses 256 Parts, so a DXF
// file with that many layers would save to files that cannot be read back.
constexpr int kDxfMaxParts = kMaxParts - 1;

// Entities that name no layer sit on layer "0", as DXF defines.
constexpr const char* kDefaultLayer = "0";
// What an empty layer line names.
constexpr const char* kUnnamedLayer = "no_name";

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// One corner of the 3DFACE being read. A corner is given once any of its coordinate groups was
// read; coordinates it lacks are 0, the DXF default.
struct DxfCorner {
  Vec3 position;
  bool given = false;
  bool z_seen = false;
};

// The 3DFACE being read. Its corners are turned into vertices only when the entity ends, so a
// layer line after the coordinates still decides the Part, and groups may come in any order.
struct FaceEntity {
  std::string layer;
  bool has_layer = false;
  DxfCorner corners[4];
  // Corners in the order their z groups arrived: vertices are numbered in that order, as the
  // format's own writers (which close each corner with its z) lead readers to expect.
  int z_order[4] = {0, 0, 0, 0};
  int z_count = 0;
};

// Exact-coordinate key for vertex merging. -0.0 and 0.0 share a key; NaN never gets one (it
// equals nothing, itself included).
struct VertexKey {
  uint32_t bits[3];
  friend bool operator==(const VertexKey&, const VertexKey&) = default;
};

struct VertexKeyHash {
  size_t operator()(const VertexKey& key) const {
    uint64_t h = key.bits[0];
    h = h * 0x9E3779B97F4A7C15ull ^ key.bits[1];
    h = h * 0x9E3779B97F4A7C15ull ^ key.bits[2];
    h *= 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }
};

bool KeyOf(Vec3 p, VertexKey* key) {
  for (int axis = 0; axis < 3; ++axis) {
    const float v = p[axis];
    if (v != v) return false;
    key->bits[axis] = std::bit_cast<uint32_t>(v == 0.0f ? 0.0f : v);
  }
  return true;
}

struct DxfPart {
  std::string name;
  uint32_t first_vertex = 0;
  uint32_t first_face = 0;
};

class DxfReader {
 public:
  explicit DxfReader(Host& host) : host_(host) {}

  bool Read(std::string_view bytes, const ProgressCallback& progress, ReadError* error);
  void Build(Model& model) const;

 private:
  bool Refuse(ReadError* error, ReadErrorKind kind, const char* why) const {
    return Fail(error, kind, why, 0, line_number_);
  }
  bool FinishFace(ReadError* error);
  bool VertexOf(Vec3 p, uint32_t* local, ReadError* error);
  void TakeCoordinate(int code, std::string_view value);

  Host& host_;
  uint32_t line_number_ = 0;
  FaceEntity entity_;
  std::vector<DxfPart> parts_;
  std::vector<Vec3> positions_;
  std::vector<Face> faces_;
  // Vertices of the current Part by exact coordinates.
  std::unordered_map<VertexKey, uint32_t, VertexKeyHash> part_vertices_;
};

void DxfReader::TakeCoordinate(int code, std::string_view value) {
  const int axis = code / 10 - 1;
  const int corner = code % 10;
  if (corner > 3) return;
  float v = 0.0f;
  LineScanner scanner(value);
  if (!scanner.Float(&v)) return;
  DxfCorner& c = entity_.corners[corner];
  c.position[axis] = v;
  c.given = true;
  if (axis == 2 && !c.z_seen) {
    c.z_seen = true;
    entity_.z_order[entity_.z_count++] = corner;
  }
}

bool DxfReader::VertexOf(Vec3 p, uint32_t* local, ReadError* error) {
  const uint32_t first = parts_.back().first_vertex;
  VertexKey key;
  const bool mergeable = KeyOf(p, &key);
  if (mergeable) {
    const auto found = part_vertices_.find(key);
    if (found != part_vertices_.end()) {
      *local = found->second;
      return true;
    }
  }
  if (positions_.size() + 1 >= static_cast<size_t>(kDxfMaxVertices)) {
    host_.Message(CapacityMessage("頂点数が", kDxfMaxVertices), MessageIcon::kNone);
    return Refuse(error, ReadErrorKind::kLimit, "too many vertices");
  }
  *local = static_cast<uint32_t>(positions_.size()) - first;
  positions_.push_back(p);
  if (mergeable) part_vertices_.emplace(key, *local);
  return true;
}

bool DxfReader::FinishFace(ReadError* error) {
  const DxfCorner* corners = entity_.corners;
  // A face needs its first three corners; one that lacks any of them has no shape to keep.
  if (!corners[0].given || !corners[1].given || !corners[2].given) return true;

  const std::string layer = entity_.has_layer ? entity_.layer : kDefaultLayer;
  if (parts_.empty() || parts_.back().name != layer) {
    if (parts_.size() >= static_cast<size_t>(kDxfMaxParts)) {
      ShowTooManyParts(host_);
      return Refuse(error, ReadErrorKind::kLimit, "too many parts");
    }
    parts_.push_back(
        {layer, static_cast<uint32_t>(positions_.size()), static_cast<uint32_t>(faces_.size())});
    part_vertices_.clear();
  }

  uint32_t local[4] = {0, 0, 0, 0};
  bool done[4] = {false, false, false, false};
  for (int k = 0; k < entity_.z_count; ++k) {
    const int c = entity_.z_order[k];
    if (!VertexOf(corners[c].position, &local[c], error)) return false;
    done[c] = true;
  }
  for (int c = 0; c < 4; ++c) {
    if (done[c] || !corners[c].given) continue;
    if (!VertexOf(corners[c].position, &local[c], error)) return false;
  }
  // A missing fourth corner is the third one again, as DXF defines for three-sided faces.
  if (!corners[3].given) local[3] = local[2];

  faces_.push_back(
      Face{{local[0], local[1], local[2], local[3] == local[2] ? kNoCorner : local[3]}});
  return true;
}

bool DxfReader::Read(std::string_view bytes, const ProgressCallback& progress, ReadError* error) {
  LineReader lines(bytes);
  ProgressMeter meter(progress, bytes.size());
  std::string_view line;
  bool code_pending = false;
  int32_t code = 0;
  bool in_face = false;
  int faces_seen = 0;
  while (lines.Next(&line)) {
    ++line_number_;
    if (!meter.At(lines.position())) {
      return Refuse(error, ReadErrorKind::kCancelled, "cancelled");
    }
    if (!code_pending) {
      LineScanner scanner(line);
      // A code that is no number is an unknown code: its value is skipped like any other.
      if (!scanner.Int(&code)) code = -1;
      code_pending = true;
      continue;
    }
    code_pending = false;
    if (code == 0) {
      if (in_face && !FinishFace(error)) return false;
      const std::string_view type = TrimBlanks(line);
      in_face = type == "3DFACE";
      if (in_face) {
        if (++faces_seen > kDxfMaxFaces) {
          host_.Message(CapacityMessage("面数が", kDxfMaxFaces), MessageIcon::kNone);
          return Refuse(error, ReadErrorKind::kLimit, "too many faces");
        }
        entity_ = FaceEntity{};
      } else if (type == "EOF") {
        break;
      }
      continue;
    }
    if (!in_face) continue;
    if (code == 8) {
      entity_.layer = line.empty() ? std::string(kUnnamedLayer) : ClampField(line, kNodeNameSize);
      entity_.has_layer = true;
    } else if (code >= 10 && code <= 33) {
      TakeCoordinate(code, line);
    }
  }
  // A file cut short inside a face still keeps that face.
  if (in_face && !FinishFace(error)) return false;
  if (parts_.empty()) {
    host_.Message("3DFACE データがありません", MessageIcon::kNone);
    return Fail(error, ReadErrorKind::kNotThisFormat, "no 3DFACE entity");
  }
  return meter.Finish() || Refuse(error, ReadErrorKind::kCancelled, "cancelled");
}

void DxfReader::Build(Model& model) const {
  const int parts_count = static_cast<int>(parts_.size());
  AllocateParts(model, parts_count);
  AllocateVertices(model, static_cast<int>(positions_.size()));
  AllocateFaces(model, static_cast<int>(faces_.size()));
  for (int p = 0; p < parts_count; ++p) {
    model.parts[p].first_vertex = parts_[p].first_vertex;
    model.parts[p].first_face = parts_[p].first_face;
    model.node_name[p] = parts_[p].name;
  }
  model.parts[parts_count].first_vertex = static_cast<uint32_t>(positions_.size());
  model.parts[parts_count].first_face = static_cast<uint32_t>(faces_.size());
  model.positions = positions_;
  model.faces = faces_;
  RebuildFaces(model, false);
  RecomputeBounds(model);
}

// Layer names go on a line of their own; a line break inside one would shift every later pair.
void AppendLayerName(std::string& out, const std::string& name) {
  for (char c : name) out.push_back(c == '\r' || c == '\n' ? '_' : c);
}

void AppendCorner(std::string& out, int corner, Vec3 p) {
  static constexpr const char* kCodes[4][3] = {
      {"10\r\n", "20\r\n", "30\r\n"},
      {"11\r\n", "21\r\n", "31\r\n"},
      {"12\r\n", "22\r\n", "32\r\n"},
      {"13\r\n", "23\r\n", "33\r\n"},
  };
  for (int axis = 0; axis < 3; ++axis) {
    out.append(kCodes[corner][axis]);
    AppendFloat(out, p[axis]);
    out.append("\r\n");
  }
}

bool NameTaken(const Model& model, int parts, int except, const std::string& name) {
  for (int k = 0; k < parts; ++k) {
    if (k != except && model.node_name[k] == name) return true;
  }
  return false;
}

}  // namespace

bool ParseDxf(Model& model, std::string_view bytes, Host& host, ReadError* error,
              const ProgressCallback& progress) {
  return ParseIntoModel(model, error, [&] {
    DxfReader reader(host);
    if (!reader.Read(bytes, progress, error)) return false;
    reader.Build(model);
    return CheckModel(model, error);
  });
}

bool ImportDxf(Model& model, const std::string& path, Host& host, const ReadOptions& options,
               ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    return ParseDxf(model, file.text(), host, error, options.progress);
  });
}

void MakePartNamesUnique(Model& model) {
  const int parts = UsablePartCount(model);
  assert(parts <= kMaxNodes);
  int counter = 2;
  for (int i = 0; i < parts; ++i) {
    for (int j = i + 1; j < parts; ++j) {
      if (model.node_name[j] != model.node_name[i]) continue;
      const std::string base = model.node_name[j];
      std::string candidate;
      do {
        char suffix[16];
        const int digits = std::snprintf(suffix, sizeof suffix, "%03d", counter++);
        const size_t room = static_cast<size_t>(kNodeNameSize - 1 - digits);
        candidate = base.substr(0, room) + suffix;
      } while (NameTaken(model, parts, j, candidate));
      model.node_name[j] = candidate;
    }
  }
}

std::string FormatDxf(const Model& model, int* non_finite) {
  std::string out;
  out.reserve(static_cast<size_t>(std::max(model.total_face_count, 0)) * 200 + 64);
  out.append("0\r\nSECTION\r\n2\r\nENTITIES\r\n");
  const int parts = UsablePartCount(model);
  assert(parts <= kMaxParts);
  for (int i = 0; i < parts; ++i) {
    const int p = static_cast<int>(model.draw_order[i]);
    if (p >= parts) continue;
    const IndexRange vertices = PartVertexRange(model, p);
    const IndexRange faces = PartFaceRange(model, p);
    for (uint32_t f = faces.begin; f < faces.end; ++f) {
      const Face& face = model.faces[f];
      const bool triangle = face.IsTriangle();
      if (face.corner[0] >= vertices.size() || face.corner[1] >= vertices.size() ||
          face.corner[2] >= vertices.size() || (!triangle && face.corner[3] >= vertices.size())) {
        continue;  // a face outside its Part has no coordinates to write
      }
      out.append("0\r\n3DFACE\r\n8\r\n");
      AppendLayerName(out, model.node_name[p]);
      out.append("\r\n");
      for (int c = 0; c < 4; ++c) {
        // A triangle repeats its third corner as the fourth.
        const uint32_t index = (c == 3 && triangle) ? face.corner[2] : face.corner[c];
        const Vec3 corner = model.positions[vertices.begin + index];
        if (non_finite != nullptr && *non_finite < 0 &&
            !(std::isfinite(corner.x) && std::isfinite(corner.y) && std::isfinite(corner.z))) {
          *non_finite = p;
        }
        AppendCorner(out, c, corner);
      }
    }
  }
  out.append("0\r\nENDSEC\r\n0\r\nEOF\r\n");
  return out;
}

bool ExportDxf(Model& model, const std::string& path, const SaveOptions& options, Host& host,
               WriteError* error) {
  WaitCursor wait(host);
  MakePartNamesUnique(model);
  int non_finite = -1;
  const std::string bytes = FormatDxf(model, &non_finite);
  if (non_finite >= 0) {
    return Fail(error, WriteErrorKind::kModel,
                "Part " + StoredNameAsUtf8(model.node_name[non_finite]) +
                    " has a corner that is not a finite number");
  }
  AtomicFile file;
  if (!file.Open(path, error)) return false;
  SetTitleAndDirectory(model, path);
  return file.WriteAndCommit(bytes, options.progress, error);
}

}  // namespace vorna
