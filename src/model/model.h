// The one in-memory Model: Parts (meshes with a material and an optional texture), Units (joints
// of the hierarchy), Motions (key poses) and Anims (named runs of Motions).
//
// Parts and Units share one node space: nodes 0 .. parts_count - 1 are the Parts in stored order,
// nodes parts_count .. node_count - 1 the Units. Node tables are indexed by node; Unit records and
// per-unit Motion values by unit index (node - parts_count).
//
// The fixed tables make a Model a few megabytes: allocate it on the heap (std::make_unique).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "images/image.h"
#include "maths/matrix.h"
#include "maths/vector.h"
#include "model/unit_forest.h"

namespace vorna {

inline constexpr int kMaxNodes = 256;
inline constexpr int kMaxUnits = 256;
inline constexpr int kMaxMotions = 256;
inline constexpr int kMaxAnims = 256;
// Readers refuse kMaxParts or more Parts and clamp the other counts to kMaxCount.
inline constexpr int kMaxParts = 256;
inline constexpr int kMaxCount = 255;
// Field sizes with their terminators, as stored files expect them.
inline constexpr int kNodeNameSize = 64;
inline constexpr int kAnimNameSize = 67;
inline constexpr int kTextureFileSize = 260;
// The fourth index of a triangle.
inline constexpr uint32_t kNoCorner = 0xFFFFFFFFu;

// loaded_type of a Model that no reader filled; each reader's own value is a column of its row
// in the format registry (formats/registry.h).
inline constexpr int32_t kLoadedNone = 0;

struct Color {
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 0.0f;
  friend bool operator==(const Color&, const Color&) = default;
};

// Laid out as the fixed-function material. Files carry diffuse, specular, emissive and power;
// ambient always equals diffuse after a read.
struct Material {
  Color diffuse{0.8f, 0.8f, 0.8f, 1.0f};
  Color ambient{0.8f, 0.8f, 0.8f, 1.0f};
  Color specular;
  Color emissive;
  float power = 0.0f;
  friend bool operator==(const Material&, const Material&) = default;
};

// Four Part-local vertex indices; corner[3] == kNoCorner marks a triangle. A quad is the fan
// (0, 1, 2), (0, 2, 3).
struct Face {
  uint32_t corner[4] = {0, 0, 0, kNoCorner};
  bool IsTriangle() const { return corner[3] == kNoCorner; }
  friend bool operator==(const Face&, const Face&) = default;
};

struct Part {
  uint32_t first_vertex = 0;
  uint32_t first_face = 0;
  uint32_t texture_map_flag = 0;  // 0 planar, 1 spherical, 2 all the way round
  Material material;
  Vec3 center;
  Vec3 corner_min;
  Vec3 corner_max;
  Matrix pose_matrix;
  std::string texture_file;  // raw bytes relative to model_dir, at most kTextureFileSize - 1
  std::shared_ptr<const Texture> texture;
  // The texture came from inside the model file (a glTF image) and has no file of its own yet:
  // saving in a format that names texture files writes it as texture_file beside the model.
  bool texture_embedded = false;
  std::array<int32_t, 4> texture_rect{};  // 0, 0, width, height of the loaded texture
  std::array<float, 4> texture_map_param{1.0f, 1.0f, 0.0f, 0.0f};  // scale u, v, offset u, v
  int32_t texture_map_type = 0;                                    // projection direction 0..5
  uint32_t depth_order = 0;
  friend bool operator==(const Part&, const Part&) = default;
};

struct Unit {
  uint32_t basis_type = 0;     // 0 free, 1 tilt axis (one angle), 2 XYZ axes (three angles)
  uint32_t tree_expanded = 0;  // 2 = shown expanded
  std::array<int32_t, 3> axis_angle{};
  Vec3 axis;
  Vec3 basis_position;
  Matrix pose_matrix;
  uint32_t save_order = 0;
  std::array<int32_t, 4> blend_param{0, 0, 0, 20};  // axis, factor, formula, range (1/1000)
  friend bool operator==(const Unit&, const Unit&) = default;
};

struct Motion {
  uint32_t in_use = 0;
  std::array<std::array<int32_t, kMaxUnits>, 3> angle{};  // angle[k][unit]
  std::array<Vec3, kMaxUnits> translation{};
  std::array<Vec3, kMaxUnits> scale{};

  Motion() { scale.fill(Vec3{1.0f, 1.0f, 1.0f}); }
  friend bool operator==(const Motion&, const Motion&) = default;
};

struct Anim {
  int32_t first_motion = 0;
  int32_t last_motion = 0;
  uint8_t loop = 0;
  std::string name;  // raw bytes, at most kAnimNameSize - 1
  friend bool operator==(const Anim&, const Anim&) = default;
};

struct Model {
  int32_t parts_count = 0;
  int32_t node_count = 0;
  int32_t motion_count = 0;
  int32_t anim_count = 0;
  int32_t total_vertex_count = 0;
  int32_t total_face_count = 0;
  Vec3 total_center;
  Vec3 total_corner_min;
  Vec3 total_corner_max;
  uint8_t texture_all = 0;
  uint8_t all_triangles = 0;
  uint8_t modified = 0;
  int32_t loaded_type = kLoadedNone;
  std::string model_dir;  // ends with '/' unless empty
  std::string model_file_name;
  int32_t current_motion = 0;
  int32_t current_anim = -1;
  int32_t selected_unit = -1;

  // Per-vertex arrays, total_vertex_count long.
  std::vector<Vec3> positions;
  std::vector<Vec3> normals;
  std::vector<float> tex_u;
  std::vector<float> tex_v;
  std::vector<float> blend;
  // total_face_count long.
  std::vector<Face> faces;
  // parts_count + 1 records; the last is the sentinel holding the totals.
  std::vector<Part> parts;

  std::array<Unit, kMaxUnits> units{};
  std::array<std::string, kMaxNodes> node_name{};
  std::array<int32_t, kMaxNodes> parent{};
  std::array<uint32_t, kMaxParts> draw_order{};
  std::array<Motion, kMaxMotions> motions{};
  std::array<Anim, kMaxAnims> anims{};

  // The ordered forest of all nodes; `parent` mirrors it.
  UnitForest forest;

  int unit_count() const { return node_count - parts_count; }
  bool IsUnitNode(int node) const { return node >= parts_count && node < node_count; }
  int UnitOfNode(int node) const { return node - parts_count; }
  int NodeOfUnit(int unit) const { return unit + parts_count; }
  uint32_t PartVertexCount(int part) const {
    return parts[part + 1].first_vertex - parts[part].first_vertex;
  }
  uint32_t PartFaceCount(int part) const {
    return parts[part + 1].first_face - parts[part].first_face;
  }
};

// Empties the Model (steps in this order): current motion 0; textures released and names
// cleared; the forest emptied; geometry freed; model-wide fields zeroed, current_anim -1; Unit,
// Motion and Anim tables cleared (every scale 1, 1, 1); node tables cleared, every save_order its
// own index and every blend range 20. The view state is the caller's to reset with it.
void Reset(Model& model);

// Allocates parts_count + 1 Part records with their defaults and sets node_count = parts_count.
void AllocateParts(Model& model, int parts_count);
// Allocates the five per-vertex arrays; blend, tex_u and tex_v are zero.
void AllocateVertices(Model& model, int total_vertex_count);
void AllocateFaces(Model& model, int total_face_count);

// Recomputes `axis` of Unit `unit` from its axis_angle: (1, 0, 0) transformed by
// RotationXYZ(axis_angle).
void DeriveAxis(Model& model, int unit);

// all_triangles = 1 unless some face has a fourth corner.
void CheckTriangles(Model& model);

// Copies at most `capacity - 1` bytes of `text`, as the fixed fields of stored files hold them.
std::string ClampField(std::string_view text, int capacity);

}  // namespace vorna
