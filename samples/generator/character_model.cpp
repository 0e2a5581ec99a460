#include "samples/generator/character_model.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "animation/keyframes.h"
#include "animation/pose.h"
#include "model/bounds.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "model/texture_mapping.h"
#include "samples/generator/mesh_builder.h"

namespace vorna {

namespace {

// Names in CP932, as a user's files hold them.
constexpr char kLeft[] = "\x8d\xb6";   // 左
constexpr char kRight[] = "\x89\x45";  // 右

// Pixels of the texture image; every Part is mapped onto one cell of it.
constexpr int kTextureSize = 256;

struct Cell {
  int x0, y0, x1, y1;
};
constexpr Cell kFaceCell{0, 0, 128, 128};
constexpr Cell kHairCell{128, 0, 192, 64};
constexpr Cell kSkinCell{192, 0, 256, 64};
constexpr Cell kShirtCell{128, 64, 256, 128};
constexpr Cell kSleeveCell{0, 128, 64, 192};
constexpr Cell kPelvisCell{64, 128, 128, 192};
constexpr Cell kThighCell{128, 128, 192, 192};
constexpr Cell kShinCell{192, 128, 256, 192};
constexpr Cell kShoeCell{0, 192, 64, 256};
// Texels kept between a Part's box and its cell's border, so that filtering never reaches the
// next cell.
constexpr float kCellMargin = 2.0f;

// Coordinates on a grid of 2^-14, printed exactly by the writers: the file does not change with
// the last bit of the sines and cosines of the machine that runs the generator. A ring snapped
// off its joint's height by up to 2^-15 is why the joints below keep a small range of weight 1:
// a shared ring must weigh exactly 1 on the child's side to stay closed.
float Snap(float value) { return std::round(value * 16384.0f) / 16384.0f; }
Vec3 Snap(Vec3 v) { return {Snap(v.x), Snap(v.y), Snap(v.z)}; }

// One cross-section of a lathe: `t` along the axis, half-widths `a` along the side vector and
// `b` across it. A ring of zero width is a pole.
struct Ring {
  float t, a, b;
};

// A surface of elliptic cross-sections along a straight axis, from the first ring to the last,
// over the angles phi0 .. phi1 about the axis (a whole turn closes each ring). Normals are the
// surface's own, so Parts that meet at a ring of the same size shade without a seam there: the
// end rings of an open lathe take normals straight out from the axis.
void AddLathe(SampleMesh& mesh, Vec3 origin, Vec3 axis, Vec3 side, const std::vector<Ring>& rings,
              int segments, float phi0 = 0.0f, float phi1 = 2.0f * kPi) {
  const Vec3 across = Cross(axis, side);
  const bool closed = phi1 - phi0 > 6.28f;
  const int count = closed ? segments : segments + 1;
  std::vector<std::vector<uint32_t>> ids(rings.size());
  const int last = static_cast<int>(rings.size()) - 1;
  for (int i = 0; i <= last; ++i) {
    const Ring& ring = rings[i];
    const Vec3 centre = origin + axis * ring.t;
    if (ring.a == 0.0f && ring.b == 0.0f) {
      ids[i].push_back(mesh.AddVertex(Snap(centre), Snap(axis * (i == 0 ? -1.0f : 1.0f)), {}));
      continue;
    }
    float da = 0.0f, db = 0.0f;
    if (i > 0 && i < last) {
      const float dt = rings[i + 1].t - rings[i - 1].t;
      da = (rings[i + 1].a - rings[i - 1].a) / dt;
      db = (rings[i + 1].b - rings[i - 1].b) / dt;
    }
    for (int j = 0; j < count; ++j) {
      const float phi = phi0 + (phi1 - phi0) * static_cast<float>(j) / static_cast<float>(segments);
      const float c = std::cos(phi), s = std::sin(phi);
      const Vec3 position = centre + side * (ring.a * c) + across * (ring.b * s);
      const Vec3 along = axis + side * (da * c) + across * (db * s);
      const Vec3 around = side * (-ring.a * s) + across * (ring.b * c);
      Vec3 normal = Normalize(Cross(around, along));
      if (Dot(normal, side * (ring.b * c) + across * (ring.a * s)) < 0) normal = normal * -1.0f;
      ids[i].push_back(mesh.AddVertex(Snap(position), Snap(normal), {}));
    }
  }
  auto outside = [&](const std::vector<uint32_t>& corners) {
    Vec3 sum;
    for (uint32_t c : corners) sum = sum + mesh.normals[c];
    return sum;
  };
  for (int i = 0; i < last; ++i) {
    const std::vector<uint32_t>& near = ids[i];
    const std::vector<uint32_t>& far = ids[i + 1];
    for (int j = 0; j < segments; ++j) {
      const int k = (j + 1) % count;
      std::vector<uint32_t> corners;
      if (near.size() == 1) {
        corners = {near[0], far[j], far[k]};
      } else if (far.size() == 1) {
        corners = {near[j], far[0], near[k]};
      } else {
        corners = {near[j], far[j], far[k], near[k]};
      }
      mesh.AddFace(corners, outside(corners));
    }
  }
}

// Rings of an ellipsoid of half-length `length` about `centre` on the axis, from the pole at
// the first quarter-turn `from` to the one at `to` (0 .. 2 for the whole body).
std::vector<Ring> EllipsoidRings(float centre, float length, float a, float b, int steps,
                                 float from = 0.0f, float to = 2.0f) {
  std::vector<Ring> rings;
  for (int i = 0; i <= steps; ++i) {
    const float theta =
        kPi / 2.0f * (from + (to - from) * static_cast<float>(i) / static_cast<float>(steps));
    const float k = std::sin(theta);
    const bool pole = std::abs(k) < 1e-4f;
    rings.push_back({centre - length * std::cos(theta), pole ? 0.0f : a * k, pole ? 0.0f : b * k});
  }
  return rings;
}

// Appends `more` to `rings`, dropping a first ring that repeats the last one (up to the rounding
// of the ellipsoid's cosine at its equator), which would leave a strip of empty faces.
void Append(std::vector<Ring>& rings, const std::vector<Ring>& more) {
  for (const Ring& ring : more) {
    if (!rings.empty() && std::abs(ring.t - rings.back().t) < 1e-5f &&
        std::abs(ring.a - rings.back().a) < 1e-5f)
      continue;
    rings.push_back(ring);
  }
}

// A round limb section: a tube through `radii` (at the given distances along the axis), with a
// ball of the first radius about the start when `ball_start`, and a half ball closing the end
// when `cap_end`.
std::vector<Ring> Limb(const std::vector<Ring>& tube, bool ball_start, bool cap_end) {
  std::vector<Ring> rings;
  if (ball_start) {
    const Ring& first = tube.front();
    Append(rings, EllipsoidRings(first.t, first.a, first.a, first.b, 5, 0.0f, 1.0f));
  }
  Append(rings, tube);
  if (cap_end) {
    const Ring& end = tube.back();
    Append(rings, EllipsoidRings(end.t, end.a, end.a, end.b, 4, 1.0f, 2.0f));
  }
  return rings;
}

struct UnitSpec {
  std::string name;
  int parent;  // unit index, -1 at the top level
  uint32_t basis_type;
  Vec3 pivot;
  std::array<int32_t, 3> axis_angle;
  std::array<int32_t, 4> blend_param;  // axis, factor, formula, range (1/1000)
};

struct PartSpec {
  std::string name;
  int unit;
  Cell cell;
  int32_t direction;  // of the planar mapping
  SampleMesh mesh;
};

// The unit index of each joint; the table below is in this order, parents first.
enum UnitId {
  kHips,
  kChest,
  kNeck,
  kShoulderL,
  kElbowL,
  kWristL,
  kShoulderR,
  kElbowR,
  kWristR,
  kHipL,
  kKneeL,
  kAnkleL,
  kHipR,
  kKneeR,
  kAnkleR,
  kUnitCount
};

// Proportions in model units: the figure stands 1.18 tall, its feet at y = -0.58, facing -z
// (the front view's side). Its left is +x.
constexpr float kArmTilt = 10.0f;  // degrees the arms hang out from the body
constexpr float kShoulderX = 0.185f, kShoulderY = 0.30f;
constexpr float kUpperArm = 0.21f, kForearm = 0.19f;
constexpr float kHipX = 0.072f, kHipY = -0.04f;
constexpr float kThigh = 0.25f, kShin = 0.23f;
constexpr float kWaistY = 0.04f, kNeckY = 0.34f;
constexpr float kHeadY = 0.49f;

Vec3 ArmAxis(float side) {
  const float tilt = DegreesToRadians(static_cast<int>(kArmTilt));
  return {side * std::sin(tilt), -std::cos(tilt), 0.0f};
}
Vec3 ArmSide(float side) {
  const float tilt = DegreesToRadians(static_cast<int>(kArmTilt));
  return {std::cos(tilt), side * std::sin(tilt), 0.0f};
}

std::vector<UnitSpec> Units() {
  std::vector<UnitSpec> units(kUnitCount);
  units[kHips] = {"\x8d\x98", -1, 2, {0, kHipY + 0.02f, 0}, {0, 0, 0}, {1, 0, 0, 20}};  // 腰
  // 胸: the waist bends over the lowest 0.08 of the torso.
  units[kChest] = {"\x8b\xb9", kHips, 2, {0, kWaistY, 0}, {0, 0, 0}, {1, 125, 0, 2}};
  // 首
  units[kNeck] = {"\x8e\xf1", kChest, 2, {0, kNeckY, 0}, {0, 0, 0}, {1, 300, 0, 10}};
  for (int s = 0; s < 2; ++s) {
    const float side = s == 0 ? 1.0f : -1.0f;
    const std::string prefix = s == 0 ? kLeft : kRight;
    const int base = s == 0 ? kShoulderL : kShoulderR;
    const Vec3 shoulder{side * kShoulderX, kShoulderY, 0};
    const Vec3 elbow = shoulder + ArmAxis(side) * kUpperArm;
    const Vec3 wrist = elbow + ArmAxis(side) * kForearm;
    const int32_t tilt = static_cast<int32_t>(side * kArmTilt);
    units[base] = {prefix + "\x8c\xa8", kChest, 2, shoulder, {0, 0, 0}, {1, 120, 0, 20}};  // 肩
    // 肘 bends about the axis square to the hanging arm. The elbow ring is tilted with the arm,
    // up to 0.008 off the pivot's height: the range of weight 1 keeps all of it with the upper arm.
    units[base + 1] = {prefix + "\x95\x49", base, 1, elbow, {0, 0, tilt}, {1, 100, 0, 8}};
    units[base + 2] = {prefix + "\x8e\xe8\x8e\xf1", base + 1, 2, wrist, {0, 0, 0}, {1, 250, 0, 5}};
    const int hip = s == 0 ? kHipL : kHipR;
    const Vec3 hip_joint{side * kHipX, kHipY, 0};
    const Vec3 knee = hip_joint - Vec3{0, kThigh, 0};
    const Vec3 ankle = knee - Vec3{0, kShin, 0};
    units[hip] = {prefix + "\x8c\xd2", kHips, 2, hip_joint, {0, 0, 0}, {1, 100, 0, 20}};  // 股
    units[hip + 1] = {prefix + "\x95\x47", hip, 1, knee, {0, 0, 0}, {1, 110, 0, 2}};      // 膝
    units[hip + 2] = {prefix + "\x91\xab\x8e\xf1", hip + 1, 1, ankle, {0, 0, 0}, {1, 400, 0, 5}};
  }
  return units;
}

std::vector<PartSpec> Parts(const std::vector<UnitSpec>& units) {
  std::vector<PartSpec> parts;
  auto add = [&](std::string name, int unit, Cell cell, int32_t direction) -> SampleMesh& {
    parts.push_back(PartSpec{std::move(name), unit, cell, direction, {}});
    return parts.back().mesh;
  };
  const Vec3 up{0, 1, 0}, down{0, -1, 0}, right{1, 0, 0};
  // The waist ring is shared by the pelvis and the torso, so the two close without a crack.
  const Ring waist{0.0f, 0.115f, 0.080f};
  // 骨盤
  std::vector<Ring> pelvis = {
      waist, {0.04f, 0.122f, 0.083f}, {0.08f, 0.126f, 0.081f}, {0.11f, 0.122f, 0.077f}};
  Append(pelvis, EllipsoidRings(0.11f, 0.05f, 0.122f, 0.077f, 4, 1.0f, 2.0f));
  AddLathe(add("\x8d\x9c\x94\xd5", kHips, kPelvisCell, 0), {0, kWaistY, 0}, down, right, pelvis,
           24);
  // 胴体
  std::vector<Ring> torso = {waist,
                             {0.04f, 0.118f, 0.082f},
                             {0.09f, 0.128f, 0.088f},
                             {0.14f, 0.140f, 0.093f},
                             {0.19f, 0.150f, 0.093f},
                             {0.23f, 0.160f, 0.090f},
                             {0.26f, 0.163f, 0.086f}};
  Append(torso, EllipsoidRings(0.26f, 0.07f, 0.163f, 0.086f, 5, 1.0f, 2.0f));
  AddLathe(add("\x93\xb7\x91\xcc", kChest, kShirtCell, 0), {0, kWaistY, 0}, up, right, torso, 24);
  // 首筋: both ends hide inside the torso and the head.
  AddLathe(add("\x8e\xf1\x8b\xd8", kNeck, kSkinCell, 0), {0, 0.32f, 0}, up, right,
           {{0.0f, 0.042f, 0.040f},
            {0.03f, 0.041f, 0.039f},
            {0.06f, 0.040f, 0.038f},
            {0.09f, 0.040f, 0.038f},
            {0.11f, 0.040f, 0.038f}},
           16);
  // 顔 and 後頭部: the two halves of the head, so that the face is mapped onto the front only.
  const std::vector<Ring> head = EllipsoidRings(0.0f, 0.112f, 0.098f, 0.104f, 16);
  AddLathe(add("\x8a\xe7", kNeck, kFaceCell, 0), {0, kHeadY, 0}, up, right, head, 12, 0.0f, kPi);
  AddLathe(add("\x8c\xe3\x93\xaa\x95\x94", kNeck, kHairCell, 0), {0, kHeadY, 0}, up, right, head,
           12, kPi, 2.0f * kPi);
  for (int s = 0; s < 2; ++s) {
    const float side = s == 0 ? 1.0f : -1.0f;
    const std::string prefix = s == 0 ? kLeft : kRight;
    const int base = s == 0 ? kShoulderL : kShoulderR;
    const Vec3 axis = ArmAxis(side), across = ArmSide(side);
    // 上腕: a ball at the shoulder turns inside the torso; the elbow ring is the forearm's.
    AddLathe(add(prefix + "\x8f\xe3\x98\x72", base, kSleeveCell, 0), units[base].pivot, axis,
             across,
             Limb({{0.0f, 0.050f, 0.050f},
                   {0.04f, 0.049f, 0.049f},
                   {0.08f, 0.047f, 0.047f},
                   {0.12f, 0.045f, 0.045f},
                   {0.16f, 0.043f, 0.043f},
                   {kUpperArm, 0.041f, 0.041f}},
                  true, false),
             16);
    // 前腕: rings close together where the elbow bends.
    AddLathe(add(prefix + "\x91\x4f\x98\x72", base + 1, kSkinCell, 0), units[base + 1].pivot, axis,
             across,
             Limb({{0.0f, 0.041f, 0.041f},
                   {0.012f, 0.041f, 0.041f},
                   {0.024f, 0.0405f, 0.0405f},
                   {0.036f, 0.040f, 0.040f},
                   {0.05f, 0.039f, 0.039f},
                   {0.07f, 0.038f, 0.038f},
                   {0.10f, 0.036f, 0.036f},
                   {0.13f, 0.034f, 0.034f},
                   {0.16f, 0.032f, 0.032f},
                   {kForearm, 0.031f, 0.031f}},
                  false, true),
             16);
    // 手: flat, its palm towards the body.
    AddLathe(add(prefix + "\x8e\xe8", base + 2, kSkinCell, 2), units[base + 2].pivot, axis, across,
             EllipsoidRings(0.048f, 0.056f, 0.024f, 0.035f, 10), 12);
    const int hip = s == 0 ? kHipL : kHipR;
    // 太腿
    AddLathe(add(prefix + "\x91\xbe\x91\xda", hip, kThighCell, 0), units[hip].pivot, down, right,
             Limb({{0.0f, 0.066f, 0.066f},
                   {0.04f, 0.064f, 0.064f},
                   {0.09f, 0.060f, 0.060f},
                   {0.14f, 0.056f, 0.056f},
                   {0.19f, 0.051f, 0.051f},
                   {kThigh, 0.047f, 0.047f}},
                  true, false),
             16);
    // すね
    AddLathe(add(prefix + "\x82\xb7\x82\xcb", hip + 1, kShinCell, 0), units[hip + 1].pivot, down,
             right,
             Limb({{0.0f, 0.047f, 0.047f},
                   {0.012f, 0.047f, 0.047f},
                   {0.024f, 0.0468f, 0.0468f},
                   {0.036f, 0.0465f, 0.0465f},
                   {0.06f, 0.047f, 0.047f},
                   {0.09f, 0.046f, 0.046f},
                   {0.13f, 0.041f, 0.041f},
                   {0.17f, 0.036f, 0.036f},
                   {0.20f, 0.033f, 0.033f},
                   {kShin, 0.031f, 0.031f}},
                  false, true),
             16);
    // 足: a shoe reaching forward from under the ankle.
    const Vec3 ankle = units[hip + 2].pivot;
    AddLathe(add(prefix + "\x91\xab", hip + 2, kShoeCell, 2), ankle + Vec3{0, -0.032f, -0.035f},
             {0, 0, -1}, right, EllipsoidRings(0.0f, 0.075f, 0.040f, 0.030f, 10), 12);
  }
  return parts;
}

// The planar mapping that lays the Part's box onto its cell, kCellMargin inside the border.
MappingSettings CellMapping(const Model& model, int part, Cell cell, int32_t direction) {
  const Part& record = model.parts[part];
  const Vec3 extent = record.corner_max - record.corner_min;
  const float width = direction / 2 == 1 ? extent.z : extent.x;
  const float height = direction / 2 == 2 ? extent.z : extent.y;
  const float size = static_cast<float>(kTextureSize);
  const float u0 = (static_cast<float>(cell.x0) + kCellMargin) / size;
  const float u1 = (static_cast<float>(cell.x1) - kCellMargin) / size;
  const float v0 = (static_cast<float>(cell.y0) + kCellMargin) / size;
  const float v1 = (static_cast<float>(cell.y1) - kCellMargin) / size;
  // u = (x - min - offset) / (width * scale): scale 1 / (u1 - u0) spans the cell, and the
  // offset moves its start from 0 to u0.
  MappingSettings settings;
  settings.edit_part = part;
  settings.map_direction = direction;
  settings.map_scale_u = 1.0f / (u1 - u0);
  settings.map_scale_v = 1.0f / (v1 - v0);
  settings.map_offset_u = -u0 * width * settings.map_scale_u;
  settings.map_offset_v = -v0 * height * settings.map_scale_v;
  return settings;
}

// A key pose: the angles and translations that differ from the rest pose.
struct Pose {
  int unit;
  std::array<int32_t, 3> angle;
  Vec3 translation;
};
using KeyPose = std::vector<Pose>;

// The walk's four key poses: left heel down, passing on the left foot, and the same mirrored.
std::vector<KeyPose> WalkKeys() {
  const KeyPose contact = {{kHips, {0, 0, 0}, {0, -0.012f, 0}},
                           {kChest, {0, 4, 0}, {}},
                           {kHipL, {24, 0, 0}, {}},
                           {kKneeL, {-4, 0, 0}, {}},
                           {kAnkleL, {8, 0, 0}, {}},
                           {kHipR, {-18, 0, 0}, {}},
                           {kKneeR, {-22, 0, 0}, {}},
                           {kAnkleR, {-12, 0, 0}, {}},
                           {kShoulderL, {-18, 0, 0}, {}},
                           {kShoulderR, {18, 0, 0}, {}},
                           {kElbowL, {10, 0, 0}, {}},
                           {kElbowR, {28, 0, 0}, {}}};
  const KeyPose passing = {{kHips, {0, 0, 0}, {0, 0.008f, 0}}, {kHipL, {2, 0, 0}, {}},
                           {kKneeL, {-6, 0, 0}, {}},           {kHipR, {16, 0, 0}, {}},
                           {kKneeR, {-55, 0, 0}, {}},          {kAnkleR, {6, 0, 0}, {}},
                           {kElbowL, {15, 0, 0}, {}},          {kElbowR, {15, 0, 0}, {}}};
  auto mirrored = [](const KeyPose& pose) {
    KeyPose result;
    for (Pose p : pose) {
      static constexpr int kSwap[kUnitCount] = {kHips,   kChest,     kNeck,   kShoulderR, kElbowR,
                                                kWristR, kShoulderL, kElbowL, kWristL,    kHipR,
                                                kKneeR,  kAnkleR,    kHipL,   kKneeL,     kAnkleL};
      p.unit = kSwap[p.unit];
      p.angle[1] = -p.angle[1];
      p.angle[2] = -p.angle[2];
      result.push_back(p);
    }
    return result;
  };
  return {contact, passing, mirrored(contact), mirrored(passing)};
}

// The right hand waves: the arm raised sideways, turned so that the elbow swings the forearm
// across the head.
std::vector<KeyPose> WaveKeys() {
  const KeyPose common = {{kNeck, {0, 0, -6}, {}}, {kShoulderL, {0, 0, 4}, {}}};
  KeyPose out = common, in = common;
  out.push_back({kShoulderR, {0, 90, -80}, {}});
  out.push_back({kElbowR, {60, 0, 0}, {}});
  out.push_back({kWristR, {0, 0, -10}, {}});
  in.push_back({kShoulderR, {0, 90, -84}, {}});
  in.push_back({kElbowR, {105, 0, 0}, {}});
  in.push_back({kWristR, {0, 0, 15}, {}});
  return {out, in};
}

// Breathing and a slight sway from foot to foot.
std::vector<KeyPose> IdleKeys() {
  const KeyPose rest = {{kShoulderL, {0, 0, 2}, {}},
                        {kShoulderR, {0, 0, -2}, {}},
                        {kElbowL, {8, 0, 0}, {}},
                        {kElbowR, {8, 0, 0}, {}}};
  const KeyPose breath = {
      {kHips, {0, 0, 2}, {0.006f, 0, 0}}, {kChest, {-3, 0, -2}, {}},    {kNeck, {4, 0, 2}, {}},
      {kShoulderL, {0, 0, 5}, {}},        {kShoulderR, {0, 0, -5}, {}}, {kElbowL, {14, 0, 0}, {}},
      {kElbowR, {14, 0, 0}, {}},          {kHipL, {0, 0, -2}, {}},      {kHipR, {0, 0, -2}, {}}};
  return {rest, breath};
}

// Appends the key poses as Motions and expands them into a smooth loop of (n + 1) Motions per
// key; returns the Anim that plays it.
Anim AddLoop(Model& model, const std::vector<KeyPose>& keys, int n, const char* name) {
  const int first = model.motion_count;
  for (const KeyPose& key : keys) {
    Motion& motion = model.motions[model.motion_count++];
    motion = Motion{};
    motion.in_use = 1;
    for (const Pose& pose : key) {
      for (int k = 0; k < 3; ++k) motion.angle[k][pose.unit] = pose.angle[k];
      motion.translation[pose.unit] = pose.translation;
    }
  }
  ScriptedHost host;
  KeyframeRequest request;
  request.n = n;
  request.start = first;
  request.end = model.motion_count - 1;
  request.loop = true;
  request.curve = true;
  GenerateKeyframes(model, host, request);
  return Anim{first, model.motion_count - 1, 1, name};
}

}  // namespace

void BuildCharacterModel(Model& model) {
  Reset(model);
  const std::vector<UnitSpec> units = Units();
  std::vector<PartSpec> parts = Parts(units);
  const int parts_count = static_cast<int>(parts.size());
  std::vector<const SampleMesh*> meshes;
  for (const PartSpec& part : parts) meshes.push_back(&part.mesh);
  StoreMeshes(model, meshes);
  for (int p = 0; p < parts_count; ++p) {
    Part& part = model.parts[p];
    // Lit white, so that the texture shows its own colours; a little glow keeps the front,
    // which the view's light grazes, from turning dull.
    part.material.diffuse = part.material.ambient = {0.85f, 0.85f, 0.85f, 1.0f};
    part.material.specular = {0.15f, 0.15f, 0.15f, 1.0f};
    part.material.emissive = {0.2f, 0.2f, 0.2f, 1.0f};
    part.material.power = 10.0f;
    part.texture_file = kCharacterTextureFile;
    model.node_name[p] = parts[p].name;
    model.parent[p] = parts_count + parts[p].unit;
  }
  RecomputeBounds(model);

  model.node_count = parts_count + kUnitCount;
  for (int u = 0; u < kUnitCount; ++u) {
    const UnitSpec& spec = units[u];
    SetSampleUnit(model, u, spec.name, spec.parent, spec.basis_type, spec.pivot, spec.axis_angle);
    model.units[u].blend_param = spec.blend_param;
  }
  BuildHierarchy(model);

  ScriptedHost host;
  for (int p = 0; p < parts_count; ++p) {
    model.parts[p].texture_map_flag = 0;
    ApplyMapping(model, CellMapping(model, p, parts[p].cell, parts[p].direction), p, host);
  }
  // The hips carry the whole figure: their own Parts follow them fully (weight 0).
  for (int u = kChest; u < kUnitCount; ++u) {
    model.selected_unit = u;
    ComputeBlendWeights(model);
  }
  model.selected_unit = -1;

  model.anims[0] = AddLoop(model, WalkKeys(), 3, "\x95\xe0\x82\xad");                  // 歩く
  model.anims[1] = AddLoop(model, WaveKeys(), 3, "\x8e\xe8\x82\xf0\x90\x55\x82\xe9");  // 手を振る
  model.anims[2] = AddLoop(model, IdleKeys(), 3, "\x91\xd2\x8b\x40");                  // 待機
  model.anim_count = 3;
  model.current_anim = 0;
  model.current_motion = 0;
  CheckTriangles(model);
}

namespace {

struct Rgb {
  float r, g, b;
};

Rgb Mix(Rgb a, Rgb b, float t) {
  t = std::clamp(t, 0.0f, 1.0f);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// 1 inside the ellipse about (cx, cy) with radii rx, ry, 0 outside, with an edge of about one
// texel (`soft`, in the same units) so that outlines are smooth.
float Ellipse(float x, float y, float cx, float cy, float rx, float ry, float soft) {
  const float dx = (x - cx) / rx, dy = (y - cy) / ry;
  const float d = std::sqrt(dx * dx + dy * dy);
  return std::clamp((1.0f - d) * std::min(rx, ry) / soft + 0.5f, 0.0f, 1.0f);
}

const Rgb kSkin{0.96f, 0.80f, 0.68f};
const Rgb kHair{0.30f, 0.18f, 0.12f};
const Rgb kShirt{0.16f, 0.48f, 0.62f};
const Rgb kStripe{0.95f, 0.93f, 0.85f};
const Rgb kTrousers{0.25f, 0.27f, 0.36f};
const Rgb kBelt{0.38f, 0.24f, 0.14f};
const Rgb kShoe{0.62f, 0.16f, 0.14f};
const Rgb kSole{0.92f, 0.90f, 0.86f};

// The face as seen from the front, on 0..1 across and down the head's box.
Rgb PaintFace(float x, float y) {
  const float soft = 1.0f / 128.0f;
  // Hair all round, the face an oval below a fringe of three locks.
  Rgb colour = kHair;
  const float lock = std::abs(std::fmod(x * 3.0f, 1.0f) - 0.5f);
  const float fringe = 0.30f + 0.07f * lock;
  float face = Ellipse(x, y, 0.5f, 0.58f, 0.40f, 0.43f, soft);
  face *= std::clamp((y - fringe) / soft, 0.0f, 1.0f);
  colour = Mix(colour, kSkin, face);
  // Cheeks.
  for (float cx : {0.27f, 0.73f}) {
    colour =
        Mix(colour, Rgb{0.96f, 0.62f, 0.58f}, 0.5f * Ellipse(x, y, cx, 0.68f, 0.07f, 0.04f, 0.04f));
  }
  // Eyes: white, iris, pupil and a highlight, under a brow.
  for (float cx : {0.34f, 0.66f}) {
    colour = Mix(colour, kHair, Ellipse(x, y, cx, 0.44f, 0.075f, 0.018f, soft));
    colour = Mix(colour, Rgb{0.98f, 0.98f, 0.96f}, Ellipse(x, y, cx, 0.545f, 0.065f, 0.055f, soft));
    colour = Mix(colour, Rgb{0.28f, 0.45f, 0.25f}, Ellipse(x, y, cx, 0.55f, 0.04f, 0.05f, soft));
    colour = Mix(colour, Rgb{0.05f, 0.05f, 0.05f}, Ellipse(x, y, cx, 0.55f, 0.022f, 0.028f, soft));
    colour = Mix(colour, Rgb{1, 1, 1}, Ellipse(x, y, cx + 0.015f, 0.53f, 0.01f, 0.01f, soft));
  }
  // Nose: a soft shadow; mouth: a smile, the lower half of a ring.
  colour =
      Mix(colour, Rgb{0.85f, 0.64f, 0.54f}, 0.7f * Ellipse(x, y, 0.5f, 0.66f, 0.03f, 0.02f, 0.02f));
  const float smile = Ellipse(x, y, 0.5f, 0.72f, 0.12f, 0.08f, soft) *
                      (1.0f - Ellipse(x, y, 0.5f, 0.70f, 0.12f, 0.08f, soft)) *
                      std::clamp((y - 0.74f) / soft, 0.0f, 1.0f);
  colour = Mix(colour, Rgb{0.72f, 0.26f, 0.26f}, smile);
  return colour;
}

// The back of the head: hair with darker strands.
Rgb PaintHair(float x, float) {
  const float strand = std::abs(std::fmod(x * 6.0f, 1.0f) - 0.5f);
  return Mix(kHair, Rgb{0.22f, 0.12f, 0.08f}, std::clamp(0.8f - strand * 4.0f, 0.0f, 1.0f));
}

// The torso: a round collar, two stripes across the chest and a hem.
Rgb PaintShirt(float x, float y) {
  Rgb colour = kShirt;
  const float soft = 1.0f / 64.0f;
  const float band = std::clamp((std::abs(y - 0.42f) - 0.035f) / -soft + 0.5f, 0.0f, 1.0f) +
                     std::clamp((std::abs(y - 0.55f) - 0.035f) / -soft + 0.5f, 0.0f, 1.0f);
  colour = Mix(colour, kStripe, band);
  colour = Mix(colour, Rgb{0.10f, 0.34f, 0.45f}, std::clamp((y - 0.92f) / soft, 0.0f, 1.0f));
  const float collar = Ellipse(x, y, 0.5f, 0.0f, 0.22f, 0.16f, soft);
  colour = Mix(colour, Rgb{0.10f, 0.34f, 0.45f}, collar);
  colour = Mix(colour, kSkin, Ellipse(x, y, 0.5f, 0.0f, 0.17f, 0.12f, soft));
  return colour;
}

// The upper arm: a short sleeve with a striped cuff, then skin.
Rgb PaintSleeve(float, float y) {
  const float soft = 1.0f / 64.0f;
  Rgb colour = Mix(kShirt, kStripe, std::clamp((y - 0.38f) / soft, 0.0f, 1.0f));
  return Mix(colour, kSkin, std::clamp((y - 0.45f) / soft, 0.0f, 1.0f));
}

Rgb PaintPelvis(float, float y) {
  const float soft = 1.0f / 64.0f;
  return Mix(kBelt, kTrousers, std::clamp((y - 0.16f) / soft, 0.0f, 1.0f));
}

Rgb PaintThigh(float, float) { return kTrousers; }

// The shin: trousers ending in a turned-up hem just above the shoe.
Rgb PaintShin(float, float y) {
  const float soft = 1.0f / 64.0f;
  Rgb colour = Mix(kTrousers, Rgb{0.32f, 0.34f, 0.45f}, std::clamp((y - 0.70f) / soft, 0.0f, 1.0f));
  return Mix(colour, kSkin, std::clamp((y - 0.84f) / soft, 0.0f, 1.0f));
}

// The shoe, seen from the side: a pale sole under a red upper.
Rgb PaintShoe(float, float y) {
  const float soft = 1.0f / 64.0f;
  return Mix(kShoe, kSole, std::clamp((y - 0.68f) / soft, 0.0f, 1.0f));
}

Rgb PaintSkin(float, float) { return kSkin; }

}  // namespace

Image PaintCharacterTexture() {
  Image image;
  image.width = image.height = kTextureSize;
  image.rgba.assign(static_cast<size_t>(kTextureSize) * kTextureSize * 4, 255);
  struct Painter {
    Cell cell;
    Rgb (*paint)(float x, float y);
  };
  const Painter painters[] = {{kFaceCell, PaintFace},     {kHairCell, PaintHair},
                              {kSkinCell, PaintSkin},     {kShirtCell, PaintShirt},
                              {kSleeveCell, PaintSleeve}, {kPelvisCell, PaintPelvis},
                              {kThighCell, PaintThigh},   {kShinCell, PaintShin},
                              {kShoeCell, PaintShoe},     {{64, 192, 256, 256}, PaintSkin}};
  for (const Painter& painter : painters) {
    const Cell& c = painter.cell;
    // Positions run over the mapped box, the margin texels repeating the box's edge.
    const float inner_w = static_cast<float>(c.x1 - c.x0) - 2.0f * kCellMargin;
    const float inner_h = static_cast<float>(c.y1 - c.y0) - 2.0f * kCellMargin;
    for (int y = c.y0; y < c.y1; ++y) {
      for (int x = c.x0; x < c.x1; ++x) {
        const float u =
            std::clamp((static_cast<float>(x - c.x0) + 0.5f - kCellMargin) / inner_w, 0.0f, 1.0f);
        const float v =
            std::clamp((static_cast<float>(y - c.y0) + 0.5f - kCellMargin) / inner_h, 0.0f, 1.0f);
        const Rgb rgb = painter.paint(u, v);
        uint8_t* pixel = image.Pixel(x, y);
        pixel[0] = static_cast<uint8_t>(std::lround(std::clamp(rgb.r, 0.0f, 1.0f) * 255.0f));
        pixel[1] = static_cast<uint8_t>(std::lround(std::clamp(rgb.g, 0.0f, 1.0f) * 255.0f));
        pixel[2] = static_cast<uint8_t>(std::lround(std::clamp(rgb.b, 0.0f, 1.0f) * 255.0f));
      }
    }
  }
  return image;
}

}  // namespace vorna
