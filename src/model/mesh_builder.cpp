#include "model/mesh_builder.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

#include "io/whole_file.h"
#include "model/bounds.h"
#include "model/model_check.h"
#include "model/normals.h"

namespace vorna {

namespace {

// Room for `more` elements, at least doubling, so that many small meshes cost what one large one
// does instead of copying a Part once per mesh.
template <class T>
void GrowFor(std::vector<T>& v, size_t more) {
  if (more <= v.capacity() - v.size()) return;
  v.reserve(std::max(v.size() + more, 2 * v.capacity()));
  AdviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

// Appends `from` to `into`, which is to hold `total` in the end: the first list is taken whole
// rather than copied, so that a model of one Part is never copied at all.
template <class T>
void Gather(std::vector<T>& into, std::vector<T>& from, size_t total) {
  if (into.empty()) {
    into = std::move(from);
    into.reserve(total);
    return;
  }
  into.insert(into.end(), from.begin(), from.end());
}

float At(std::span<const float> values, size_t i) { return values.empty() ? 0.0f : values[i]; }

int CornerCount(const SplitFace& f) { return f.vertex[3] == kNoCorner ? 3 : 4; }

// Canonical bits of a normal component: -0 equals +0.
uint32_t Bits(float f) {
  if (f == 0.0f) return 0;
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return bits;
}

// The vertices one mesh has made so far, found by what makes two corners one vertex of a Part:
// the same mesh vertex, the same Part and normals of equal value (both missing counts as equal).
// A normal with a NaN equals no value, so only the very same normal index joins it.
//
// Open addressing over a power-of-two table kept at most half full. A key's first slot follows
// its mesh vertex, so that faces walking a mesh touch the table as they touch the vertices; the
// further slots step by a hash of the whole key, so that many normals at one vertex (a hostile
// file) still cost a few probes each.
class SplitTable {
 public:
  // Sized for `expected` vertices; it grows past them.
  SplitTable(std::span<const Vec3> normals, size_t expected) : normals_(normals) {
    size_t size = 64;
    while (size < 2 * expected) size *= 2;
    slots_.resize(size);
  }

  // The Part-local vertex made for (vertex, part, normal), or null.
  const uint32_t* Find(uint32_t vertex, uint32_t part, uint32_t normal) const {
    const size_t mask = slots_.size() - 1;
    const size_t step = Step(vertex, part, normal);
    for (size_t i = (2 * size_t{vertex}) & mask;; i = (i + step) & mask) {
      const Slot& s = slots_[i];
      if (s.made == kEmpty) return nullptr;
      if (s.vertex == vertex && s.part == part && SameNormal(s.normal, normal)) return &s.made;
    }
  }

  void Add(uint32_t vertex, uint32_t part, uint32_t normal, uint32_t made) {
    if (2 * (count_ + 1) > slots_.size()) Rehash();
    Place({vertex, part, normal, made});
    ++count_;
  }

 private:
  static constexpr uint32_t kEmpty = 0xFFFFFFFFu;
  struct Slot {
    uint32_t vertex = 0, part = 0, normal = 0, made = kEmpty;
  };

  bool SameNormal(uint32_t a, uint32_t b) const {
    return a == b || (a != kNoNormal && b != kNoNormal && normals_[a] == normals_[b]);
  }

  // Odd, so that the steps visit every slot. Keys equal under SameNormal step alike: a NaN
  // normal counts by its index, any other by its value.
  size_t Step(uint32_t vertex, uint32_t part, uint32_t normal) const {
    uint32_t words[5] = {vertex, part, normal, 0, 0};
    if (normal != kNoNormal) {
      const Vec3& n = normals_[normal];
      if (!std::isnan(n.x) && !std::isnan(n.y) && !std::isnan(n.z)) {
        words[2] = Bits(n.x);
        words[3] = Bits(n.y);
        words[4] = Bits(n.z);
      }
    }
    uint64_t h = 0x9E3779B97F4A7C15ull;
    for (uint32_t word : words) {
      h = (h ^ word) * 0xFF51AFD7ED558CCDull;
      h ^= h >> 29;
    }
    return static_cast<size_t>(h) | 1;
  }

  void Place(const Slot& slot) {
    const size_t mask = slots_.size() - 1;
    const size_t step = Step(slot.vertex, slot.part, slot.normal);
    size_t i = (2 * size_t{slot.vertex}) & mask;
    while (slots_[i].made != kEmpty) i = (i + step) & mask;
    slots_[i] = slot;
  }

  void Rehash() {
    std::vector<Slot> old(2 * slots_.size());
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.made != kEmpty) Place(slot);
    }
  }

  std::span<const Vec3> normals_;
  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace

MeshBuilder::MeshBuilder(Host& host, MeshLimits limits) : host_(host), limits_(limits) {}

bool MeshBuilder::AddPart(ReadError* error) {
  if (parts_.size() + 1 >= static_cast<size_t>(kMaxParts)) {
    ShowTooManyParts(host_);
    return Fail(error, ReadErrorKind::kLimit, "256 or more Parts");
  }
  parts_.emplace_back();
  return true;
}

bool MeshBuilder::CheckMesh(const MeshVertices& mesh, ReadError* error) const {
  const size_t n = mesh.positions.size();
  for (size_t size : {mesh.tex_u.size(), mesh.tex_v.size(), mesh.blend.size()}) {
    assert(size == 0 || size == n);
    if (size != 0 && size != n) {
      return Fail(error, ReadErrorKind::kBadData, "vertex lists of different lengths");
    }
  }
  return true;
}

bool MeshBuilder::RoomFor(size_t vertices, size_t faces, ReadError* error) const {
  if (vertices > limits_.max_vertices - vertex_total_) {
    return Fail(error, ReadErrorKind::kLimit, "more vertices than a model holds");
  }
  if (faces > limits_.max_faces - face_total_) {
    return Fail(error, ReadErrorKind::kLimit, "more faces than a model holds");
  }
  return true;
}

void MeshBuilder::AppendVertex(PartGeometry& part, const MeshVertices& mesh, size_t v,
                               const Vec3* normal) {
  part.positions.push_back(mesh.positions[v]);
  part.normals.push_back(normal != nullptr ? *normal : Vec3{});
  part.has_normal.push_back(normal != nullptr ? 1 : 0);
  part.tex_u.push_back(At(mesh.tex_u, v));
  part.tex_v.push_back(At(mesh.tex_v, v));
  part.blend.push_back(At(mesh.blend, v));
}

bool MeshBuilder::AddMesh(int part_index, const MeshVertices& mesh, std::span<const Face> faces,
                          ReadError* error) {
  const size_t n = mesh.positions.size();
  assert(part_index >= 0 && static_cast<size_t>(part_index) < parts_.size());
  assert(mesh.normals.empty() || mesh.normals.size() == n);
  if (!CheckMesh(mesh, error) || !RoomFor(n, faces.size(), error)) return false;
  for (const Face& f : faces) {
    const bool fits = f.corner[0] < n && f.corner[1] < n && f.corner[2] < n &&
                      (f.corner[3] == kNoCorner || f.corner[3] < n);
    if (!fits) return Fail(error, ReadErrorKind::kBadData, "a face names a vertex its mesh lacks");
  }
  PartGeometry& part = parts_[static_cast<size_t>(part_index)];
  const uint32_t base = static_cast<uint32_t>(part.positions.size());
  for (auto* list : {&part.tex_u, &part.tex_v, &part.blend}) GrowFor(*list, n);
  GrowFor(part.positions, n);
  GrowFor(part.normals, n);
  GrowFor(part.has_normal, n);
  // What AppendVertex does for each vertex, a list at a time.
  const auto append = [n](auto& list, const auto& values, auto otherwise) {
    if (values.empty()) {
      list.insert(list.end(), n, otherwise);
    } else {
      list.insert(list.end(), values.begin(), values.end());
    }
  };
  append(part.positions, mesh.positions, Vec3{});
  append(part.normals, mesh.normals, Vec3{});
  part.has_normal.insert(part.has_normal.end(), n, mesh.normals.empty() ? 0 : 1);
  append(part.tex_u, mesh.tex_u, 0.0f);
  append(part.tex_v, mesh.tex_v, 0.0f);
  append(part.blend, mesh.blend, 0.0f);
  GrowFor(part.faces, faces.size());
  for (Face f : faces) {
    for (uint32_t& c : f.corner) c = c == kNoCorner ? c : c + base;
    part.faces.push_back(f);
  }
  vertex_total_ += n;
  face_total_ += faces.size();
  return true;
}

bool MeshBuilder::AddSplitMesh(const MeshVertices& mesh, std::span<const SplitFace> faces,
                               ReadError* error) {
  if (!CheckMesh(mesh, error) || !RoomFor(0, faces.size(), error)) return false;
  const size_t n = mesh.positions.size();
  // Most corners share their vertex with others: about one vertex per position is made.
  SplitTable table(mesh.normals, std::min(n, 4 * faces.size()));
  for (const SplitFace& f : faces) {
    if (f.part >= parts_.size()) {
      return Fail(error, ReadErrorKind::kBadData, "a face names a Part that does not exist");
    }
    PartGeometry& part = parts_[f.part];
    Face face;
    for (int k = 0; k < CornerCount(f); ++k) {
      const uint32_t normal = f.normal[k];
      if (f.vertex[k] >= n || (normal != kNoNormal && normal >= mesh.normals.size())) {
        return Fail(error, ReadErrorKind::kBadData, "a face names a vertex its mesh lacks");
      }
      if (const uint32_t* made = table.Find(f.vertex[k], f.part, normal)) {
        face.corner[k] = *made;
        continue;
      }
      if (!RoomFor(1, 0, error)) return false;
      face.corner[k] = static_cast<uint32_t>(part.positions.size());
      table.Add(f.vertex[k], f.part, normal, face.corner[k]);
      AppendVertex(part, mesh, f.vertex[k], normal == kNoNormal ? nullptr : &mesh.normals[normal]);
      ++vertex_total_;
    }
    part.faces.push_back(face);
  }
  face_total_ += faces.size();
  return true;
}

bool MeshBuilder::Build(Model& model, ReadError* error) {
  if (face_total_ == 0) return Fail(error, ReadErrorKind::kInvalidModel, "the file has no faces");
  const int part_count = static_cast<int>(parts_.size());
  AllocateParts(model, part_count);
  // The per-vertex arrays are built in place rather than allocated zeroed and overwritten.
  model.total_vertex_count = static_cast<int32_t>(vertex_total_);
  model.total_face_count = static_cast<int32_t>(face_total_);
  std::vector<uint8_t> given;
  const auto in_any_part = [&](uint8_t has_normal) {
    return std::any_of(parts_.begin(), parts_.end(), [&](const PartGeometry& p) {
      return std::find(p.has_normal.begin(), p.has_normal.end(), has_normal) != p.has_normal.end();
    });
  };
  const bool missing_normals = in_any_part(0);
  const bool given_normals = in_any_part(1);
  for (int p = 0; p < part_count; ++p) {
    PartGeometry& data = parts_[static_cast<size_t>(p)];
    Part& part = model.parts[p];
    part.first_vertex = static_cast<uint32_t>(model.positions.size());
    part.first_face = static_cast<uint32_t>(model.faces.size());
    Gather(model.positions, data.positions, vertex_total_);
    Gather(model.normals, data.normals, vertex_total_);
    Gather(model.tex_u, data.tex_u, vertex_total_);
    Gather(model.tex_v, data.tex_v, vertex_total_);
    Gather(model.blend, data.blend, vertex_total_);
    Gather(model.faces, data.faces, face_total_);
    if (missing_normals && given_normals) Gather(given, data.has_normal, vertex_total_);
    PartLook& look = data.look;
    part.material = look.material;
    part.texture_file = std::move(look.texture_file);
    part.texture_embedded = look.texture_embedded;
    part.texture = std::move(look.texture);
    if (part.texture != nullptr) {
      part.texture_rect = {0, 0, part.texture->width(), part.texture->height()};
    }
    model.node_name[p] = std::move(look.name);
    data = PartGeometry{};
  }
  model.parts[part_count].first_vertex = static_cast<uint32_t>(vertex_total_);
  model.parts[part_count].first_face = static_cast<uint32_t>(face_total_);
  if (missing_normals && !given_normals) {
    ComputeNormals(model);
  } else if (missing_normals) {
    // Computed for every vertex, kept only where the file gave none.
    const std::vector<Vec3> file_normals = model.normals;
    ComputeNormals(model);
    for (size_t v = 0; v < vertex_total_; ++v) {
      if (given[v]) model.normals[v] = file_normals[v];
    }
  }
  RecomputeBounds(model);
  return CheckModel(model, error);
}

}  // namespace vorna
