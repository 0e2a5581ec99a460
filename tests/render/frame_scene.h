// Tiny models for the frame tests: parts of one face each, seen from the front in a square view
// where world x and y in -1 .. 1 fill the view (16 pixels to the unit in a 32 x 32 view).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "model/bounds.h"
#include "model/geometry_fixtures.h"
#include "model/hierarchy.h"
#include "render/camera.h"
#include "render/device_scene.h"

namespace vorna::test {

// One face of a part, with one normal and blend weight for all its corners.
struct FaceSpec {
  std::vector<Vec3> corners;
  std::vector<Vec2> uv;
  Vec3 normal{0.0f, 0.0f, -1.0f};
  float blend = 0.0f;
};

// The square x0..x1, y0..y1 at depth z, clockwise as the front camera sees it, u growing to the
// right and v downwards.
inline FaceSpec Square(float x0, float y0, float x1, float y1, float z = 0.0f) {
  return {{{x0, y1, z}, {x1, y1, z}, {x1, y0, z}, {x0, y0, z}},
          {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}}};
}

// One part per face, all at the top level, draw_order the identity, one Motion. The camera looks
// at the origin whatever the box.
inline std::unique_ptr<Model> FaceModel(const std::vector<FaceSpec>& faces) {
  std::vector<PartMesh> meshes;
  for (const FaceSpec& spec : faces) meshes.push_back({spec.corners, {Face{{0, 1, 2, 3}}}});
  auto model = ModelOfParts(meshes);
  for (size_t k = 0; k < model->positions.size(); ++k) {
    const FaceSpec& spec = faces[k / 4];
    model->normals[k] = spec.normal;
    model->blend[k] = spec.blend;
    model->tex_u[k] = spec.uv[k % 4].x;
    model->tex_v[k] = spec.uv[k % 4].y;
  }
  for (int p = 0; p < model->parts_count; ++p) {
    model->draw_order[p] = static_cast<uint32_t>(p);
    model->parent[p] = -1;
  }
  model->motion_count = 1;
  model->motions[0].in_use = 1;
  RecomputeBounds(*model);
  model->total_center = {};
  BuildHierarchy(*model);
  return model;
}

// Adds a top-level Unit with its pivot at `pivot` owning `parts`; returns its index.
inline int AddUnit(Model& model, Vec3 pivot, const std::vector<int>& parts, uint32_t basis = 2) {
  const int unit = model.unit_count();
  model.node_count += 1;
  model.units[unit].basis_type = basis;
  model.units[unit].basis_position = pivot;
  model.parent[model.NodeOfUnit(unit)] = -1;
  for (int p : parts) model.parent[p] = model.NodeOfUnit(unit);
  BuildHierarchy(model);
  return unit;
}

// A single-threaded size x size device with the fixed state set up.
inline RenderContext FrontContext(const ViewState& view, int size = 32) {
  RenderContext context;
  InitDevice(context, view, size, size);
  context.device->set_thread_count(1);
  return context;
}

// "" when the frame RenderFrame draws matches the reference image frame_`name`.
inline std::string Drawn(RenderContext& context, Model& model, const ViewState& view,
                         const std::string& name) {
  if (!RenderFrame(context, model, view)) return "no frame";
  return ReferenceDifference(context.device->back_buffer(), "frame_" + name);
}

inline Rgb Pixel(const RenderContext& context, int x, int y) {
  const uint8_t* p = context.device->back_buffer().Pixel(x, y);
  return {p[0], p[1], p[2]};
}

inline bool IsBlack(const Rgb& rgb) { return rgb == Rgb{0, 0, 0}; }

// An opaque texture of width x height texels coloured by colour(x, y).
template <typename F>
std::shared_ptr<const Texture> MakeTexture(int width, int height, F colour) {
  return Texture::FromImage(MakeImage(width, height, [&](int x, int y) {
    const Rgb c = colour(x, y);
    return Rgba{static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2]),
                255};
  }));
}

inline std::shared_ptr<const Texture> SolidTexture(Rgb colour) {
  return MakeTexture(1, 1, [colour](int, int) { return colour; });
}

// A material that lights to full white whatever the light, so a texture shows unchanged.
inline Material Glowing() {
  Material m;
  m.diffuse = m.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
  m.emissive = {1.0f, 1.0f, 1.0f, 0.0f};
  return m;
}

}  // namespace vorna::test
