#include "editor/recovery_file.h"

#include <algorithm>
#include <map>
#include <memory>
#include <new>
#include <vector>

#include "io/little_endian.h"
#include "model/model_check.h"

namespace vorna {

namespace {

constexpr std::string_view kMagic{"VORNA-RECOVERY\0\0", 16};
constexpr uint32_t kVersion = 1;
// No name or path of a model comes near this; it only bounds what a damaged copy can ask for.
constexpr uint32_t kMaxText = 64 * 1024;
constexpr int kMaxTextureSide = 16384;

// Both directions walk the Model with one set of functions below: the writer takes each value
// and appends it, the reader fills it, so the two can never disagree about the order.
class Writer {
 public:
  static constexpr bool kReading = false;
  explicit Writer(std::string& out) : w_(out) {}

  bool U8(uint8_t& v) {
    w_.U8(v);
    return true;
  }
  bool U32(uint32_t& v) {
    w_.U32(v);
    return true;
  }
  bool I32(int32_t& v) {
    w_.I32(v);
    return true;
  }
  bool F32(float& v) {
    w_.F32(v);
    return true;
  }
  bool Flag(bool& v) {
    w_.U8(v ? 1 : 0);
    return true;
  }
  bool Text(std::string& text) {
    w_.U32(static_cast<uint32_t>(text.size()));
    w_.Bytes(text);
    return true;
  }
  // The number of elements that follow, each at least `element_bytes` long.
  bool Size(size_t& count, size_t /*max*/, size_t /*element_bytes*/) {
    w_.U32(static_cast<uint32_t>(count));
    return true;
  }
  bool TextureRef(std::shared_ptr<const Texture>& texture) {
    int32_t index = -1;
    if (texture != nullptr) {
      const auto found = texture_index_.find(texture.get());
      index = found->second;
    }
    return I32(index);
  }

  // Numbers every distinct texture of the Model and writes their pixels.
  void Textures(const Model& model) {
    std::vector<const Texture*> order;
    for (const Part& part : model.parts) {
      if (part.texture == nullptr || texture_index_.count(part.texture.get()) > 0) continue;
      texture_index_[part.texture.get()] = static_cast<int32_t>(order.size());
      order.push_back(part.texture.get());
    }
    w_.U32(static_cast<uint32_t>(order.size()));
    for (const Texture* texture : order) {
      const Image& image = texture->levels().front();
      w_.I32(image.width);
      w_.I32(image.height);
      w_.Bytes(
          std::string_view(reinterpret_cast<const char*>(image.rgba.data()), image.rgba.size()));
    }
  }

 private:
  ByteWriter w_;
  std::map<const Texture*, int32_t> texture_index_;
};

class Reader {
 public:
  static constexpr bool kReading = true;
  explicit Reader(std::string_view bytes) : r_(bytes) {}

  bool U8(uint8_t& v) { return r_.U8(&v); }
  bool U32(uint32_t& v) { return r_.U32(&v); }
  bool I32(int32_t& v) { return r_.I32(&v); }
  bool F32(float& v) { return r_.F32(&v); }
  bool Flag(bool& v) {
    uint8_t byte = 0;
    if (!r_.U8(&byte) || byte > 1) return false;
    v = byte == 1;
    return true;
  }
  bool Text(std::string& text) {
    uint32_t length = 0;
    std::string_view bytes;
    if (!r_.U32(&length) || length > kMaxText || !r_.Bytes(length, &bytes)) return false;
    text.assign(bytes);
    return true;
  }
  bool Size(size_t& count, size_t max, size_t element_bytes) {
    uint32_t value = 0;
    if (!r_.U32(&value) || value > max) return false;
    // Checked before anything is allocated: the elements must fit in what is left.
    if (element_bytes > 0 && value > r_.remaining() / element_bytes) return false;
    count = value;
    return true;
  }
  bool TextureRef(std::shared_ptr<const Texture>& texture) {
    int32_t index = -1;
    if (!I32(index) || index < -1 || index >= static_cast<int32_t>(textures_.size())) return false;
    texture = index < 0 ? nullptr : textures_[static_cast<size_t>(index)];
    return true;
  }

  bool Textures() {
    size_t count = 0;
    if (!Size(count, kMaxParts, 8)) return false;
    for (size_t i = 0; i < count; ++i) {
      Image image;
      if (!r_.I32(&image.width) || !r_.I32(&image.height) || image.width <= 0 ||
          image.height <= 0 || image.width > kMaxTextureSide || image.height > kMaxTextureSide) {
        return false;
      }
      const size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
      std::string_view pixels;
      if (!r_.Bytes(bytes, &pixels)) return false;
      image.rgba.assign(pixels.begin(), pixels.end());
      std::shared_ptr<const Texture> texture = Texture::FromImage(std::move(image));
      if (texture == nullptr) return false;
      textures_.push_back(std::move(texture));
    }
    return true;
  }
  bool AtEnd() const { return r_.remaining() == 0; }

 private:
  ByteReader r_;
  std::vector<std::shared_ptr<const Texture>> textures_;
};

template <typename IO>
bool VisitVec(IO& io, Vec3& v) {
  return io.F32(v.x) && io.F32(v.y) && io.F32(v.z);
}

template <typename IO>
bool VisitColour(IO& io, Color& c) {
  return io.F32(c.r) && io.F32(c.g) && io.F32(c.b) && io.F32(c.a);
}

template <typename IO>
bool VisitMatrix(IO& io, Matrix& matrix) {
  for (auto& row : matrix.m) {
    for (float& value : row) {
      if (!io.F32(value)) return false;
    }
  }
  return true;
}

template <typename IO, typename T, size_t N>
bool VisitNumbers(IO& io, std::array<T, N>& values) {
  for (T& value : values) {
    bool ok = false;
    if constexpr (std::is_same_v<T, float>) {
      ok = io.F32(value);
    } else if constexpr (std::is_same_v<T, uint32_t>) {
      ok = io.U32(value);
    } else {
      ok = io.I32(value);
    }
    if (!ok) return false;
  }
  return true;
}

// A vector whose length is stored first; each element at least `element_bytes` in the copy.
template <typename IO, typename T, typename Visit>
bool VisitVector(IO& io, std::vector<T>& values, size_t max, size_t element_bytes, Visit visit) {
  size_t count = values.size();
  if (!io.Size(count, max, element_bytes)) return false;
  if constexpr (IO::kReading) values.assign(count, T{});
  for (T& value : values) {
    if (!visit(value)) return false;
  }
  return true;
}

template <typename IO>
bool VisitPart(IO& io, Part& part) {
  return io.U32(part.first_vertex) && io.U32(part.first_face) && io.U32(part.texture_map_flag) &&
         VisitColour(io, part.material.diffuse) && VisitColour(io, part.material.ambient) &&
         VisitColour(io, part.material.specular) && VisitColour(io, part.material.emissive) &&
         io.F32(part.material.power) && VisitVec(io, part.center) &&
         VisitVec(io, part.corner_min) && VisitVec(io, part.corner_max) &&
         VisitMatrix(io, part.pose_matrix) && io.Text(part.texture_file) &&
         io.TextureRef(part.texture) && io.Flag(part.texture_embedded) &&
         VisitNumbers(io, part.texture_rect) && VisitNumbers(io, part.texture_map_param) &&
         io.I32(part.texture_map_type) && io.U32(part.depth_order);
}

template <typename IO>
bool VisitUnit(IO& io, Unit& unit) {
  return io.U32(unit.basis_type) && io.U32(unit.tree_expanded) &&
         VisitNumbers(io, unit.axis_angle) && VisitVec(io, unit.axis) &&
         VisitVec(io, unit.basis_position) && VisitMatrix(io, unit.pose_matrix) &&
         io.U32(unit.save_order) && VisitNumbers(io, unit.blend_param);
}

// One past the last Unit whose values in `motion` are not those of a fresh Motion: the rest is
// not stored.
size_t UsedUnits(const Motion& motion) {
  const Motion fresh;
  for (size_t unit = kMaxUnits; unit > 0; --unit) {
    const size_t u = unit - 1;
    if (motion.angle[0][u] != 0 || motion.angle[1][u] != 0 || motion.angle[2][u] != 0 ||
        motion.translation[u] != fresh.translation[u] || motion.scale[u] != fresh.scale[u]) {
      return unit;
    }
  }
  return 0;
}

template <typename IO>
bool VisitMotion(IO& io, Motion& motion) {
  size_t units = 0;
  if constexpr (!IO::kReading) units = UsedUnits(motion);
  if (!io.U32(motion.in_use) || !io.Size(units, kMaxUnits, 36)) return false;
  for (size_t u = 0; u < units; ++u) {
    if (!io.I32(motion.angle[0][u]) || !io.I32(motion.angle[1][u]) || !io.I32(motion.angle[2][u]) ||
        !VisitVec(io, motion.translation[u]) || !VisitVec(io, motion.scale[u])) {
      return false;
    }
  }
  return true;
}

template <typename IO>
bool VisitAnim(IO& io, Anim& anim) {
  return io.I32(anim.first_motion) && io.I32(anim.last_motion) && io.U8(anim.loop) &&
         io.Text(anim.name);
}

// The forest: each node's tick and expansion, then every present node with its parent in
// depth-first order (siblings in their order), then the selection.
template <typename IO>
bool VisitForest(IO& io, UnitForest& forest) {
  for (int node = 0; node < kForestCapacity; ++node) {
    ForestNode& n = forest.at(node);
    if (!io.Flag(n.ticked) || !io.Flag(n.expanded)) return false;
  }
  std::vector<std::pair<int32_t, int32_t>> links;
  if constexpr (!IO::kReading) {
    std::vector<int> pending(forest.ChildrenOf(kTopLevel).rbegin(),
                             forest.ChildrenOf(kTopLevel).rend());
    while (!pending.empty() && links.size() < kForestCapacity) {
      const int node = pending.back();
      pending.pop_back();
      links.emplace_back(node, forest.ParentOf(node));
      const std::vector<int>& children = forest.ChildrenOf(node);
      pending.insert(pending.end(), children.rbegin(), children.rend());
    }
  }
  if (!VisitVector(io, links, kForestCapacity, 8,
                   [&](auto& link) { return io.I32(link.first) && io.I32(link.second); })) {
    return false;
  }
  if constexpr (IO::kReading) {
    // Insertion refuses a node given twice or a parent not yet present, so no cycle can form.
    for (const auto& [node, parent] : links) {
      if (!forest.InsertAppended(node, parent)) return false;
    }
  }
  int32_t selected = forest.Selected();
  if (!io.I32(selected)) return false;
  if constexpr (IO::kReading) {
    if (selected != kTopLevel && !forest.Contains(selected)) return false;
    forest.Select(selected);
  }
  return true;
}

// The header's last fields: where the model came from and as what.
template <typename IO>
bool VisitOrigin(IO& io, std::string& model_dir, std::string& model_file_name,
                 int32_t& loaded_type) {
  return io.Text(model_dir) && io.Text(model_file_name) && io.I32(loaded_type);
}

template <typename IO>
bool VisitModel(IO& io, Model& model) {
  const bool scalars =
      io.I32(model.parts_count) && io.I32(model.node_count) && io.I32(model.motion_count) &&
      io.I32(model.anim_count) && io.I32(model.total_vertex_count) &&
      io.I32(model.total_face_count) && VisitVec(io, model.total_center) &&
      VisitVec(io, model.total_corner_min) && VisitVec(io, model.total_corner_max) &&
      io.U8(model.texture_all) && io.U8(model.all_triangles) && io.U8(model.modified) &&
      io.I32(model.current_motion) && io.I32(model.current_anim) && io.I32(model.selected_unit);
  if (!scalars) return false;
  constexpr size_t kMaxElements = size_t{1} << 31;
  const auto vec = [&io](Vec3& v) { return VisitVec(io, v); };
  const auto number = [&io](float& v) { return io.F32(v); };
  if (!VisitVector(io, model.positions, kMaxElements, 12, vec) ||
      !VisitVector(io, model.normals, kMaxElements, 12, vec) ||
      !VisitVector(io, model.tex_u, kMaxElements, 4, number) ||
      !VisitVector(io, model.tex_v, kMaxElements, 4, number) ||
      !VisitVector(io, model.blend, kMaxElements, 4, number) ||
      !VisitVector(io, model.faces, kMaxElements, 16,
                   [&io](Face& face) {
                     return io.U32(face.corner[0]) && io.U32(face.corner[1]) &&
                            io.U32(face.corner[2]) && io.U32(face.corner[3]);
                   }) ||
      !VisitVector(io, model.parts, kMaxParts + 1, 64,
                   [&io](Part& part) { return VisitPart(io, part); })) {
    return false;
  }
  for (Unit& unit : model.units) {
    if (!VisitUnit(io, unit)) return false;
  }
  for (int node = 0; node < kMaxNodes; ++node) {
    if (!io.Text(model.node_name[node]) || !io.I32(model.parent[node])) return false;
  }
  if (!VisitNumbers(io, model.draw_order)) return false;
  for (Motion& motion : model.motions) {
    if (!VisitMotion(io, motion)) return false;
  }
  for (Anim& anim : model.anims) {
    if (!VisitAnim(io, anim)) return false;
  }
  return VisitForest(io, model.forest);
}

bool ReadHeader(Reader& reader, RecoveryHeader* header) {
  std::string magic(kMagic.size(), '\0');
  uint32_t version = 0;
  uint32_t low = 0;
  uint32_t high = 0;
  for (char& c : magic) {
    uint8_t byte = 0;
    if (!reader.U8(byte)) return false;
    c = static_cast<char>(byte);
  }
  if (magic != kMagic || !reader.U32(version) || version != kVersion || !reader.U32(low) ||
      !reader.U32(high)) {
    return false;
  }
  header->written_at = static_cast<int64_t>((uint64_t{high} << 32) | low);
  return true;
}

// What the editor may index without checking again, beyond the model check.
bool SelectionsFit(const Model& model) {
  return model.current_motion >= 0 && model.current_motion < std::max(model.motion_count, 1) &&
         model.selected_unit >= -1 && model.selected_unit < model.unit_count();
}

}  // namespace

std::string EncodeRecoveryCopy(const Model& model, int64_t written_at) {
  std::string out;
  out.reserve(static_cast<size_t>(model.total_vertex_count) * 48 + 512 * 1024);
  Writer writer(out);
  out.append(kMagic);
  uint32_t version = kVersion;
  uint32_t low = static_cast<uint32_t>(static_cast<uint64_t>(written_at));
  uint32_t high = static_cast<uint32_t>(static_cast<uint64_t>(written_at) >> 32);
  writer.U32(version);
  writer.U32(low);
  writer.U32(high);
  // The writer only reads what it is handed.
  Model& readable = const_cast<Model&>(model);
  VisitOrigin(writer, readable.model_dir, readable.model_file_name, readable.loaded_type);
  writer.Textures(model);
  VisitModel(writer, readable);
  return out;
}

bool DecodeRecoveryHeader(std::string_view bytes, RecoveryHeader* header) {
  Reader reader(bytes);
  return ReadHeader(reader, header) &&
         VisitOrigin(reader, header->model_dir, header->model_file_name, header->loaded_type);
}

bool DecodeRecoveryCopy(std::string_view bytes, Model& model, RecoveryHeader* header,
                        ReadError* error) {
  Reset(model);
  bool ok = false;
  try {
    Reader reader(bytes);
    RecoveryHeader read_header;
    ok = ReadHeader(reader, &read_header) &&
         VisitOrigin(reader, model.model_dir, model.model_file_name, model.loaded_type) &&
         reader.Textures() && VisitModel(reader, model) && reader.AtEnd();
    if (!ok) {
      Fail(error, ReadErrorKind::kBadData, "not a whole recovery copy");
    } else if (!CheckModel(model, error)) {
      ok = false;
    } else if (!SelectionsFit(model)) {
      ok =
          Fail(error, ReadErrorKind::kBadData, "the current Motion or Unit lies outside the model");
    }
    if (ok && header != nullptr) {
      read_header.model_dir = model.model_dir;
      read_header.model_file_name = model.model_file_name;
      read_header.loaded_type = model.loaded_type;
      *header = std::move(read_header);
    }
  } catch (const std::bad_alloc&) {
    ok = Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
  if (!ok) Reset(model);
  return ok;
}

}  // namespace vorna
