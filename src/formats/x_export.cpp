#include "formats/x_export.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/xfile/names.h"
#include "io/atomic_file.h"
#include "maths/matrix.h"
#include "model/hierarchy.h"
#include "model/normals.h"

namespace vorna {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

// Declared in this order; a file declares the first 13 (a still model), 21 (animated) or all 24
// (skinned).
constexpr const char* kTemplates[] = {
    "Header",
    "Vector",
    "Coords2d",
    "Matrix4x4",
    "ColorRGBA",
    "ColorRGB",
    "TextureFilename",
    "Material",
    "MeshFace",
    "MeshMaterialList",
    "MeshTextureCoords",
    "MeshNormals",
    "Mesh",
    "FrameTransformMatrix",
    "Frame",
    "FloatKeys",
    "TimedFloatKeys",
    "AnimationKey",
    "Animation",
    "AnimationSet",
    "AnimTicksPerSecond",
    "VertexDuplicationIndices",
    "XSkinMeshHeader",
    "SkinWeights",
};

float Radians(int32_t degrees) { return static_cast<float>(degrees) * kPi / 180.0f; }

struct Quaternion {
  float x = 0, y = 0, z = 0, w = 1;
};

// The Hamilton product a * b.
Quaternion Hamilton(const Quaternion& a, const Quaternion& b) {
  return {
      a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
      a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// q1 applied first, then q2.
Quaternion Then(const Quaternion& q1, const Quaternion& q2) { return Hamilton(q2, q1); }

Quaternion RotAxis(Vec3 axis, float radians) {
  const Vec3 a = Normalize(axis);
  const float s = std::sin(radians / 2.0f);
  return {a.x * s, a.y * s, a.z * s, std::cos(radians / 2.0f)};
}

Quaternion Normalised(const Quaternion& q) {
  const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (!(length > 0.0f)) return q;
  return {q.x / length, q.y / length, q.z / length, q.w / length};
}

Matrix UnitRotation(const Model& model, int motion, int unit) {
  const Unit& u = model.units[unit];
  const Motion& m = model.motions[motion];
  if (u.basis_type == 1) return RotationAxis(Normalize(u.axis), Radians(m.angle[0][unit]));
  return RotationXYZ(m.angle[0][unit], m.angle[1][unit], m.angle[2][unit]);
}

// Stored key files expect this start and order: the leading x = 1 turns the reader's w-first
// reading of our x-first values into the rotation the frame matrix holds (transposed).
Quaternion RotationKey(const Model& model, int motion, int unit) {
  const Unit& u = model.units[unit];
  const Motion& m = model.motions[motion];
  const Quaternion start{1.0f, 0.0f, 0.0f, 0.0f};
  if (u.basis_type == 1) {
    const float theta = static_cast<float>(m.angle[0][unit]) / 180.0f * kPi;
    return Normalised(Then(start, RotAxis({u.axis.z, u.axis.y, -u.axis.x}, theta)));
  }
  Quaternion q = Then(start, RotAxis({0, 0, 1}, -Radians(m.angle[0][unit])));
  q = Then(q, RotAxis({0, 1, 0}, Radians(m.angle[1][unit])));
  q = Then(q, RotAxis({1, 0, 0}, Radians(m.angle[2][unit])));
  return Normalised(q);
}

bool SameMaterial(const Part& a, const Part& b) {
  const Material& x = a.material;
  const Material& y = b.material;
  return x.diffuse == y.diffuse && x.ambient.r == y.ambient.r && x.ambient.g == y.ambient.g &&
         x.ambient.b == y.ambient.b && x.specular.r == y.specular.r &&
         x.specular.g == y.specular.g && x.specular.b == y.specular.b &&
         x.emissive.r == y.emissive.r && x.emissive.g == y.emissive.g &&
         x.emissive.b == y.emissive.b && x.power == y.power && a.texture_file == b.texture_file;
}

void AddMatrix(xfile::DataObject& object, const Matrix& m) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 4; ++c) object.AddNumber(m.m[r][c]);
  }
}

// A mesh's Parts in the order the file lists them, with their material index and vertex offset.
struct MeshPart {
  int part;
  uint32_t material;
  uint32_t offset;
};

class XDocumentBuilder {
 public:
  XDocumentBuilder(Model& model, const XOptions& options, Host& host, xfile::Document& document)
      : model_(model),
        options_(options),
        host_(host),
        doc_(document),
        names_(options.format != XFileFormat::kBinary &&
               options.format != XFileFormat::kCompressedBinary) {}

  void Build();

 private:
  int ParentUnit(int node) const {
    const int p = model_.parent[node];
    return p > 0 && model_.IsUnitNode(p) ? model_.UnitOfNode(p) : -1;
  }
  int OwnerUnit(int part) const { return ParentUnit(part); }
  Vec3 ParentBasis(int unit) const {
    const int p = ParentUnit(model_.NodeOfUnit(unit));
    return p >= 0 ? model_.units[p].basis_position : Vec3{};
  }
  std::vector<MeshPart> Arrange(std::vector<int> parts, uint32_t* material_count) const;
  xfile::DataObject* AddMesh(const std::vector<int>& parts, Vec3 shift, bool skinned,
                             xfile::DataObject* parent);
  void AddSkin(xfile::DataObject& mesh, const std::vector<MeshPart>& arranged,
               const std::vector<uint32_t>& corners);
  Matrix FrameMatrix(int unit) const;
  void AddFrame(int unit, xfile::DataObject* parent);
  void AddAnimationSet(const std::string& name, int first, int last, bool loop, size_t slot);

  Model& model_;
  const XOptions& options_;
  Host& host_;
  xfile::Document& doc_;
  xfile::NameTable names_;
  std::vector<std::string> frame_names_;
  std::vector<xfile::DataObject*> frames_;
  std::vector<std::vector<int>> children_;  // child units per unit, in save_order
};

std::vector<MeshPart> XDocumentBuilder::Arrange(std::vector<int> parts,
                                                uint32_t* material_count) const {
  std::vector<int> rank(static_cast<size_t>(model_.parts_count), kMaxParts);
  for (int k = 0; k < model_.parts_count && k < kMaxParts; ++k) {
    const uint32_t p = model_.draw_order[k];
    if (p < static_cast<uint32_t>(model_.parts_count) && rank[p] == kMaxParts) rank[p] = k;
  }
  std::stable_sort(parts.begin(), parts.end(), [&](int a, int b) { return rank[a] < rank[b]; });
  std::vector<int> table;  // one Part standing for each material
  std::vector<uint32_t> index(parts.size());
  for (size_t i = 0; i < parts.size(); ++i) {
    size_t t = 0;
    while (t < table.size() && !SameMaterial(model_.parts[table[t]], model_.parts[parts[i]])) ++t;
    if (t == table.size()) table.push_back(parts[i]);
    index[i] = static_cast<uint32_t>(t);
  }
  std::vector<MeshPart> arranged;
  uint32_t offset = 0;
  for (uint32_t t = 0; t < table.size(); ++t) {
    for (size_t i = 0; i < parts.size(); ++i) {
      if (index[i] != t) continue;
      arranged.push_back({parts[i], t, offset});
      offset += model_.PartVertexCount(parts[i]);
    }
  }
  *material_count = static_cast<uint32_t>(table.size());
  return arranged;
}

xfile::DataObject* XDocumentBuilder::AddMesh(const std::vector<int>& parts, Vec3 shift,
                                             bool skinned, xfile::DataObject* parent) {
  uint32_t material_count = 0;
  const std::vector<MeshPart> arranged = Arrange(parts, &material_count);
  xfile::DataObject* mesh = doc_.AddObject("Mesh", "", parent);
  if (mesh == nullptr) return nullptr;
  std::vector<float> positions, normals, uv;
  std::vector<uint32_t> corners, face_material;
  for (const MeshPart& mp : arranged) {
    const Part& part = model_.parts[mp.part];
    for (uint32_t v = part.first_vertex; v < model_.parts[mp.part + 1].first_vertex; ++v) {
      const Vec3 p = model_.positions[v] - shift;
      positions.insert(positions.end(), {p.x, p.y, p.z});
      const Vec3 n = model_.normals[v];
      normals.insert(normals.end(), {n.x, n.y, n.z});
      uv.insert(uv.end(), {model_.tex_u[v], model_.tex_v[v]});
    }
    for (uint32_t f = part.first_face; f < model_.parts[mp.part + 1].first_face; ++f) {
      for (int k = 0; k < 3; ++k) corners.push_back(model_.faces[f].corner[k] + mp.offset);
      face_material.push_back(mp.material);
    }
  }
  const uint32_t vertex_count = static_cast<uint32_t>(positions.size() / 3);
  const uint32_t face_count = static_cast<uint32_t>(face_material.size());
  auto add_faces = [&](xfile::DataObject& o) {
    o.AddNumber(face_count);
    for (uint32_t f = 0; f < face_count; ++f) {
      o.AddNumber(3);
      o.AddNumbers(std::span<const uint32_t>(corners.data() + 3 * f, 3));
    }
  };
  mesh->AddNumber(vertex_count);
  mesh->AddNumbers(positions);
  add_faces(*mesh);
  if (xfile::DataObject* n = doc_.AddObject("MeshNormals", "", mesh)) {
    n->AddNumber(vertex_count);
    n->AddNumbers(normals);
    add_faces(*n);
  }
  if (xfile::DataObject* t = doc_.AddObject("MeshTextureCoords", "", mesh)) {
    t->AddNumber(vertex_count);
    t->AddNumbers(uv);
  }
  if (skinned) {
    if (xfile::DataObject* d = doc_.AddObject("VertexDuplicationIndices", "", mesh)) {
      // The first earlier vertex at exactly the same place (-0 equals 0; NaN equals nothing).
      std::unordered_map<uint64_t, std::vector<uint32_t>> seen;
      std::vector<uint32_t> indices(vertex_count);
      uint32_t twins = 0;
      for (uint32_t i = 0; i < vertex_count; ++i) {
        const float* p = &positions[3 * i];
        indices[i] = i;
        if (std::isnan(p[0]) || std::isnan(p[1]) || std::isnan(p[2])) continue;
        uint64_t key = 1469598103934665603ull;
        for (int k = 0; k < 3; ++k) {
          key = (key ^ std::bit_cast<uint32_t>(p[k] + 0.0f)) * 1099511628211ull;
        }
        std::vector<uint32_t>& bucket = seen[key];
        for (uint32_t j : bucket) {
          const float* q = &positions[3 * j];
          if (p[0] == q[0] && p[1] == q[1] && p[2] == q[2]) {
            indices[i] = j;
            ++twins;
            break;
          }
        }
        if (indices[i] == i) bucket.push_back(i);
      }
      d->AddNumber(vertex_count);
      d->AddNumber(vertex_count - twins);
      d->AddNumbers(indices);
    }
  }
  if (xfile::DataObject* list = doc_.AddObject("MeshMaterialList", "", mesh)) {
    list->AddNumber(material_count);
    list->AddNumber(face_count);
    list->AddNumbers(face_material);
    uint32_t next = 0;
    for (const MeshPart& mp : arranged) {
      if (mp.material != next) continue;
      ++next;
      const Part& part = model_.parts[mp.part];
      xfile::DataObject* m =
          doc_.AddObject("Material", "Mtrl_" + std::to_string(mp.material), list);
      if (m == nullptr) continue;
      const Material& mat = part.material;
      m->AddNumbers(std::vector<float>{mat.diffuse.r, mat.diffuse.g, mat.diffuse.b, mat.diffuse.a,
                                       mat.power, mat.specular.r, mat.specular.g, mat.specular.b,
                                       mat.emissive.r, mat.emissive.g, mat.emissive.b});
      if (xfile::DataObject* t = doc_.AddObject("TextureFilename", "", m)) {
        t->AddString(part.texture_file);
      }
    }
  }
  if (skinned) AddSkin(*mesh, arranged, corners);
  return mesh;
}

void XDocumentBuilder::AddSkin(xfile::DataObject& mesh, const std::vector<MeshPart>& arranged,
                               const std::vector<uint32_t>& corners) {
  const int units = model_.unit_count();
  std::vector<std::vector<std::pair<uint32_t, float>>> influence(static_cast<size_t>(units));
  std::vector<bool> bone(static_cast<size_t>(units), false);
  for (const MeshPart& mp : arranged) {
    const int o = OwnerUnit(mp.part);
    if (o < 0) continue;
    bone[o] = true;
    const uint32_t first = model_.parts[mp.part].first_vertex;
    for (uint32_t k = 0; k < model_.PartVertexCount(mp.part); ++k) {
      const float w = model_.blend[first + k];
      if (1.0f - w != 0.0f) influence[o].push_back({mp.offset + k, 1.0f - w});
    }
  }
  for (int b = 0; b < units; ++b) {
    if (!bone[b]) continue;
    for (int child : model_.forest.ChildrenOf(model_.NodeOfUnit(b))) {
      if (!model_.IsUnitNode(child)) continue;
      for (const MeshPart& mp : arranged) {
        if (model_.parent[mp.part] != child) continue;
        const uint32_t first = model_.parts[mp.part].first_vertex;
        for (uint32_t k = 0; k < model_.PartVertexCount(mp.part); ++k) {
          const float w = model_.blend[first + k];
          if (w != 0.0f) influence[b].push_back({mp.offset + k, w});
        }
      }
    }
  }
  // Which bones hold each vertex: its own Unit's and its parent Unit's lists at most.
  const size_t vertex_count =
      arranged.empty() ? 0 : arranged.back().offset + model_.PartVertexCount(arranged.back().part);
  std::vector<std::array<uint32_t, 2>> holders(vertex_count, {kNone, kNone});
  uint32_t per_vertex = 0;
  uint32_t bones = 0;
  for (int b = 0; b < units; ++b) {
    if (!bone[b]) continue;
    ++bones;
    for (const auto& [v, w] : influence[b]) {
      std::array<uint32_t, 2>& h = holders[v];
      (h[0] == kNone ? h[0] : h[1]) = static_cast<uint32_t>(b);
      per_vertex = std::max(per_vertex, h[1] != kNone ? 2u : 1u);
    }
  }
  uint32_t per_face = 0;
  for (size_t f = 0; f + 2 < corners.size(); f += 3) {
    uint32_t ids[6];
    int n = 0;
    for (int k = 0; k < 3; ++k) {
      if (corners[f + k] >= vertex_count) continue;  // a damaged face names no vertex of ours
      for (uint32_t id : holders[corners[f + k]]) {
        if (id != kNone) ids[n++] = id;
      }
    }
    for (int i = 0; i < n; ++i) {
      per_face = std::max(per_face, static_cast<uint32_t>(std::count(ids, ids + n, ids[i])));
    }
  }
  if (xfile::DataObject* header = doc_.AddObject("XSkinMeshHeader", "", &mesh)) {
    header->AddNumbers(std::vector<uint32_t>{per_vertex, per_face, bones});
  }
  for (int b = 0; b < units; ++b) {
    if (!bone[b]) continue;
    xfile::DataObject* weights = doc_.AddObject("SkinWeights", "", &mesh);
    if (weights == nullptr) continue;
    weights->AddString(frame_names_[b]);
    weights->AddNumber(static_cast<double>(influence[b].size()));
    for (const auto& entry : influence[b]) weights->AddNumber(entry.first);
    for (const auto& entry : influence[b]) weights->AddNumber(entry.second);
    const Vec3 p = model_.units[b].basis_position;
    AddMatrix(*weights, model_.motion_count < 2 ? Identity() : Translation(-p.x, -p.y, -p.z));
  }
}

Matrix XDocumentBuilder::FrameMatrix(int unit) const {
  const Motion& m = model_.motions[0];
  const Vec3 s = m.scale[unit];
  const Vec3 t = m.translation[unit];
  const Vec3 b = model_.units[unit].basis_position;
  const Matrix scale_rotate = Multiply(Scaling(s.x, s.y, s.z), UnitRotation(model_, 0, unit));
  if (options_.skin != 0) {
    // The Unit's local pose for Motion 0: about its pivot, then moved by the translation.
    return Multiply(Multiply(Translation(-b.x, -b.y, -b.z), scale_rotate),
                    Translation(b.x + t.x, b.y + t.y, b.z + t.z));
  }
  const Vec3 bp = ParentBasis(unit);
  return Multiply(Multiply(scale_rotate, Translation(t.x, t.y, t.z)),
                  Translation(b.x - bp.x, b.y - bp.y, b.z - bp.z));
}

void XDocumentBuilder::AddFrame(int unit, xfile::DataObject* parent) {
  xfile::DataObject* frame = doc_.AddObject("Frame", frame_names_[unit], parent);
  if (frame == nullptr) return;
  frames_[unit] = frame;
  if (xfile::DataObject* t = doc_.AddObject("FrameTransformMatrix", "", frame)) {
    AddMatrix(*t, FrameMatrix(unit));
  }
  const int node = model_.NodeOfUnit(unit);
  std::vector<int> parts;
  if (options_.skin == 0) {
    for (int p = 0; p < model_.parts_count; ++p) {
      if (model_.parent[p] == node) parts.push_back(p);
    }
    AddMesh(parts, model_.units[unit].basis_position, false, frame);
  } else if (ParentUnit(node) < 0) {
    for (int d : CollectDescendants(model_, node)) {
      if (d < model_.parts_count) parts.push_back(d);
    }
    std::sort(parts.begin(), parts.end());
    if (!parts.empty()) AddMesh(parts, Vec3{}, true, frame);
  }
  for (int child : children_[unit]) AddFrame(child, frame);
}

void XDocumentBuilder::AddAnimationSet(const std::string& name, int first, int last, bool loop,
                                       size_t slot) {
  xfile::DataObject* set = doc_.AddObject("AnimationSet", names_.Unique("AnimSet_" + name));
  if (set == nullptr) return;
  std::vector<int> keys;
  for (int m = first; m <= last; ++m) keys.push_back(m);
  if (loop) keys.push_back(first);
  std::vector<uint32_t> times(keys.size(), 0);
  for (size_t k = 1; k < keys.size(); ++k) {
    const size_t s = std::min(slot + k - 1, static_cast<size_t>(kKeyIntervalSlots - 1));
    times[k] = times[k - 1] + options_.key_intervals[s];
  }
  for (int u = 0; u < model_.unit_count(); ++u) {
    xfile::DataObject* animation = doc_.AddObject("Animation", "", set);
    if (animation == nullptr) continue;
    if (frames_[u] != nullptr) animation->AddReference(*frames_[u]);
    for (uint32_t type = 0; type < 3; ++type) {
      xfile::DataObject* key = doc_.AddObject("AnimationKey", "", animation);
      if (key == nullptr) continue;
      key->AddNumber(type);
      key->AddNumber(static_cast<double>(keys.size()));
      for (size_t k = 0; k < keys.size(); ++k) {
        const Motion& motion = model_.motions[keys[k]];
        key->AddNumber(times[k]);
        if (type == 0) {
          const Quaternion q = RotationKey(model_, keys[k], u);
          key->AddNumbers(std::vector<float>{4, q.x, q.y, q.z, q.w});
        } else if (type == 1) {
          const Vec3 s = motion.scale[u];
          key->AddNumbers(std::vector<float>{3, s.x, s.y, s.z});
        } else {
          const Vec3 p = motion.translation[u] + model_.units[u].basis_position - ParentBasis(u);
          key->AddNumbers(std::vector<float>{3, p.x, p.y, p.z});
        }
      }
    }
  }
}

void XDocumentBuilder::Build() {
  if (xfile::DataObject* header = doc_.AddObject("Header")) {
    header->AddNumbers(std::vector<uint32_t>{1, 0, 1});
  }
  assert(model_.motion_count >= 0 && model_.motion_count <= kMaxMotions);
  const int motions = model_.motion_count;
  if (motions > 1) {
    if (xfile::DataObject* ticks = doc_.AddObject("AnimTicksPerSecond")) {
      ticks->AddNumber(options_.ticks_per_second);
    }
  }
  RefreshSaveOrder(model_);
  RecomputeParents(model_);
  if (options_.skin != 0) {
    bool loose = false;
    for (int p = 0; p < model_.parts_count; ++p) loose = loose || ParentUnit(p) < 0;
    if (loose && GroupRootNodes(model_, host_)) {
      RefreshSaveOrder(model_);
      RecomputeParents(model_);
    }
  }
  const int units = model_.unit_count();
  frame_names_.resize(static_cast<size_t>(units));
  for (int u = 0; u < units; ++u) {
    frame_names_[u] = names_.Unique("Frame_" + model_.node_name[model_.NodeOfUnit(u)]);
  }
  frames_.assign(static_cast<size_t>(units), nullptr);
  children_.assign(static_cast<size_t>(units), {});
  std::vector<int> roots;
  for (int i = units - 1; i >= 0; --i) {
    const int a = static_cast<int>(model_.units[i].save_order);
    if (a < 0 || a >= units) continue;
    for (int j = 0; j < units; ++j) {
      const int c = static_cast<int>(model_.units[j].save_order);
      if (c >= 0 && c < units && ParentUnit(model_.NodeOfUnit(c)) == a) children_[a].push_back(c);
    }
    if (ParentUnit(model_.NodeOfUnit(a)) < 0) roots.push_back(a);
  }
  if (options_.skin == 0) {
    std::vector<int> loose;
    for (int p = 0; p < model_.parts_count; ++p) {
      if (ParentUnit(p) < 0) loose.push_back(p);
    }
    if (!loose.empty()) AddMesh(loose, Vec3{}, false, nullptr);
  }
  for (int r : roots) AddFrame(r, nullptr);
  if (motions <= 1) return;
  auto clamp_motion = [&](int m) { return std::clamp(m, 0, motions - 1); };
  if (model_.anim_count <= 0) {
    AddAnimationSet("ALL", 0, motions - 1, options_.loop != 0, 0);
    return;
  }
  assert(model_.anim_count <= kMaxAnims);
  const int anims = model_.anim_count;
  std::vector<size_t> slot(static_cast<size_t>(anims), 0);
  for (int a = 1; a < anims; ++a) {
    const Anim& before = model_.anims[a - 1];
    const int entries =
        std::max(0, clamp_motion(before.last_motion) - clamp_motion(before.first_motion) + 1) +
        (before.loop != 0 ? 1 : 0);
    slot[a] = slot[a - 1] + static_cast<size_t>(entries);
  }
  for (int a = anims - 1; a >= 0; --a) {
    const Anim& anim = model_.anims[a];
    AddAnimationSet(anim.name, clamp_motion(anim.first_motion), clamp_motion(anim.last_motion),
                    anim.loop != 0, slot[a]);
  }
}

}  // namespace

XExportDocument BuildXDocument(Model& model, const XOptions& options, Host& host) {
  RebuildFaces(model, true);
  CheckTriangles(model);
  XExportDocument out;
  switch (options.format) {
    case XFileFormat::kBinary:
      out.write.encoding = xfile::Encoding::kBinary;
      break;
    case XFileFormat::kCompressedBinary:
      out.write.encoding = xfile::Encoding::kCompressedBinary;
      break;
    default:
      out.write.encoding = xfile::Encoding::kText;
  }
  // Skinned meshes use the last three templates even without animation, and some readers take
  // objects of those templates only when the file declares them.
  const int declared = options.skin != 0 ? 24 : (model.motion_count <= 1 ? 13 : 21);
  out.write.declare.assign(std::begin(kTemplates), std::begin(kTemplates) + declared);
  XDocumentBuilder builder(model, options, host, out.document);
  builder.Build();
  return out;
}

bool ExportX(Model& model, const std::string& path, const SaveOptions& options, Host& host,
             WriteError* error) {
  try {
    XExportDocument built = BuildXDocument(model, options.x, host);
    xfile::WriteResult written = xfile::Write(built.document, built.write);
    if (!written.ok()) {
      return Fail(error, WriteErrorKind::kModel,
                  "cannot encode the model: " + written.error.message);
    }
    if (!WriteFileAtomically(path, written.bytes, options.progress, error)) return false;
  } catch (const std::bad_alloc&) {
    return Fail(error, WriteErrorKind::kOutOfMemory, "out of memory");
  }
  RestoreExpansion(model);
  return true;
}

}  // namespace vorna
