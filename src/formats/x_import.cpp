#include "formats/x_import.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "animation/skeleton_import.h"
#include "formats/format_common.h"
#include "formats/x_scene.h"
#include "formats/xfile/reader.h"
#include "model/file_paths.h"
#include "model/mesh_builder.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

bool Fail(ReadError* error, const char* why, ReadErrorKind kind = ReadErrorKind::kBadData) {
  return vorna::Fail(error, kind, why);
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

// One Mesh as the builder takes it: positions placed by the frames, texture coordinates per
// position, normals by their own index.
struct XMesh {
  std::vector<Vec3> positions;
  std::vector<float> tex_u, tex_v;
  std::vector<Vec3> normals;
  std::vector<SplitFace> faces;

  MeshVertices Vertices() const { return {positions, tex_u, tex_v, {}, normals}; }
};

class XReader {
 public:
  XReader(Host& host, const ReadOptions& options) : builder_(host), options_(options) {}

  // Gathers the geometry of every mesh; the document may go once this is done.
  bool AddMeshes(const xfile::Document& document, ReadError* error);
  bool BuildModel(Model& model, const std::string& directory, ReadError* error);

 private:
  bool AddMesh(const xfile::DataObject& mesh, ReadError* error);
  bool AddMaterials(const xfile::DataObject& mesh, uint32_t face_count,
                    std::vector<uint32_t>* face_material, ReadError* error);
  bool AddFaces(const xfile::DataObject& mesh, const std::vector<uint32_t>& face_material,
                XMesh* out, ReadError* error);

  MeshBuilder builder_;
  const ReadOptions& options_;
};

bool XReader::AddMaterials(const xfile::DataObject& mesh, uint32_t face_count,
                           std::vector<uint32_t>* face_material, ReadError* error) {
  const xfile::DataObject* list = mesh.FirstChild("MeshMaterialList");
  const uint32_t base = static_cast<uint32_t>(builder_.part_count());
  uint32_t declared = list != nullptr ? (*list)["nMaterials"].Dword() : 0;
  if (declared == 0) {
    // A mesh without faces needs no material (exporters write empty meshes for bare frames).
    if (face_count == 0) return true;
    if (!builder_.AddPart(error)) return false;
    face_material->assign(face_count, base);
    return true;
  }
  std::vector<const xfile::DataObject*> given = list->Children("Material");
  for (uint32_t i = 0; i < declared; ++i) {
    if (!builder_.AddPart(error)) return false;
    if (i < given.size()) ReadXMaterial(*given[i], &builder_.Look(static_cast<int>(base + i)));
  }
  std::span<const double> indexes = (*list)["faceIndexes"].Numbers();
  face_material->resize(face_count);
  uint32_t last = 0;
  for (uint32_t f = 0; f < face_count; ++f) {
    if (f < indexes.size() && !XIndexBelow(indexes[f], declared, &last)) {
      return Fail(error, "a face names a material the list does not have");
    }
    (*face_material)[f] = base + last;
  }
  return true;
}

// The faces as fans of triangles from their first corner, with their normals when MeshNormals
// gives a face list that matches the mesh's face by face.
bool XReader::AddFaces(const xfile::DataObject& mesh, const std::vector<uint32_t>& face_material,
                       XMesh* out, ReadError* error) {
  std::span<const double> faces = mesh["faces"].Numbers();
  const uint32_t face_count = static_cast<uint32_t>(face_material.size());
  const size_t vertex_count = out->positions.size();
  std::span<const double> normal_faces;
  if (!out->normals.empty())
    normal_faces = (*mesh.FirstChild("MeshNormals"))["faceNormals"].Numbers();
  // The triangles the faces will give, counted first so that their list is not copied as it
  // grows; a face the count cannot trust ends the count, the loop below refuses it.
  size_t triangle_count = 0;
  for (size_t at = 0, f = 0; f < face_count && at < faces.size(); ++f) {
    const double declared = faces[at];
    if (!(declared >= 0.0) || declared > static_cast<double>(faces.size() - at - 1)) break;
    triangle_count += declared > 2.0 ? static_cast<size_t>(declared) - 2 : 0;
    at += 1 + static_cast<size_t>(declared);
  }
  out->faces.reserve(triangle_count);

  bool normals_fit = false;
  const auto add_face = [&](uint32_t f, std::span<const uint32_t> corners,
                            std::span<const uint32_t> normal_corners) {
    for (size_t k = 2; k < corners.size(); ++k) {
      out->faces.push_back(
          SplitFace{{corners[0], corners[k - 1], corners[k], kNoCorner},
                    {normal_corners[0], normal_corners[k - 1], normal_corners[k], kNoNormal},
                    face_material[f]});
    }
  };
  if (!ReadXFaces(faces, face_count, vertex_count, normal_faces, out->normals.size(), add_face,
                  &normals_fit, error)) {
    return false;
  }
  // A normal list that broke off part way describes none of the mesh.
  if (!normals_fit) out->normals.clear();
  if (out->normals.empty()) {
    for (SplitFace& face : out->faces)
      std::fill(std::begin(face.normal), std::end(face.normal), kNoNormal);
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
  XMesh out;
  const Matrix world = FrameChain(mesh);
  out.positions.reserve(vertex_count);
  for (uint64_t v = 0; v < vertex_count; ++v) {
    Vec3 p{static_cast<float>(xyz[3 * v]), static_cast<float>(xyz[3 * v + 1]),
           static_cast<float>(xyz[3 * v + 2])};
    out.positions.push_back(TransformCoord(p, world));
  }
  out.tex_u.assign(vertex_count, 0.0f);
  out.tex_v.assign(vertex_count, 0.0f);
  if (const xfile::DataObject* coords = mesh.FirstChild("MeshTextureCoords")) {
    std::span<const double> uv = (*coords)["textureCoords"].Numbers();
    const uint64_t n = std::min<uint64_t>(uv.size() / 2, vertex_count);
    for (uint64_t v = 0; v < n; ++v) {
      out.tex_u[v] = static_cast<float>(uv[2 * v]);
      out.tex_v[v] = static_cast<float>(uv[2 * v + 1]);
    }
  }

  // Normals count only when their face list matches the mesh's face by face (AddFaces).
  if (const xfile::DataObject* n = mesh.FirstChild("MeshNormals")) {
    std::span<const double> values = (*n)["normals"].Numbers();
    const uint64_t normal_count = std::min<uint64_t>((*n)["nNormals"].Dword(), values.size() / 3);
    if ((*n)["nFaceNormals"].Dword() == face_count) {
      out.normals.reserve(normal_count);
      Matrix turn = world;
      turn.m[3][0] = turn.m[3][1] = turn.m[3][2] = 0.0f;
      for (uint64_t k = 0; k < normal_count; ++k) {
        Vec3 v{static_cast<float>(values[3 * k]), static_cast<float>(values[3 * k + 1]),
               static_cast<float>(values[3 * k + 2])};
        out.normals.push_back(Normalize(TransformNormal(v, turn)));
      }
    }
  }

  // Skin data are not kept, but a mesh whose weights name vertices it lacks is damaged.
  for (const xfile::DataObject* weights : mesh.Children("SkinWeights")) {
    for (double index : (*weights)["vertexIndices"].Numbers()) {
      uint32_t unused = 0;
      if (!XIndexBelow(index, vertex_count, &unused)) {
        return Fail(error, "skin weights name a vertex the mesh does not have");
      }
    }
  }

  std::vector<uint32_t> face_material;
  return AddMaterials(mesh, face_count, &face_material, error) &&
         AddFaces(mesh, face_material, &out, error) &&
         builder_.AddSplitMesh(out.Vertices(), out.faces, error);
}

bool XReader::BuildModel(Model& model, const std::string& directory, ReadError* error) {
  TextureCache cache;
  for (int p = 0; p < builder_.part_count() && options_.load_textures; ++p) {
    PartLook& look = builder_.Look(p);
    if (!look.texture_file.empty()) {
      look.texture = LoadTextureFile(StoredFilePath(directory, look.texture_file), &cache);
    }
  }
  return builder_.Build(model, error);
}

bool XReader::AddMeshes(const xfile::Document& document, ReadError* error) {
  for (const xfile::DataObject* mesh : document.FindAll("Mesh")) {
    if (!AddMesh(*mesh, error)) return false;
  }
  return true;
}

}  // namespace

bool ParseX(Model& model, std::span<const std::uint8_t> bytes, const std::string& directory,
            Host& host, const ReadOptions& options, ReadError* error) {
  // Parsing counts for four fifths of the progress (of the decompressed size for a compressed
  // file), the meshes copied out for half a fifth and the model built from them for the rest.
  std::uint64_t parsed = 0;
  const auto report = [&options, &parsed, error](std::uint64_t tenths) {
    return !options.progress || options.progress(parsed * tenths / 10, parsed) ||
           Fail(error, "cancelled", ReadErrorKind::kCancelled);
  };
  return ParseIntoModel(model, error, [&] {
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
      return false;
    }
    if (options.skeleton.value_or(false)) {
      SceneDescription scene;
      const bool described =
          DescribeXScene(read.document, directory, options, host, &scene, error) && report(9);
      read = xfile::ReadResult();
      SkeletonImportOptions skeleton;
      skeleton.interval = options.import_interval;
      return described &&
             BuildModelFromScene(scene, skeleton, model, host, options.skeleton_report, error) &&
             report(10);
    }
    XReader reader(host, options);
    if (!reader.AddMeshes(read.document, error) || !report(9)) return false;
    // The document's values are copied out: freed before the model takes its memory.
    read = xfile::ReadResult();
    return reader.BuildModel(model, directory, error) && report(10);
  });
}

bool ImportX(Model& model, const std::string& path, Host& host, const ReadOptions& options,
             ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    return ParseX(model, file.bytes(), DirectoryOf(path), host, options, error);
  });
}

}  // namespace vorna
