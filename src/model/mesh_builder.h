// Parts built from the meshes a file holds: the one place where a reader's geometry, grouped by
// material (or by whatever a reader makes its Parts of), becomes the Model's Parts, their vertex
// and face ranges and the per-vertex arrays.
//
// A caller provides:
// - the Parts, appended one at a time (AddPart) in the order they are to have; each has a look
//   (material, node name, texture file name, decoded texture, embedded flag) that may be set any
//   time before Build;
// - meshes, each a list of vertices (positions already in model space; texture coordinates and a
//   blend weight per position, each list either empty, meaning 0, or as long as the positions;
//   normals, see below) and faces that index them. A face is a triangle or a quad, its corners in
//   the Model's order (a quad is the fan (0, 1, 2), (0, 2, 3)). Meshes come in one of two ways:
//   - AddMesh: the whole mesh joins one Part. Every vertex is kept, in order, whether a face uses
//     it or not; normals are per vertex, or none at all.
//   - AddSplitMesh: each face names its Part, and each corner a vertex and a normal of the mesh's
//     own normal list (or kNoNormal). A Part gets one vertex for each distinct (vertex, normal
//     value) its faces meet, in the order first met; two normal indices of equal value count as
//     one (files often give every corner its own copy of a normal). A vertex no face uses is
//     left out.
//
// The builder guarantees:
// - Parts in the order they were added, a Part used by no face included (it gets empty ranges);
//   within a Part its meshes' vertices and faces in the order they were added;
// - vertices without a given normal get one computed from their Part's triangles (ComputeNormals),
//   given normals are kept as they were;
// - limits checked as the input arrives, before anything is stored for it: the Part count below
//   kMaxParts (refused with the message "パーツ数が256個を超えました", shown once through the
//   Host), vertex and face totals within the caller's MeshLimits, every corner inside its mesh;
// - cost linear in the input: storage grows geometrically, never re-copied per mesh, and the
//   split lookup is a hash table per mesh.
// Every refusal is a false with `error` set (kLimit, kBadData, or kInvalidModel for a model
// without faces); the Model is only written by Build, which ends with CheckModel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "io/read_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// What a Part shows: copied into its Part record by Build. texture_rect becomes 0, 0, width,
// height of `texture` (all zeros without one).
struct PartLook {
  Material material;
  std::string name = "no-name";  // raw bytes, at most kNodeNameSize - 1
  std::string texture_file;      // raw bytes, at most kTextureFileSize - 1
  std::shared_ptr<const Texture> texture;
  bool texture_embedded = false;
};

// One mesh's vertices as a file gives them; the spans need only outlive the Add call.
struct MeshVertices {
  std::span<const Vec3> positions;
  std::span<const float> tex_u;  // empty, or one per position
  std::span<const float> tex_v;
  std::span<const float> blend;
  // AddMesh: empty or one per position. AddSplitMesh: the list the corners' normal indices name.
  std::span<const Vec3> normals;
};

inline constexpr uint32_t kNoNormal = 0xFFFFFFFFu;

// A face of AddSplitMesh: vertex and normal indices into the mesh, and the Part it joins.
// vertex[3] == kNoCorner marks a triangle.
struct SplitFace {
  uint32_t vertex[4] = {0, 0, 0, kNoCorner};
  uint32_t normal[4] = {kNoNormal, kNoNormal, kNoNormal, kNoNormal};
  uint32_t part = 0;
};

// Totals a reader allows; the Model's own limit is INT32_MAX of each.
struct MeshLimits {
  size_t max_vertices = INT32_MAX;
  size_t max_faces = INT32_MAX;
};

class MeshBuilder {
 public:
  explicit MeshBuilder(Host& host, MeshLimits limits = {});

  // Appends a Part with the default look; false when it would be the kMaxParts-th Part.
  bool AddPart(ReadError* error);
  int part_count() const { return static_cast<int>(parts_.size()); }
  PartLook& Look(int part) { return parts_[static_cast<size_t>(part)].look; }

  // `faces` index `mesh.positions` (from 0); they join `part` after its earlier faces.
  bool AddMesh(int part, const MeshVertices& mesh, std::span<const Face> faces, ReadError* error);
  bool AddSplitMesh(const MeshVertices& mesh, std::span<const SplitFace> faces, ReadError* error);
  // Whether `vertices` and `faces` more stay within the MeshLimits: for a reader to ask before it
  // decodes a mesh. Add* ask again.
  bool RoomFor(size_t vertices, size_t faces, ReadError* error) const;

  // Resets nothing: fills the geometry, Part records and node names of a Model fresh from Reset,
  // computes the missing normals and the bounds, and ends with CheckModel. Refuses a model
  // without faces. The builder is spent afterwards.
  bool Build(Model& model, ReadError* error);

 private:
  struct PartGeometry {
    PartLook look;
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<uint8_t> has_normal;
    std::vector<float> tex_u, tex_v, blend;
    std::vector<Face> faces;  // Part-local corners
  };

  bool CheckMesh(const MeshVertices& mesh, ReadError* error) const;
  // Appends vertex `v` of `mesh` to `part` with `normal` (null: none given).
  void AppendVertex(PartGeometry& part, const MeshVertices& mesh, size_t v, const Vec3* normal);

  Host& host_;
  MeshLimits limits_;
  std::vector<PartGeometry> parts_;
  size_t vertex_total_ = 0;
  size_t face_total_ = 0;
};

}  // namespace vorna
