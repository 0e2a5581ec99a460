#include "samples/generator/walker_model.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "model/hierarchy.h"
#include "samples/generator/mesh_builder.h"

namespace vorna {

namespace {

struct PartSpec {
  const char* name;
  const char* owner;  // the Unit the Part hangs under
  Color colour;
  SampleMesh mesh;
  float top_blend = 0.0f;  // blend weight of the vertices at the Part's top
};

struct UnitSpec {
  const char* name;
  const char* parent;  // nullptr at the top level
  uint32_t basis_type;
  Vec3 pivot;
  std::array<int32_t, 3> axis_angle;
};

// Pivots and sizes in model units: the walker stands 1.1 tall around the origin.
const UnitSpec kUnits[] = {
    {"hips", nullptr, 2, {0.0f, -0.05f, 0.0f}, {0, 0, 0}},
    {"chest", "hips", 2, {0.0f, 0.02f, 0.0f}, {0, 0, 0}},
    {"neck", "chest", 1, {0.0f, 0.35f, 0.0f}, {0, 0, 90}},  // turns about Y
    {"shoulder_l", "chest", 2, {0.22f, 0.32f, 0.0f}, {0, 0, 0}},
    {"shoulder_r", "chest", 2, {-0.22f, 0.32f, 0.0f}, {0, 0, 0}},
    {"thigh_l", "hips", 1, {0.08f, -0.07f, 0.0f}, {0, 0, 0}},  // swings about X
    {"thigh_r", "hips", 1, {-0.08f, -0.07f, 0.0f}, {0, 0, 0}},
};
constexpr int kUnitCount = sizeof(kUnits) / sizeof(kUnits[0]);

int UnitIndex(const char* name) {
  for (int u = 0; u < kUnitCount; ++u) {
    if (std::string(kUnits[u].name) == name) return u;
  }
  return -1;
}

struct Pose {
  const char* unit;
  std::array<int32_t, 3> angle;
  Vec3 translation;
};

// A walk cycle of four Motions and a wave.
const std::vector<std::vector<Pose>> kMotions = {
    {{"thigh_l", {25, 0, 0}, {}},
     {"thigh_r", {-25, 0, 0}, {}},
     {"shoulder_l", {-20, 0, 0}, {}},
     {"shoulder_r", {20, 0, 0}, {}}},
    {{"hips", {0, 0, 0}, {0.0f, 0.02f, 0.0f}}, {"chest", {0, 5, 0}, {}}},
    {{"thigh_l", {-25, 0, 0}, {}},
     {"thigh_r", {25, 0, 0}, {}},
     {"shoulder_l", {20, 0, 0}, {}},
     {"shoulder_r", {-20, 0, 0}, {}}},
    {{"hips", {0, 0, 0}, {0.0f, 0.02f, 0.0f}}, {"chest", {0, -5, 0}, {}}},
    {{"shoulder_r", {0, 0, -150}, {}}, {"neck", {20, 0, 0}, {}}},
};

}  // namespace

void BuildWalkerModel(Model& model) {
  Reset(model);
  std::vector<PartSpec> parts;
  auto add_part = [&](const char* name, const char* owner, Color colour) -> PartSpec& {
    parts.push_back(PartSpec{name, owner, colour, {}, 0.0f});
    return parts.back();
  };
  add_part("pelvis", "hips", {0.35f, 0.38f, 0.55f, 1})
      .mesh.AddBox({-0.14f, -0.12f, -0.08f}, {0.14f, 0.05f, 0.08f});
  add_part("torso", "chest", {0.85f, 0.42f, 0.22f, 1})
      .mesh.AddBox({-0.17f, 0.0f, -0.09f}, {0.17f, 0.35f, 0.09f});
  add_part("head", "neck", {0.95f, 0.8f, 0.66f, 1})
      .mesh.AddSphere({0.0f, 0.45f, 0.0f}, 0.1f, 10, 6);
  for (int side = 0; side < 2; ++side) {
    const float x = side == 0 ? 1.0f : -1.0f;
    PartSpec& arm = add_part(side == 0 ? "arm_l" : "arm_r", side == 0 ? "shoulder_l" : "shoulder_r",
                             {0.95f, 0.8f, 0.66f, 1});
    const float arm_inner = x * 0.18f, arm_outer = x * 0.26f;
    arm.mesh.AddBox({std::min(arm_inner, arm_outer), -0.05f, -0.04f},
                    {std::max(arm_inner, arm_outer), 0.33f, 0.04f});
    PartSpec& leg = add_part(side == 0 ? "leg_l" : "leg_r", side == 0 ? "thigh_l" : "thigh_r",
                             {0.2f, 0.22f, 0.3f, 1});
    leg.mesh.AddBox({x * 0.08f - 0.05f, -0.55f, -0.05f}, {x * 0.08f + 0.05f, -0.06f, 0.05f});
    leg.top_blend = 0.5f;  // the hip joint bends half with the hips
  }

  const int parts_count = static_cast<int>(parts.size());
  std::vector<const SampleMesh*> meshes;
  for (const PartSpec& part : parts) meshes.push_back(&part.mesh);
  StoreMeshes(model, meshes);
  for (int p = 0; p < parts_count; ++p) {
    const PartSpec& spec = parts[p];
    Part& part = model.parts[p];
    part.material.diffuse = spec.colour;
    part.material.ambient = spec.colour;
    part.material.specular = {0.3f, 0.3f, 0.3f, 1.0f};
    part.material.power = 12.0f;
    model.node_name[p] = spec.name;
    float top = -1e9f;
    for (const Vec3& pos : spec.mesh.positions) top = std::max(top, pos.y);
    for (uint32_t v = part.first_vertex; v < model.parts[p + 1].first_vertex; ++v)
      model.blend[v] = model.positions[v].y == top ? spec.top_blend : 0.0f;
  }

  // Boxes and centres, as the editor's own bounds computation would give them.
  for (int p = 0; p < parts_count; ++p) {
    Part& part = model.parts[p];
    part.corner_min = part.corner_max = model.positions[part.first_vertex];
    for (uint32_t v = part.first_vertex; v < model.parts[p + 1].first_vertex; ++v) {
      for (int a = 0; a < 3; ++a) {
        part.corner_min[a] = std::min(part.corner_min[a], model.positions[v][a]);
        part.corner_max[a] = std::max(part.corner_max[a], model.positions[v][a]);
      }
    }
    part.center = (part.corner_min + part.corner_max) * 0.5f;
    if (p == 0) {
      model.total_corner_min = part.corner_min;
      model.total_corner_max = part.corner_max;
    }
    for (int a = 0; a < 3; ++a) {
      model.total_corner_min[a] = std::min(model.total_corner_min[a], part.corner_min[a]);
      model.total_corner_max[a] = std::max(model.total_corner_max[a], part.corner_max[a]);
    }
  }
  model.total_center = (model.total_corner_min + model.total_corner_max) * 0.5f;

  model.node_count = parts_count + kUnitCount;
  for (int u = 0; u < kUnitCount; ++u) {
    const UnitSpec& spec = kUnits[u];
    SetSampleUnit(model, u, spec.name, spec.parent ? UnitIndex(spec.parent) : -1, spec.basis_type,
                  spec.pivot, spec.axis_angle);
  }
  for (const char* leg : {"thigh_l", "thigh_r"})
    model.units[UnitIndex(leg)].blend_param = {1, 10, 0, 20};
  for (int p = 0; p < parts_count; ++p) model.parent[p] = parts_count + UnitIndex(parts[p].owner);

  model.motion_count = static_cast<int32_t>(kMotions.size());
  for (size_t m = 0; m < kMotions.size(); ++m) {
    model.motions[m].in_use = 1;
    for (const Pose& pose : kMotions[m]) {
      const int u = UnitIndex(pose.unit);
      for (int k = 0; k < 3; ++k) model.motions[m].angle[k][u] = pose.angle[k];
      model.motions[m].translation[u] = pose.translation;
    }
  }
  model.anim_count = 2;
  model.anims[0] = Anim{0, 3, 1, "walk"};
  model.anims[1] = Anim{4, 4, 0, "wave"};
  model.current_anim = 0;

  BuildHierarchy(model);
  CheckTriangles(model);
}

}  // namespace vorna
