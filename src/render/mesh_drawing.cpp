#include "render/mesh_drawing.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "model/hierarchy_edit.h"
#include "model/part_range.h"
#include "render/camera.h"

namespace vorna {

namespace {

// The ground slab, corner by corner: the top face at y = 0, the bottom 0.01 below.
constexpr float kGroundVertices[8][3] = {
    {1.0f, 0.0f, -1.0f},   {-1.0f, 0.0f, -1.0f},   {-1.0f, 0.0f, 1.0f},   {1.0f, 0.0f, 1.0f},
    {1.0f, -0.01f, -1.0f}, {-1.0f, -0.01f, -1.0f}, {-1.0f, -0.01f, 1.0f}, {1.0f, -0.01f, 1.0f}};
constexpr uint32_t kGroundFaces[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 1},
                                          {1, 5, 6}, {1, 6, 2}, {2, 6, 7}, {2, 7, 3},
                                          {3, 7, 4}, {3, 4, 0}, {4, 7, 6}, {4, 6, 5}};

constexpr float kAxisMarkerVertices[6][3] = {{0.1f, 0.0f, 0.0f},   {0.0f, 0.03f, 0.0f},
                                             {-0.1f, 0.0f, 0.0f},  {0.0f, 0.0f, -0.03f},
                                             {0.0f, -0.03f, 0.0f}, {0.0f, 0.0f, 0.03f}};
constexpr uint32_t kAxisMarkerFaces[8][3] = {{0, 1, 3}, {1, 2, 3}, {0, 3, 4}, {3, 2, 4},
                                             {0, 4, 5}, {4, 2, 5}, {0, 5, 1}, {5, 2, 1}};

// The sphere's eight slices at azimuth 180 - 45 j degrees from +x towards +z: the signs of the
// (x, z) components of each, 0 where the slice lies on an axis.
constexpr int kSliceSigns[8][2] = {{-1, 0}, {-1, 1}, {0, 1},  {1, 1},
                                   {1, 0},  {1, -1}, {0, -1}, {-1, -1}};
constexpr float kSphereRadius = 0.036f;
constexpr float kRingHeight = 0.025456f;
// Horizontal components of the ring vertices: on an axis and on a diagonal.
constexpr float kRingAxis = 0.025456f;
constexpr float kRingDiagonal = 0.017854f;
constexpr float kEquatorAxis = 0.036f;
constexpr float kEquatorDiagonal = 0.025456f;
constexpr uint32_t kTopPole = 0;
constexpr uint32_t kBottomPole = 4;

// The upper, equator and lower vertex of slice j. Slice 0 fills the gap the top pole leaves
// before the bottom pole's index.
uint32_t SliceVertex(int slice, int ring) {
  return slice == 0 ? static_cast<uint32_t>(1 + ring) : static_cast<uint32_t>(2 + 3 * slice + ring);
}

FixedMesh BuildSphere() {
  FixedMesh mesh;
  mesh.vertices.resize(26);
  mesh.vertices[kTopPole] = {0.0f, kSphereRadius, 0.0f};
  mesh.vertices[kBottomPole] = {0.0f, -kSphereRadius, 0.0f};
  for (int j = 0; j < 8; ++j) {
    const bool diagonal = kSliceSigns[j][0] != 0 && kSliceSigns[j][1] != 0;
    const float ring = diagonal ? kRingDiagonal : kRingAxis;
    const float equator = diagonal ? kEquatorDiagonal : kEquatorAxis;
    const float sx = static_cast<float>(kSliceSigns[j][0]);
    const float sz = static_cast<float>(kSliceSigns[j][1]);
    mesh.vertices[SliceVertex(j, 0)] = {sx * ring, kRingHeight, sz * ring};
    mesh.vertices[SliceVertex(j, 1)] = {sx * equator, 0.0f, sz * equator};
    mesh.vertices[SliceVertex(j, 2)] = {sx * ring, -kRingHeight, sz * ring};
  }
  for (int j = 0; j < 8; ++j) {
    const int next = (j + 1) % 8;
    const uint32_t a = SliceVertex(j, 0), b = SliceVertex(j, 1), c = SliceVertex(j, 2);
    const uint32_t a2 = SliceVertex(next, 0), b2 = SliceVertex(next, 1), c2 = SliceVertex(next, 2);
    mesh.faces.push_back(Face{{kTopPole, a, a2, kNoCorner}});
    mesh.faces.push_back(Face{{a, b, b2, a2}});
    mesh.faces.push_back(Face{{b, c, c2, b2}});
    mesh.faces.push_back(Face{{c, kBottomPole, c2, kNoCorner}});
  }
  return mesh;
}

template <size_t V, size_t F>
FixedMesh TriangleMesh(const float (&vertices)[V][3], const uint32_t (&faces)[F][3]) {
  FixedMesh mesh;
  for (const auto& v : vertices) mesh.vertices.push_back({v[0], v[1], v[2]});
  for (const auto& f : faces) mesh.faces.push_back(Face{{f[0], f[1], f[2], kNoCorner}});
  return mesh;
}

// Switches lighting and vertex blending off for the unlit meshes, and back on after them.
void BeginUnlit(Device& device) {
  device.EnableLight(false);
  device.render_states().lighting = false;
  device.render_states().vertex_blend = VertexBlend::kDisable;
}

void EndUnlit(Device& device) {
  device.EnableLight(true);
  device.render_states().lighting = true;
  device.render_states().vertex_blend = VertexBlend::kOneWeight;
}

// Draws every face of `mesh` in one colour, each triangle as its own one-triangle list or each
// face as a fan of one or two triangles.
void DrawFixedMesh(Device& device, const FixedMesh& mesh, uint32_t colour, float scale,
                   PrimitiveType type) {
  for (const Face& face : mesh.faces) {
    ColourVertex corners[4];
    const int count = face.IsTriangle() ? 3 : 4;
    for (int i = 0; i < count; ++i) {
      corners[i].position = mesh.vertices[face.corner[i]] * scale;
      corners[i].colour = colour;
    }
    device.DrawPrimitive(type, std::span<const ColourVertex>(corners, count));
  }
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

// How many vertices every per-vertex array can serve.
size_t VertexLimit(const Model& model) {
  return std::min({model.positions.size(), model.normals.size(), model.tex_u.size(),
                   model.tex_v.size(), model.blend.size()});
}

// The face's corners as indices into the per-vertex arrays; false when one lies outside them.
bool FaceCorners(const Face& face, uint32_t first_vertex, size_t limit, size_t (&index)[4],
                 int& count) {
  count = face.IsTriangle() ? 3 : 4;
  for (int i = 0; i < count; ++i) {
    index[i] = static_cast<size_t>(first_vertex) + face.corner[i];
    if (index[i] >= limit) return false;
  }
  return true;
}

// Draws the faces of part `part`, each as one fan, in the vertex layout V, coloured (where V has
// a colour) by colour_of(vertex index).
template <typename V, typename ColourOf>
void DrawPart(Device& device, const Model& model, int part, ColourOf colour_of) {
  const size_t limit = VertexLimit(model);
  const uint32_t first_vertex = model.parts[part].first_vertex;
  const IndexRange range = PartFaceRange(model, part);
  for (uint32_t f = range.begin; f < range.end; ++f) {
    size_t index[4];
    int count = 0;
    if (!FaceCorners(model.faces[f], first_vertex, limit, index, count)) continue;
    V corners[4];
    for (int i = 0; i < count; ++i) {
      V& v = corners[i];
      const size_t k = index[i];
      v.position = model.positions[k];
      v.blend = model.blend[k];
      v.normal = model.normals[k];
      if constexpr (requires { v.colour; }) v.colour = colour_of(k);
      v.u = model.tex_u[k];
      v.v = model.tex_v[k];
    }
    device.DrawPrimitive(PrimitiveType::kTriangleFan, std::span<const V>(corners, count));
  }
}

uint32_t PartColour(const Model& model, const ViewState& view, int part) {
  uint32_t rgb = 0xFFFFFF;
  if (IsHighlighted(model, part)) rgb = model.selected_unit == -1 ? 0xFF0000 : 0x80FF00;
  return (static_cast<uint32_t>(view.part_alpha & 0xFF) << 24) | rgb;
}

const Matrix& OwnerPose(const Model& model, int part, const Matrix& identity) {
  const int owner = model.parent[part];
  if (!model.IsUnitNode(owner)) return identity;
  const int unit = model.UnitOfNode(owner);
  return unit < kMaxUnits ? model.units[unit].pose_matrix : identity;
}

}  // namespace

FixedMeshes BuildFixedMeshes() {
  FixedMeshes meshes;
  meshes.ground = TriangleMesh(kGroundVertices, kGroundFaces);
  meshes.axis_marker = TriangleMesh(kAxisMarkerVertices, kAxisMarkerFaces);
  meshes.sphere = BuildSphere();
  return meshes;
}

PartLook LookOf(const ViewState& view) {
  if (view.texture_dialog_page != 0) return PartLook::kTexture;
  if (view.weight_display) return PartLook::kWeight;
  return view.texture_colour_on ? PartLook::kTexture : PartLook::kColour;
}

UnitShare ShareOfUnit(const Model& model, int part, int unit) {
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  if (part < 0 || part >= kMaxParts || unit < 0 || unit >= model.unit_count()) {
    return UnitShare{};
  }
  const int owner = model.parent[part];
  if (!model.IsUnitNode(owner)) return UnitShare{};
  const int unit_node = model.NodeOfUnit(unit);
  if (owner == unit_node) return UnitShare{UnitShare::kOwner};
  // The Unit above the owner moves both of the part's matrices, whatever the weights.
  int node = model.forest.ParentOf(owner);
  for (int steps = 0; node != kTopLevel && steps < kForestCapacity; ++steps) {
    if (node == unit_node) return UnitShare{UnitShare::kWhole};
    node = model.forest.ParentOf(node);
  }
  return UnitShare{};
}

uint32_t WeightColour(float share) {
  const float s = std::isfinite(share) ? std::clamp(share, 0.0f, 1.0f) : 0.0f;
  const auto red = static_cast<uint32_t>(std::lround(s * 255.0f));
  return 0xFF000000u | (red << 16) | (255u - red);
}

void DepthSort(Model& model, Vec3 eye_position) {
  const int count = std::min(UsablePartCount(model), kMaxParts);
  std::array<float, kMaxParts> keys{};
  for (int p = 0; p < count; ++p) {
    const Vec3 c = model.parts[p].center;
    const auto& m = model.parts[p].pose_matrix.m;
    const Vec3 posed{c.x * m[0][0] + c.y * m[1][0] + c.z * m[2][0] + m[3][0],
                     c.x * m[0][1] + c.y * m[1][1] + c.z * m[2][1] + m[3][1],
                     c.x * m[0][2] + c.y * m[1][2] + c.z * m[2][2] + m[3][2]};
    // Farthest from the eye first, so that nearer semi-transparent parts blend over farther
    // ones. (Measuring to the eye's mirror image through the origin, as the key once did, turns
    // the order round and hides farther parts behind nearer ones.)
    const float key = Length(posed - eye_position);
    keys[p] = std::isnan(key) ? 0.0f : key;
  }
  for (int k = 0; k < count; ++k) {
    int best = -1;
    for (int p = 0; p < count; ++p) {
      if (keys[p] >= 0.0f && (best < 0 || keys[p] > keys[best])) best = p;
    }
    model.parts[k].depth_order = static_cast<uint32_t>(best);
    keys[best] = -1.0f;
  }
}

void DrawParts(DrawingContext& context, Model& model, const ViewState& view, PartLook look) {
  Device& device = context.device;
  const int count = UsablePartCount(model);
  device.render_states().fill_mode = static_cast<FillMode>(view.fill_mode);
  const bool semi_transparent = view.part_alpha < 255;
  if (semi_transparent) DepthSort(model, context.eye_position);
  if (look != PartLook::kTexture) device.SetMaterial(context.default_material);

  const Matrix identity = Identity();
  std::string bound_name;
  for (int k = 0; k < count; ++k) {
    const uint32_t p = semi_transparent ? model.parts[k].depth_order : model.draw_order[k];
    if (p >= static_cast<uint32_t>(count)) continue;
    const Part& part = model.parts[p];
    device.SetTransform(TransformState::kWorld, OwnerPose(model, static_cast<int>(p), identity));
    device.SetTransform(TransformState::kWorld1, part.pose_matrix);
    if (look == PartLook::kTexture) {
      device.SetMaterial(part.material);
      // Parts sharing a texture file one after another bind it once; an unnamed texture always
      // rebinds, to none.
      if (bound_name.empty() || !EqualIgnoringCase(part.texture_file, bound_name)) {
        device.SetTexture(part.texture);
        bound_name = part.texture_file;
      }
    }
    device.render_states().wrap0 = part.texture_map_flag == 2 ? kWrapU : 0;
    if (look == PartLook::kColour) {
      const uint32_t colour = PartColour(model, view, static_cast<int>(p));
      DrawPart<BlendedColourVertex>(device, model, static_cast<int>(p),
                                    [colour](size_t) { return colour; });
    } else if (look == PartLook::kWeight) {
      const uint32_t alpha = static_cast<uint32_t>(view.part_alpha & 0xFF) << 24;
      const UnitShare share = ShareOfUnit(model, static_cast<int>(p), model.selected_unit);
      DrawPart<BlendedColourVertex>(device, model, static_cast<int>(p), [&](size_t k) {
        return alpha | (WeightColour(share.Of(model.blend[k])) & 0xFFFFFF);
      });
    } else {
      DrawPart<BlendedVertex>(device, model, static_cast<int>(p), [](size_t) { return 0u; });
    }
  }
  device.render_states().fill_mode = kFillSolid;
}

void DrawGround(DrawingContext& context, const Model& model, const ViewState& view) {
  Device& device = context.device;
  BeginUnlit(device);
  device.SetTexture(nullptr);
  device.SetTransform(TransformState::kWorld, Translation(0.0f, model.total_corner_min.y, 0.0f));
  const uint32_t colour = (static_cast<uint32_t>(view.part_alpha & 0xFF) << 24) | 0xFFFFFF;
  DrawFixedMesh(device, context.meshes.ground, colour, 1.0f, PrimitiveType::kTriangleList);
  EndUnlit(device);
}

void DrawUnitMarker(DrawingContext& context, const Model& model, int unit) {
  // Units whose node lies beyond the node tables have no highlight flag to read: not drawn.
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  if (unit < 0 || unit >= model.unit_count() || model.NodeOfUnit(unit) >= kMaxNodes) {
    return;
  }
  Device& device = context.device;
  const Unit& record = model.units[unit];
  Vec3 pivot = record.basis_position;
  if (model.current_motion >= 0 && model.current_motion < kMaxMotions) {
    pivot = pivot + model.motions[model.current_motion].translation[unit];
  }
  const Matrix tilt = RotationXYZ(record.axis_angle[0], record.axis_angle[1], record.axis_angle[2]);
  const Matrix world =
      Multiply(Multiply(tilt, Translation(pivot.x, pivot.y, pivot.z)), record.pose_matrix);
  device.SetTransform(TransformState::kWorld, world);
  BeginUnlit(device);
  device.SetTexture(nullptr);
  uint32_t colour = 0xFF0000FF;
  if (unit == model.selected_unit) {
    colour = 0xFFFF0000;
  } else if (IsHighlighted(model, model.NodeOfUnit(unit))) {
    colour = 0xFF80FF00;
  }
  if (record.basis_type == 1) {
    DrawFixedMesh(device, context.meshes.axis_marker, colour, context.marker_scale,
                  PrimitiveType::kTriangleList);
  } else {
    DrawFixedMesh(device, context.meshes.sphere, colour, context.marker_scale,
                  PrimitiveType::kTriangleFan);
  }
  EndUnlit(device);
}

std::array<Vec3, 4> PlacementCorners(Vec3 lo, Vec3 hi, int map_direction) {
  switch (map_direction) {
    case 1:
      return {{{hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, lo.y, lo.z}}};
    case 2:
      return {{{lo.x, lo.y, lo.z}, {lo.x, hi.y, lo.z}, {lo.x, hi.y, hi.z}, {lo.x, lo.y, hi.z}}};
    case 3:
      return {{{hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, hi.y, lo.z}, {hi.x, lo.y, lo.z}}};
    case 4:
      return {{{lo.x, lo.y, lo.z}, {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, lo.y, lo.z}}};
    case 5:
      return {{{hi.x, hi.y, lo.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}, {lo.x, hi.y, lo.z}}};
    default:
      return {{{lo.x, lo.y, hi.z}, {lo.x, hi.y, hi.z}, {hi.x, hi.y, hi.z}, {hi.x, lo.y, hi.z}}};
  }
}

Matrix PlacementTransform(Vec3 lo, Vec3 hi, const MappingSettings& mapping, float preview_scale) {
  const float s = preview_scale;
  const float hx = (hi.x - lo.x) / 2.0f * s;
  const float hy = (hi.y - lo.y) / 2.0f * s;
  const float hz = (lo.z - hi.z) / 2.0f * s;  // negative for a box of positive depth
  const float ou = mapping.map_offset_u * s;
  const float ov = mapping.map_offset_v * s;
  const float su = mapping.map_scale_u;
  const float sv = mapping.map_scale_v;
  const int plane =
      mapping.map_direction >= 0 && mapping.map_direction <= 5 ? mapping.map_direction / 2 : 0;
  Matrix t1, scale, t2, t3;
  switch (plane) {
    case 1:
      t1 = Translation(0.0f, -hy, -hz);
      scale = Scaling(1.0f, sv, su);
      t2 = Translation(0.0f, hy, hz);
      t3 = Translation(0.0f, -ov, ou);
      break;
    case 2:
      t1 = Translation(hx, 0.0f, hz);
      scale = Scaling(su, 1.0f, sv);
      t2 = Translation(-hx, 0.0f, -hz);
      t3 = Translation(ou, 0.0f, -ov);
      break;
    default:
      t1 = Translation(hx, -hy, 0.0f);
      scale = Scaling(su, sv, 1.0f);
      t2 = Translation(-hx, hy, 0.0f);
      t3 = Translation(ou, -ov, 0.0f);
      break;
  }
  return Multiply(Multiply(Multiply(t1, scale), t2), t3);
}

void DrawTexturePreview(DrawingContext& context, Model& model, const ViewState& view,
                        const TexturePreviewSettings& preview) {
  const int e = preview.mapping.edit_part;
  if (e < 0 || e >= UsablePartCount(model)) return;
  Device& device = context.device;
  const Part& part = model.parts[e];
  device.EnableLight(false);
  device.render_states().lighting = false;
  const float s = preview.preview_scale;
  const Matrix world =
      Multiply(Translation(-part.center.x, -part.center.y, -part.center.z), Scaling(s, s, s));
  device.render_states().fill_mode = kFillSolid;
  device.render_states().wrap0 = part.texture_map_flag == 2 ? kWrapU : 0;

  if (!preview.mapping_applied && part.texture != nullptr) {
    device.SetTexture(part.texture);
    device.render_states().vertex_blend = VertexBlend::kDisable;
    device.SetTransform(
        TransformState::kWorld,
        Multiply(world, PlacementTransform(part.corner_min, part.corner_max, preview.mapping, s)));
    const uint32_t a = static_cast<uint32_t>(view.part_alpha & 0xFF);
    const uint32_t grey = (a << 24) | (a << 16) | (a << 8) | a;
    const std::array<Vec3, 4> corners =
        PlacementCorners(part.corner_min, part.corner_max, preview.mapping.map_direction);
    const ColourVertex quad[4] = {{corners[0], grey, 0.0f, 0.0f},
                                  {corners[1], grey, 0.0f, -1.0f},
                                  {corners[2], grey, 1.0f, -1.0f},
                                  {corners[3], grey, 1.0f, 0.0f}};
    device.DrawPrimitive(PrimitiveType::kTriangleFan, std::span<const ColourVertex>(quad));
    device.render_states().vertex_blend = VertexBlend::kOneWeight;
  }

  device.SetTransform(TransformState::kWorld, world);
  device.SetTexture(preview.mapping_applied ? part.texture : nullptr);
  if (model.texture_all == 0) {
    device.render_states().vertex_blend = VertexBlend::kDisable;
    const uint32_t colour = (static_cast<uint32_t>(view.part_alpha & 0xFF) << 24) | 0xFAFAFA;
    const size_t limit = VertexLimit(model);
    const IndexRange range = PartFaceRange(model, e);
    for (uint32_t f = range.begin; f < range.end; ++f) {
      size_t index[4];
      int count = 0;
      if (!FaceCorners(model.faces[f], part.first_vertex, limit, index, count)) continue;
      ColourVertex corners[4];
      for (int i = 0; i < count; ++i) {
        corners[i] = {model.positions[index[i]], colour, model.tex_u[index[i]],
                      model.tex_v[index[i]]};
      }
      device.DrawPrimitive(PrimitiveType::kTriangleFan,
                           std::span<const ColourVertex>(corners, count));
    }
    device.render_states().vertex_blend = VertexBlend::kOneWeight;
  } else {
    SetupLight(device, view);
    DrawParts(context, model, view, PartLook::kTexture);
  }
  device.EnableLight(true);
  device.render_states().lighting = true;
}

}  // namespace vorna
