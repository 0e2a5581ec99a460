#include "formats/x_import.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format_common.h"
#include "formats/xfile/reader.h"
#include "model/bounds.h"
#include "model/file_paths.h"
#include "model/model_check.h"
#include "model/normals.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;

struct XMaterial {
  Material material;
  std::string texture_file;
};

// One triangle of the combined mesh: positions and normals by index into the combined lists
// (normal kNone when its mesh has none), and its material by index into the combined table.
struct Triangle {
  uint32_t position[3];
  uint32_t normal[3];
  uint32_t material;
};

// A vertex of a Part: a position met with one normal value. Vertices of one position in one Part
// are chained through `next`.
struct SplitVertex {
  uint32_t position;
  uint32_t normal;
  uint32_t next;
};

bool Fail(ReadError* error, const char* why, ReadErrorKind kind = ReadErrorKind::kBadData) {
  return vorna::Fail(error, kind, why);
}

// An index read as a double from the file, when it lies below `limit`.
// Room for `more` elements, doubling at least so that many small meshes do not copy the lists
// over and over.
template <class T>
void ReserveMore(std::vector<T>& v, size_t more) {
  if (more <= v.capacity() - v.size()) return;
  v.reserve(std::max(v.size() + more, 2 * v.capacity()));
  AdviseHugePages(v.data() + v.size(), (v.capacity() - v.size()) * sizeof(T));
}

bool IndexBelow(double value, uint64_t limit, uint32_t* index) {
  if (!(value >= 0.0) || value >= static_cast<double>(limit)) return false;
  *index = static_cast<uint32_t>(value);
  return true;
}

Color ColorOf(std::span<const double> values, float alpha_default) {
  Color c;
  c.r = values.size() > 0 ? static_cast<float>(values[0]) : 0.0f;
  c.g = values.size() > 1 ? static_cast<float>(values[1]) : 0.0f;
  c.b = values.size() > 2 ? static_cast<float>(values[2]) : 0.0f;
  c.a = values.size() > 3 ? static_cast<float>(values[3]) : alpha_default;
  return c;
}

XMaterial ReadMaterial(const xfile::DataObject& object) {
  XMaterial m;
  m.material.diffuse = ColorOf(object["faceColor"].Numbers(), 1.0f);
  m.material.ambient = m.material.diffuse;
  m.material.power = object["power"].Float();
  m.material.specular = ColorOf(object["specularColor"].Numbers(), 0.0f);
  m.material.emissive = ColorOf(object["emissiveColor"].Numbers(), 0.0f);
  if (const xfile::DataObject* texture = object.FirstChild("TextureFilename")) {
    m.texture_file = ClampField((*texture)["filename"].String(), kTextureFileSize);
  }
  return m;
}

// The product of the FrameTransformMatrix of every Frame around `object`, innermost first.
Matrix FrameChain(const xfile::DataObject& object) {
  Matrix world = Identity();
  for (const xfile::DataObject* a = object.parent(); a != nullptr; a = a->parent()) {
    if (!a->IsA("Frame")) continue;
    const xfile::DataObject* transform = a->FirstChild("FrameTransformMatrix");
    if (transform == nullptr || transform->numbers().size() < 16) continue;
    Matrix m;
    for (int k = 0; k < 16; ++k) m.m[k / 4][k % 4] = static_cast<float>(transform->numbers()[k]);
    world = Multiply(world, m);
  }
  return world;
}

class XReader {
 public:
  XReader(Model& model, Host& host, const ReadOptions& options)
      : model_(model), host_(host), options_(options) {}

  // Gathers the geometry of every mesh; the document may go once this is done.
  bool AddMeshes(const xfile::Document& document, ReadError* error);
  bool BuildModel(const std::string& directory, ReadError* error);

 private:
  bool AddMesh(const xfile::DataObject& mesh, ReadError* error);
  bool AddMaterials(const xfile::DataObject& mesh, uint32_t face_count,
                    std::vector<uint32_t>* face_material, ReadError* error);
  // Exporters often give every corner its own normal: equal values share one vertex.
  bool SameNormal(uint32_t a, uint32_t b) const {
    return a == b || (a != kNone && b != kNone && normals_[a] == normals_[b]);
  }

  Model& model_;
  Host& host_;
  const ReadOptions& options_;

  std::vector<Vec3> positions_;
  std::vector<float> uv_;  // two per position
  std::vector<Vec3> normals_;
  std::vector<Triangle> triangles_;
  std::vector<XMaterial> materials_;
};

bool XReader::AddMaterials(const xfile::DataObject& mesh, uint32_t face_count,
                           std::vector<uint32_t>* face_material, ReadError* error) {
  const xfile::DataObject* list = mesh.FirstChild("MeshMaterialList");
  const uint32_t base = static_cast<uint32_t>(materials_.size());
  uint32_t declared = list != nullptr ? (*list)["nMaterials"].Dword() : 0;
  if (declared == 0) {
    // A mesh without faces needs no material (exporters write empty meshes for bare frames).
    if (face_count == 0) return true;
    materials_.push_back(XMaterial{});
    face_material->assign(face_count, base);
    return true;
  }
  // Checked before anything is allocated for them: 256 or more materials are refused anyway.
  if (declared >= static_cast<uint32_t>(kMaxParts) ||
      materials_.size() + declared >= static_cast<size_t>(kMaxParts)) {
    host_.Message("パーツ数が" + std::to_string(kMaxParts) + "個を超えました", MessageIcon::kNone);
    return Fail(error, "256 or more materials", ReadErrorKind::kLimit);
  }
  std::vector<const xfile::DataObject*> given = list->Children("Material");
  for (uint32_t i = 0; i < declared; ++i) {
    materials_.push_back(i < given.size() ? ReadMaterial(*given[i]) : XMaterial{});
  }
  std::span<const double> indexes = (*list)["faceIndexes"].Numbers();
  face_material->resize(face_count);
  uint32_t last = 0;
  for (uint32_t f = 0; f < face_count; ++f) {
    if (f < indexes.size() && !IndexBelow(indexes[f], declared, &last)) {
      return Fail(error, "a face names a material the list does not have");
    }
    (*face_material)[f] = base + last;
  }
  return true;
}

bool XReader::AddMesh(const xfile::DataObject& mesh, ReadError* error) {
  std::span<const double> xyz = mesh["vertices"].Numbers();
  std::span<const double> faces = mesh["faces"].Numbers();
  const uint64_t vertex_count = std::min<uint64_t>(mesh["nVertices"].Dword(), xyz.size() / 3);
  const uint32_t face_count = mesh["nFaces"].Dword();
  // Every face holds at least its corner count, so the data bound the face count.
  if (face_count > faces.size()) return Fail(error, "fewer faces than declared");
  if (positions_.size() + vertex_count > static_cast<uint64_t>(INT32_MAX)) {
    return Fail(error, "more vertices than a model holds", ReadErrorKind::kLimit);
  }
  const uint32_t position_base = static_cast<uint32_t>(positions_.size());
  const Matrix world = FrameChain(mesh);
  ReserveMore(positions_, vertex_count);
  for (uint64_t v = 0; v < vertex_count; ++v) {
    Vec3 p{static_cast<float>(xyz[3 * v]), static_cast<float>(xyz[3 * v + 1]),
           static_cast<float>(xyz[3 * v + 2])};
    positions_.push_back(TransformCoord(p, world));
  }
  uv_.resize(positions_.size() * 2, 0.0f);
  if (const xfile::DataObject* coords = mesh.FirstChild("MeshTextureCoords")) {
    std::span<const double> uv = (*coords)["textureCoords"].Numbers();
    const uint64_t n = std::min<uint64_t>(uv.size() / 2, vertex_count);
    for (uint64_t v = 0; v < n; ++v) {
      uv_[2 * (position_base + v)] = static_cast<float>(uv[2 * v]);
      uv_[2 * (position_base + v) + 1] = static_cast<float>(uv[2 * v + 1]);
    }
  }

  // Normals count only when their face list matches the mesh's face by face.
  std::span<const double> normal_faces;
  uint64_t normal_count = 0;
  const uint32_t normal_base = static_cast<uint32_t>(normals_.size());
  if (const xfile::DataObject* n = mesh.FirstChild("MeshNormals")) {
    std::span<const double> values = (*n)["normals"].Numbers();
    normal_count = std::min<uint64_t>((*n)["nNormals"].Dword(), values.size() / 3);
    if ((*n)["nFaceNormals"].Dword() == face_count && normal_count > 0 &&
        normals_.size() + normal_count <= static_cast<uint64_t>(INT32_MAX)) {
      normal_faces = (*n)["faceNormals"].Numbers();
      ReserveMore(normals_, normal_count);
      Matrix turn = world;
      turn.m[3][0] = turn.m[3][1] = turn.m[3][2] = 0.0f;
      for (uint64_t k = 0; k < normal_count; ++k) {
        Vec3 v{static_cast<float>(values[3 * k]), static_cast<float>(values[3 * k + 1]),
               static_cast<float>(values[3 * k + 2])};
        normals_.push_back(Normalize(TransformNormal(v, turn)));
      }
    }
  }

  // Skin data are not kept, but a mesh whose weights name vertices it lacks is damaged.
  for (const xfile::DataObject* weights : mesh.Children("SkinWeights")) {
    for (double index : (*weights)["vertexIndices"].Numbers()) {
      uint32_t unused = 0;
      if (!IndexBelow(index, vertex_count, &unused)) {
        return Fail(error, "skin weights name a vertex the mesh does not have");
      }
    }
  }

  std::vector<uint32_t> face_material;
  if (!AddMaterials(mesh, face_count, &face_material, error)) return false;

  // The triangles the faces will give, counted first so that their list is not copied as it
  // grows; a face the count cannot trust ends the count, the loop below refuses it.
  size_t triangle_count = 0;
  for (size_t at = 0, f = 0; f < face_count && at < faces.size(); ++f) {
    const double declared = faces[at];
    if (!(declared >= 0.0) || declared > static_cast<double>(faces.size() - at - 1)) break;
    triangle_count += declared > 2.0 ? static_cast<size_t>(declared) - 2 : 0;
    at += 1 + static_cast<size_t>(declared);
  }
  ReserveMore(triangles_, triangle_count);

  size_t at = 0;         // in `faces`
  size_t normal_at = 0;  // in `normal_faces`
  bool normals_fit = !normal_faces.empty();
  const size_t first_triangle = triangles_.size();
  std::vector<uint32_t> corners, normal_corners;
  for (uint32_t f = 0; f < face_count; ++f) {
    if (at >= faces.size()) return Fail(error, "fewer faces than declared");
    const double declared = faces[at++];
    if (!(declared >= 0.0) || declared > static_cast<double>(faces.size() - at)) {
      return Fail(error, "a face with more corners than the data holds");
    }
    const size_t n = static_cast<size_t>(declared);
    corners.resize(n);
    for (size_t k = 0; k < n; ++k) {
      if (!IndexBelow(faces[at + k], vertex_count, &corners[k])) {
        return Fail(error, "a face names a vertex its mesh does not have");
      }
      corners[k] += position_base;
    }
    at += n;
    normal_corners.assign(n, kNone);
    if (normals_fit) {
      if (normal_at >= normal_faces.size() || normal_faces[normal_at] != static_cast<double>(n) ||
          normal_faces.size() - normal_at - 1 < n) {
        normals_fit = false;
      } else {
        for (size_t k = 0; k < n && normals_fit; ++k) {
          normals_fit =
              IndexBelow(normal_faces[normal_at + 1 + k], normal_count, &normal_corners[k]);
          normal_corners[k] += normal_base;
        }
        normal_at += 1 + n;
      }
    }
    for (size_t k = 2; k < n; ++k) {
      triangles_.push_back(Triangle{{corners[0], corners[k - 1], corners[k]},
                                    {normal_corners[0], normal_corners[k - 1], normal_corners[k]},
                                    face_material[f]});
    }
  }
  // A normal list that broke off part way describes none of the mesh.
  if (!normals_fit) {
    for (size_t t = first_triangle; t < triangles_.size(); ++t) {
      std::fill(std::begin(triangles_[t].normal), std::end(triangles_[t].normal), kNone);
    }
  }
  return true;
}

bool XReader::BuildModel(const std::string& directory, ReadError* error) {
  const uint32_t part_count = static_cast<uint32_t>(materials_.size());
  // Triangles grouped by material, in file order within each.
  std::vector<uint32_t> start(part_count + 1, 0);
  for (const Triangle& t : triangles_) ++start[t.material + 1];
  for (uint32_t p = 0; p < part_count; ++p) start[p + 1] += start[p];
  std::vector<uint32_t> order(triangles_.size());
  {
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    for (uint32_t t = 0; t < triangles_.size(); ++t) order[fill[triangles_[t].material]++] = t;
  }

  std::vector<uint32_t> head(positions_.size(), kNone);
  std::vector<uint32_t> stamp(positions_.size(), kNone);
  std::vector<SplitVertex> vertices;
  ReserveMore(vertices, positions_.size());
  std::vector<uint32_t> part_first_vertex(part_count, 0);
  // Filled in order: the Parts' ranges follow one another.
  std::vector<Face> faces;
  ReserveMore(faces, triangles_.size());
  for (uint32_t p = 0; p < part_count; ++p) {
    const uint32_t first = static_cast<uint32_t>(vertices.size());
    part_first_vertex[p] = first;
    for (uint32_t i = start[p]; i < start[p + 1]; ++i) {
      const Triangle& t = triangles_[order[i]];
      Face& face = faces.emplace_back();
      for (int k = 0; k < 3; ++k) {
        const uint32_t pos = t.position[k];
        if (stamp[pos] != p) {
          stamp[pos] = p;
          head[pos] = kNone;
        }
        uint32_t v = head[pos];
        while (v != kNone && !SameNormal(vertices[v].normal, t.normal[k])) v = vertices[v].next;
        if (v == kNone) {
          if (vertices.size() >= static_cast<size_t>(INT32_MAX)) {
            return Fail(error, "more vertices than a model holds", ReadErrorKind::kLimit);
          }
          v = static_cast<uint32_t>(vertices.size());
          vertices.push_back(SplitVertex{pos, t.normal[k], head[pos]});
          head[pos] = v;
        }
        face.corner[k] = v - first;
      }
    }
  }
  if (vertices.empty() || faces.empty())
    return Fail(error, "the file has no faces", ReadErrorKind::kInvalidModel);
  if (faces.size() > static_cast<size_t>(INT32_MAX))
    return Fail(error, "too many faces", ReadErrorKind::kLimit);

  AllocateParts(model_, static_cast<int>(part_count));
  model_.total_face_count = static_cast<int32_t>(faces.size());
  model_.faces = std::move(faces);
  TextureCache cache;
  for (uint32_t p = 0; p < part_count; ++p) {
    Part& part = model_.parts[p];
    part.first_vertex = part_first_vertex[p];
    part.first_face = start[p];
    part.material = materials_[p].material;
    model_.node_name[p] = "no-name";
    if (!materials_[p].texture_file.empty()) {
      part.texture_file = materials_[p].texture_file;
      if (options_.load_textures)
        LoadTexture(part, StoredFilePath(directory, part.texture_file), &cache);
    }
  }
  model_.parts[part_count].first_vertex = static_cast<uint32_t>(vertices.size());
  model_.parts[part_count].first_face = static_cast<uint32_t>(model_.faces.size());

  // The per-vertex arrays are built in place rather than allocated zeroed and overwritten.
  const size_t vertex_count = vertices.size();
  model_.total_vertex_count = static_cast<int32_t>(vertex_count);
  ReserveMore(model_.positions, vertex_count);
  ReserveMore(model_.normals, vertex_count);
  ReserveMore(model_.tex_u, vertex_count);
  ReserveMore(model_.tex_v, vertex_count);
  model_.blend.assign(vertex_count, 0.0f);
  bool missing_normals = false;
  for (const SplitVertex& s : vertices) {
    model_.positions.push_back(positions_[s.position]);
    model_.tex_u.push_back(uv_[2 * s.position]);
    model_.tex_v.push_back(uv_[2 * s.position + 1]);
    missing_normals = missing_normals || s.normal == kNone;
    model_.normals.push_back(s.normal == kNone ? Vec3{} : normals_[s.normal]);
  }
  if (missing_normals) {
    // Computed for every vertex, kept only where the file gave none.
    std::vector<Vec3> given = model_.normals;
    ComputeNormals(model_);
    for (size_t v = 0; v < vertices.size(); ++v) {
      if (vertices[v].normal != kNone) model_.normals[v] = given[v];
    }
  }
  RecomputeBounds(model_);
  return CheckModel(model_, error);
}

bool XReader::AddMeshes(const xfile::Document& document, ReadError* error) {
  for (const xfile::DataObject* mesh : document.FindAll("Mesh")) {
    if (!AddMesh(*mesh, error)) return false;
  }
  if (triangles_.empty()) return Fail(error, "the file has no faces", ReadErrorKind::kInvalidModel);
  return true;
}

}  // namespace

bool ParseX(Model& model, std::span<const std::uint8_t> bytes, const std::string& directory,
            Host& host, const ReadOptions& options, ReadError* error) {
  Reset(model);
  bool ok = false;
  // Parsing counts for four fifths of the progress (of the decompressed size for a compressed
  // file), the meshes copied out for half a fifth and the model built from them for the rest.
  std::uint64_t parsed = 0;
  const auto report = [&options, &parsed, error](std::uint64_t tenths) {
    return !options.progress || options.progress(parsed * tenths / 10, parsed) ||
           Fail(error, "cancelled", ReadErrorKind::kCancelled);
  };
  try {
    xfile::ReadOptions x_options;
    if (options.progress) {
      x_options.progress = [&options, &parsed](std::uint64_t done, std::uint64_t total) {
        parsed = total;
        return options.progress(done * 8 / 10, total);
      };
    }
    xfile::ReadResult read = xfile::Read(bytes, x_options);
    if (!read.ok()) {
      if (error != nullptr) *error = std::move(read.error);
    } else {
      XReader reader(model, host, options);
      ok = reader.AddMeshes(read.document, error) && report(9);
      // The document's values are copied out: freed before the model takes its memory.
      read = xfile::ReadResult();
      ok = ok && reader.BuildModel(directory, error) && report(10);
    }
  } catch (const std::bad_alloc&) {
    Fail(error, "out of memory", ReadErrorKind::kOutOfMemory);
  }
  if (!ok) Reset(model);
  return ok;
}

bool ImportX(Model& model, const std::string& path, Host& host, const ReadOptions& options,
             ReadError* error) {
  Reset(model);
  FileBytes file;
  if (!ReadModelFile(path, &file, error)) return false;
  const size_t slash = path.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  return ParseX(model, file.bytes(), directory, host, options, error);
}

}  // namespace vorna
