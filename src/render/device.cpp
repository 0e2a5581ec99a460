#include "render/device.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "render/raster.h"

namespace vorna {

namespace {

using raster::kAttributeCount;
using raster::ScreenVertex;

// Triangles are clipped against the near and far planes and against a band this many pixels
// wide around the back buffer; everything inside the band is only scissored. The band keeps
// snapped coordinates small enough for exact 64-bit edge functions.
constexpr double kGuardBandPixels = 8192.0;

// A scene with more queued primitives than this is rasterised early, which bounds its memory.
constexpr size_t kMaxQueuedPrimitives = size_t{1} << 18;

// Below these sizes a frame is rasterised on the calling thread alone.
constexpr int64_t kParallelMinPixels = 256 * 256;
constexpr size_t kParallelMinCommands = 64;

constexpr int kMaxThreads = 8;

constexpr float kByteToUnit = 1.0f / 255.0f;

inline float Saturate(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

Color UnpackColour(uint32_t argb) {
  return {static_cast<float>((argb >> 16) & 0xFF) * kByteToUnit,
          static_cast<float>((argb >> 8) & 0xFF) * kByteToUnit,
          static_cast<float>(argb & 0xFF) * kByteToUnit,
          static_cast<float>(argb >> 24) * kByteToUnit};
}

struct Vec4f {
  float x, y, z, w;
};

inline Vec4f TransformPoint(Vec3 p, const Matrix& m) {
  return {p.x * m.m[0][0] + p.y * m.m[1][0] + p.z * m.m[2][0] + m.m[3][0],
          p.x * m.m[0][1] + p.y * m.m[1][1] + p.z * m.m[2][1] + m.m[3][1],
          p.x * m.m[0][2] + p.y * m.m[1][2] + p.z * m.m[2][2] + m.m[3][2],
          p.x * m.m[0][3] + p.y * m.m[1][3] + p.z * m.m[2][3] + m.m[3][3]};
}

struct Matrix3 {
  float m[3][3] = {};
};

inline Vec3 TransformDirection(Vec3 n, const Matrix3& m) {
  return {n.x * m.m[0][0] + n.y * m.m[1][0] + n.z * m.m[2][0],
          n.x * m.m[0][1] + n.y * m.m[1][1] + n.z * m.m[2][1],
          n.x * m.m[0][2] + n.y * m.m[1][2] + n.z * m.m[2][2]};
}

// Normals go through the inverse transpose of the upper 3 x 3, which keeps them perpendicular
// to surfaces under non-uniform scale. They are not renormalised: a scaled part is lit
// brighter or darker, as stored models have always looked. A singular matrix (a part scaled
// flat) keeps the cofactors alone, which still point the right way.
Matrix3 NormalMatrix(const Matrix& a) {
  const auto& m = a.m;
  Matrix3 c;
  c.m[0][0] = m[1][1] * m[2][2] - m[1][2] * m[2][1];
  c.m[0][1] = m[1][2] * m[2][0] - m[1][0] * m[2][2];
  c.m[0][2] = m[1][0] * m[2][1] - m[1][1] * m[2][0];
  c.m[1][0] = m[0][2] * m[2][1] - m[0][1] * m[2][2];
  c.m[1][1] = m[0][0] * m[2][2] - m[0][2] * m[2][0];
  c.m[1][2] = m[0][1] * m[2][0] - m[0][0] * m[2][1];
  c.m[2][0] = m[0][1] * m[1][2] - m[0][2] * m[1][1];
  c.m[2][1] = m[0][2] * m[1][0] - m[0][0] * m[1][2];
  c.m[2][2] = m[0][0] * m[1][1] - m[0][1] * m[1][0];
  const float det = m[0][0] * c.m[0][0] + m[0][1] * c.m[0][1] + m[0][2] * c.m[0][2];
  if (det != 0.0f && std::isfinite(det)) {
    const float inverse = 1.0f / det;
    for (auto& row : c.m) {
      for (float& value : row) value *= inverse;
    }
  }
  return c;
}

// What each vertex layout carries.
template <typename V>
struct Layout;
template <>
struct Layout<BlendedColourVertex> {
  static constexpr bool kWeight = true, kNormal = true, kColour = true;
};
template <>
struct Layout<BlendedVertex> {
  static constexpr bool kWeight = true, kNormal = true, kColour = false;
};
template <>
struct Layout<ColourVertex> {
  static constexpr bool kWeight = false, kNormal = false, kColour = true;
};

// A vertex after lighting and projection, before clipping.
struct ClipVertex {
  float x, y, z, w;
  float attr[kAttributeCount];
};

// Clipping works in double precision, so that no finite input can overflow on the way.
struct ClipPoint {
  double x, y, z, w;
  float attr[kAttributeCount];
};

ClipPoint ToClipPoint(const ClipVertex& v) {
  ClipPoint p{v.x, v.y, v.z, v.w, {}};
  std::copy(std::begin(v.attr), std::end(v.attr), p.attr);
  return p;
}

// Clip planes: near (z >= 0), far (z <= w), then the guard band on x and y.
constexpr int kPlaneCount = 6;

struct GuardBand {
  double x = 1.0;  // |x| <= x * w
  double y = 1.0;
};

inline double PlaneDistance(int plane, const ClipPoint& p, const GuardBand& band) {
  switch (plane) {
    case 0:
      return p.z;
    case 1:
      return p.w - p.z;
    case 2:
      return p.x + band.x * p.w;
    case 3:
      return band.x * p.w - p.x;
    case 4:
      return p.y + band.y * p.w;
    default:
      return band.y * p.w - p.y;
  }
}

inline unsigned OutCode(const ClipPoint& p, const GuardBand& band) {
  unsigned code = 0;
  for (int plane = 0; plane < kPlaneCount; ++plane) {
    if (!(PlaneDistance(plane, p, band) >= 0.0)) code |= 1u << plane;
  }
  return code;
}

// The point where the edge from `inside` to `outside` crosses the plane. Always computed from
// the inside end, so two triangles sharing the edge get the very same point.
ClipPoint Intersect(const ClipPoint& inside, const ClipPoint& outside, double d_inside,
                    double d_outside) {
  const double t = d_inside / (d_inside - d_outside);
  const float tf = static_cast<float>(t);
  ClipPoint r;
  r.x = inside.x + t * (outside.x - inside.x);
  r.y = inside.y + t * (outside.y - inside.y);
  r.z = inside.z + t * (outside.z - inside.z);
  r.w = inside.w + t * (outside.w - inside.w);
  for (int k = 0; k < kAttributeCount; ++k) {
    r.attr[k] = inside.attr[k] + tf * (outside.attr[k] - inside.attr[k]);
  }
  return r;
}

// Each plane adds at most one corner to the triangle.
constexpr int kMaxPolygon = 3 + kPlaneCount;

// Sutherland-Hodgman against the planes named in `planes`; returns the corner count (0 when
// nothing is left).
int ClipPolygon(ClipPoint* polygon, int count, unsigned planes, const GuardBand& band) {
  ClipPoint scratch[kMaxPolygon];
  for (int plane = 0; plane < kPlaneCount && count >= 3; ++plane) {
    if ((planes & (1u << plane)) == 0) continue;
    int out = 0;
    for (int i = 0; i < count; ++i) {
      const ClipPoint& a = polygon[i];
      const ClipPoint& b = polygon[(i + 1) % count];
      const double da = PlaneDistance(plane, a, band), db = PlaneDistance(plane, b, band);
      const bool a_in = da >= 0.0, b_in = db >= 0.0;
      if (a_in) scratch[out++] = a;
      if (a_in != b_in) scratch[out++] = a_in ? Intersect(a, b, da, db) : Intersect(b, a, db, da);
    }
    std::copy(scratch, scratch + out, polygon);
    count = out;
  }
  return count >= 3 ? count : 0;
}

bool ClipSegment(ClipPoint& a, ClipPoint& b, const GuardBand& band) {
  for (int plane = 0; plane < kPlaneCount; ++plane) {
    const double da = PlaneDistance(plane, a, band), db = PlaneDistance(plane, b, band);
    const bool a_in = da >= 0.0, b_in = db >= 0.0;
    if (!a_in && !b_in) return false;
    if (!a_in) a = Intersect(b, a, db, da);
    if (!b_in) b = Intersect(a, b, da, db);
  }
  return true;
}

bool Finite(const ClipVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

// Cylindrical wrapping of one coordinate: every corner more than half a period below the
// largest moves up by one, so interpolation takes the short way round.
void WrapCoordinate(ClipVertex* corners, int attribute) {
  const float limit = std::max({corners[0].attr[attribute], corners[1].attr[attribute],
                                corners[2].attr[attribute]}) -
                      0.5f;
  for (int i = 0; i < 3; ++i) {
    if (corners[i].attr[attribute] < limit) corners[i].attr[attribute] += 1.0f;
  }
}

}  // namespace

struct Device::Impl {
  Image colour;
  std::vector<uint16_t> depth;
  RenderStates states;
  Matrix transforms[4] = {Identity(), Identity(), Identity(), Identity()};
  Material material{Color{}, Color{}, Color{}, Color{}, 0.0f};
  DirectionalLight light;
  bool light_enabled = false;
  std::shared_ptr<const Texture> texture;
  bool in_scene = false;
  int threads = 1;

  // Derived from the transforms and the light; rebuilt before a draw when stale.
  bool derived_stale = true;
  Matrix world_view[2];
  Matrix world_view_projection[2];
  Matrix3 normal_matrix[2];
  Vec3 to_light;       // camera space, unit length
  Vec3 half_infinite;  // halfway vector for a viewer infinitely far behind the camera

  raster::Queue queue;
  std::vector<std::shared_ptr<const Texture>> scene_textures;
  std::vector<ClipVertex> processed;

  bool AllocateBuffers(int width, int height);
  void ClearColour(uint32_t argb);
  void ClearDepth(float value);
  void UpdateDerived();
  uint32_t CurrentPixelState();
  template <typename V>
  void ProcessVertices(std::span<const V> vertices);
  template <typename V>
  bool Draw(PrimitiveType type, std::span<const V> vertices);
  void EmitTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, uint32_t state);
  bool Project(const ClipPoint& p, ScreenVertex& out) const;
  void QueueTriangles(const ScreenVertex* corners, const int64_t* fx, const int64_t* fy, int count,
                      bool clockwise, uint32_t state);
  void QueueLine(ClipPoint a, ClipPoint b, uint32_t state);
  void QueuePoint(const ClipPoint& p, uint32_t state);
  GuardBand Band() const;
  void Flush();
};

bool Device::Impl::AllocateBuffers(int width, int height) {
  try {
    Image next;
    next.width = width;
    next.height = height;
    next.rgba.resize(static_cast<size_t>(width) * height * 4);
    std::vector<uint16_t> next_depth(static_cast<size_t>(width) * height);
    colour = std::move(next);
    depth = std::move(next_depth);
  } catch (const std::bad_alloc&) {
    return false;
  }
  ClearColour(0xFF000000u);
  ClearDepth(1.0f);
  return true;
}

void Device::Impl::ClearColour(uint32_t argb) {
  const uint8_t rgba[4] = {static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8),
                           static_cast<uint8_t>(argb), 255};
  for (size_t i = 0; i < colour.rgba.size(); i += 4) std::copy(rgba, rgba + 4, &colour.rgba[i]);
}

void Device::Impl::ClearDepth(float value) {
  const uint16_t z = static_cast<uint16_t>(Saturate(value) * 65535.0f + 0.5f);
  std::fill(depth.begin(), depth.end(), z);
}

void Device::Impl::UpdateDerived() {
  const Matrix& view = transforms[static_cast<int>(TransformState::kView)];
  const Matrix& projection = transforms[static_cast<int>(TransformState::kProjection)];
  for (int i = 0; i < 2; ++i) {
    world_view[i] = Multiply(transforms[i], view);
    world_view_projection[i] = Multiply(world_view[i], projection);
    normal_matrix[i] = NormalMatrix(world_view[i]);
  }
  to_light = Normalize(TransformNormal(light.direction, view)) * -1.0f;
  // The viewer sits at infinity behind the camera, along -z in camera space.
  half_infinite = Normalize(to_light + Vec3{0.0f, 0.0f, -1.0f});
  derived_stale = false;
}

uint32_t Device::Impl::CurrentPixelState() {
  raster::PixelState s;
  s.texture = texture.get();
  s.mag_filter = states.mag_filter;
  s.min_filter = states.min_filter;
  s.mip_filter = states.mip_filter;
  s.alpha_operation = states.alpha_operation;
  s.depth_test = states.depth_enable;
  s.depth_write = states.depth_write_enable;
  s.blend = states.alpha_blend_enable;
  s.source_blend = states.source_blend;
  s.destination_blend = states.destination_blend;
  s.specular = states.specular_enable;
  if (queue.states.empty() || !(queue.states.back() == s)) {
    if (texture != nullptr && (scene_textures.empty() || scene_textures.back() != texture)) {
      scene_textures.push_back(texture);
    }
    queue.states.push_back(s);
  }
  return static_cast<uint32_t>(queue.states.size() - 1);
}

template <typename V>
void Device::Impl::ProcessVertices(std::span<const V> vertices) {
  using L = Layout<V>;
  const bool blending = L::kWeight && states.vertex_blend == VertexBlend::kOneWeight;
  const bool lit = states.lighting;
  const bool lights = lit && light_enabled;
  const bool specular = lights && states.specular_enable;
  const Color global_ambient = UnpackColour(states.ambient);
  const Color white{1.0f, 1.0f, 1.0f, 1.0f};
  processed.resize(vertices.size());
  for (size_t i = 0; i < vertices.size(); ++i) {
    const V& in = vertices[i];
    ClipVertex& out = processed[i];
    float weight = 1.0f;
    if constexpr (L::kWeight) weight = in.blend;

    Vec4f clip = TransformPoint(in.position, world_view_projection[0]);
    if (blending) {
      const Vec4f other = TransformPoint(in.position, world_view_projection[1]);
      const float rest = 1.0f - weight;
      clip = {weight * clip.x + rest * other.x, weight * clip.y + rest * other.y,
              weight * clip.z + rest * other.z, weight * clip.w + rest * other.w};
    }
    out.x = clip.x;
    out.y = clip.y;
    out.z = clip.z;
    out.w = clip.w;

    Color diffuse = white;
    if constexpr (L::kColour) {
      diffuse = UnpackColour(in.colour);
    } else if (lit) {
      diffuse = material.diffuse;
    }
    float* a = out.attr;
    if (!lit) {
      a[raster::kRed] = diffuse.r;
      a[raster::kGreen] = diffuse.g;
      a[raster::kBlue] = diffuse.b;
      a[raster::kAlpha] = diffuse.a;
      a[raster::kSpecularRed] = a[raster::kSpecularGreen] = a[raster::kSpecularBlue] = 0.0f;
    } else {
      // Colour0 = emissive + ambient * (global ambient + light ambient) + diffuse * N.L
      // Colour1 = specular * (N.H)^power, both per vertex and saturated; the normal is used as
      // transformed, without renormalising.
      Vec3 normal;
      if constexpr (L::kNormal) {
        normal = TransformDirection(in.normal, normal_matrix[0]);
        if (blending) {
          const Vec3 other = TransformDirection(in.normal, normal_matrix[1]);
          normal = normal * weight + other * (1.0f - weight);
        }
      }
      float r = global_ambient.r, g = global_ambient.g, b = global_ambient.b;
      float lit_r = 0.0f, lit_g = 0.0f, lit_b = 0.0f;
      float spec_r = 0.0f, spec_g = 0.0f, spec_b = 0.0f;
      if (lights) {
        r += light.ambient.r;
        g += light.ambient.g;
        b += light.ambient.b;
        const float d = Dot(normal, to_light);
        const float dc = Saturate(d);
        lit_r = light.diffuse.r * dc;
        lit_g = light.diffuse.g * dc;
        lit_b = light.diffuse.b * dc;
        if (specular && d > 0.0f) {
          Vec3 half = half_infinite;
          if (states.local_viewer) {
            Vec4f eye = TransformPoint(in.position, world_view[0]);
            if (blending) {
              const Vec4f other = TransformPoint(in.position, world_view[1]);
              const float rest = 1.0f - weight;
              eye = {weight * eye.x + rest * other.x, weight * eye.y + rest * other.y,
                     weight * eye.z + rest * other.z, 0.0f};
            }
            half = Normalize(to_light - Normalize(Vec3{eye.x, eye.y, eye.z}));
          }
          const float h = std::min(Dot(normal, half), 1.0f);
          if (h > 0.0f) {
            const float power = material.power == 0.0f ? 1.0f : std::pow(h, material.power);
            spec_r = light.specular.r * power;
            spec_g = light.specular.g * power;
            spec_b = light.specular.b * power;
          }
        }
      }
      a[raster::kRed] = Saturate(material.emissive.r + material.ambient.r * r + diffuse.r * lit_r);
      a[raster::kGreen] =
          Saturate(material.emissive.g + material.ambient.g * g + diffuse.g * lit_g);
      a[raster::kBlue] = Saturate(material.emissive.b + material.ambient.b * b + diffuse.b * lit_b);
      a[raster::kAlpha] = Saturate(diffuse.a);
      a[raster::kSpecularRed] = Saturate(material.specular.r * spec_r);
      a[raster::kSpecularGreen] = Saturate(material.specular.g * spec_g);
      a[raster::kSpecularBlue] = Saturate(material.specular.b * spec_b);
    }
    // Texture coordinates pass through; ones that are not finite read as 0.
    a[raster::kU] = std::isfinite(in.u) ? in.u : 0.0f;
    a[raster::kV] = std::isfinite(in.v) ? in.v : 0.0f;
  }
}

GuardBand Device::Impl::Band() const {
  return {1.0 + 2.0 * kGuardBandPixels / colour.width,
          1.0 + 2.0 * kGuardBandPixels / colour.height};
}

// Perspective divide and viewport; false for a point not in front of the camera.
bool Device::Impl::Project(const ClipPoint& p, ScreenVertex& out) const {
  if (!(p.w > 0.0)) return false;
  const double q = 1.0 / p.w;
  const double w = colour.width, h = colour.height;
  const double x = (p.x * q + 1.0) * 0.5 * w;
  const double y = (1.0 - p.y * q) * 0.5 * h;
  // Inside the guard band already, up to rounding; the clamp makes sure of it.
  out.x = static_cast<float>(std::clamp(x, -kGuardBandPixels - 1.0, w + kGuardBandPixels + 1.0));
  out.y = static_cast<float>(std::clamp(y, -kGuardBandPixels - 1.0, h + kGuardBandPixels + 1.0));
  out.z = static_cast<float>(std::clamp(p.z * q, 0.0, 1.0));
  out.q = static_cast<float>(q);
  std::copy(std::begin(p.attr), std::end(p.attr), out.attr);
  return true;
}

void Device::Impl::EmitTriangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                                uint32_t state) {
  ClipVertex corners[3] = {a, b, c};
  if (!Finite(corners[0]) || !Finite(corners[1]) || !Finite(corners[2])) return;
  if (states.wrap0 & kWrapU) WrapCoordinate(corners, raster::kU);
  if (states.wrap0 & kWrapV) WrapCoordinate(corners, raster::kV);

  const GuardBand band = Band();
  ClipPoint polygon[kMaxPolygon];
  for (int i = 0; i < 3; ++i) polygon[i] = ToClipPoint(corners[i]);
  const unsigned codes[3] = {OutCode(polygon[0], band), OutCode(polygon[1], band),
                             OutCode(polygon[2], band)};
  if (codes[0] & codes[1] & codes[2]) return;
  ClipPoint original[3] = {polygon[0], polygon[1], polygon[2]};
  int count = 3;
  if (codes[0] | codes[1] | codes[2]) {
    count = ClipPolygon(polygon, 3, codes[0] | codes[1] | codes[2], band);
    if (count == 0) return;
  }

  // Facing is decided on the clipped, snapped polygon: every corner is in front of the camera.
  ScreenVertex screen[kMaxPolygon];
  int64_t fx[kMaxPolygon], fy[kMaxPolygon];
  for (int i = 0; i < count; ++i) {
    if (!Project(polygon[i], screen[i])) return;
    fx[i] = std::llround(static_cast<double>(screen[i].x) * raster::kSubpixelScale);
    fy[i] = std::llround(static_cast<double>(screen[i].y) * raster::kSubpixelScale);
  }
  int64_t area = 0;
  for (int i = 0; i < count; ++i) {
    const int j = (i + 1) % count;
    area += fx[i] * fy[j] - fx[j] * fy[i];
  }
  // Positive area: clockwise on screen (y down), a front face.
  if (area == 0) return;
  const bool clockwise = area > 0;
  if (states.cull_mode == CullMode::kCounterClockwise && !clockwise) return;
  if (states.cull_mode == CullMode::kClockwise && clockwise) return;

  switch (states.fill_mode) {
    case kFillPoint:
      for (const ClipPoint& p : original) QueuePoint(p, state);
      break;
    case kFillWireframe:
      for (int i = 0; i < 3; ++i) QueueLine(original[i], original[(i + 1) % 3], state);
      break;
    default:
      QueueTriangles(screen, fx, fy, count, clockwise, state);
      break;
  }
}

void Device::Impl::QueueTriangles(const ScreenVertex* corners, const int64_t* fx, const int64_t* fy,
                                  int count, bool clockwise, uint32_t state) {
  const raster::PixelState& pixel_state = queue.states[state];
  for (int i = 1; i + 1 < count; ++i) {
    // Back faces that survive culling are turned round so the edge rules see a positive area.
    const int j = clockwise ? i : i + 1, k = clockwise ? i + 1 : i;
    const int64_t tx[3] = {fx[0], fx[j], fx[k]}, ty[3] = {fy[0], fy[j], fy[k]};
    // A sliver that snapping turned inside out would overlap its neighbours: drop it.
    if ((tx[1] - tx[0]) * (ty[2] - ty[0]) - (tx[2] - tx[0]) * (ty[1] - ty[0]) <= 0) continue;
    const ScreenVertex* v[3] = {&corners[0], &corners[j], &corners[k]};
    raster::Triangle triangle;
    if (!raster::SetupTriangle(v, tx, ty, pixel_state, colour.width, colour.height, triangle)) {
      continue;
    }
    triangle.state = state;
    queue.commands.push_back(
        {raster::CommandKind::kTriangle, static_cast<uint32_t>(queue.triangles.size())});
    queue.triangles.push_back(triangle);
  }
}

void Device::Impl::QueueLine(ClipPoint a, ClipPoint b, uint32_t state) {
  if (!ClipSegment(a, b, Band())) return;
  raster::Line line;
  if (!Project(a, line.a) || !Project(b, line.b)) return;
  line.state = state;
  queue.commands.push_back({raster::CommandKind::kLine, static_cast<uint32_t>(queue.lines.size())});
  queue.lines.push_back(line);
}

// A point is the one pixel whose centre its 1 x 1 square covers by the top-left rule.
void Device::Impl::QueuePoint(const ClipPoint& p, uint32_t state) {
  if (OutCode(p, Band()) != 0) return;
  raster::Point point;
  if (!Project(p, point.v)) return;
  const double x = std::ceil(static_cast<double>(point.v.x) - 0.5);
  const double y = std::ceil(static_cast<double>(point.v.y) - 0.5);
  if (x < 0.0 || y < 0.0 || x >= colour.width || y >= colour.height) return;
  point.x = static_cast<int32_t>(x);
  point.y = static_cast<int32_t>(y);
  point.state = state;
  queue.commands.push_back(
      {raster::CommandKind::kPoint, static_cast<uint32_t>(queue.points.size())});
  queue.points.push_back(point);
}

template <typename V>
bool Device::Impl::Draw(PrimitiveType type, std::span<const V> vertices) {
  if (!in_scene) return false;
  try {
    if (derived_stale) UpdateDerived();
    const uint32_t state = CurrentPixelState();
    ProcessVertices(vertices);
    const ClipVertex* v = processed.data();
    if (type == PrimitiveType::kTriangleList) {
      for (size_t i = 0; i + 3 <= vertices.size(); i += 3) {
        EmitTriangle(v[i], v[i + 1], v[i + 2], state);
      }
    } else {
      for (size_t i = 1; i + 1 < vertices.size(); ++i) {
        EmitTriangle(v[i], v[i + 1], v[0], state);
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (queue.commands.size() > kMaxQueuedPrimitives) Flush();
  return true;
}

void Device::Impl::Flush() {
  if (queue.commands.empty()) return;
  const raster::Target target{colour.rgba.data(), depth.data(), colour.width, colour.height};
  int workers = threads;
  if (static_cast<int64_t>(colour.width) * colour.height < kParallelMinPixels ||
      queue.commands.size() < kParallelMinCommands) {
    workers = 1;
  }
  // Worker i owns every workers-th stripe of rows; a worker that cannot be started has its
  // rows drawn here instead, so the frame is complete either way.
  std::vector<std::thread> pool;
  int started = 1;
  try {
    pool.reserve(static_cast<size_t>(workers - 1));
    for (; started < workers; ++started) {
      pool.emplace_back(raster::Rasterize, std::cref(queue), target,
                        raster::RowSet{started, workers});
    }
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  raster::Rasterize(queue, target, raster::RowSet{0, workers});
  for (int i = started; i < workers; ++i) {
    raster::Rasterize(queue, target, raster::RowSet{i, workers});
  }
  for (std::thread& worker : pool) worker.join();
  queue.Clear();
  scene_textures.clear();
}

Device::Device(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Device::~Device() = default;

std::unique_ptr<Device> Device::Create(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return nullptr;
  try {
    auto impl = std::make_unique<Impl>();
    if (!impl->AllocateBuffers(width, height)) return nullptr;
    const unsigned cores = std::thread::hardware_concurrency();
    impl->threads = cores >= 2 ? 2 : 1;
    return std::unique_ptr<Device>(new Device(std::move(impl)));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

int Device::width() const { return impl_->colour.width; }
int Device::height() const { return impl_->colour.height; }

bool Device::Resize(int width, int height) {
  if (impl_->in_scene) return false;
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  return impl_->AllocateBuffers(width, height);
}

RenderStates& Device::render_states() { return impl_->states; }
const RenderStates& Device::render_states() const { return impl_->states; }

void Device::SetTransform(TransformState which, const Matrix& matrix) {
  impl_->transforms[static_cast<int>(which)] = matrix;
  impl_->derived_stale = true;
}

const Matrix& Device::GetTransform(TransformState which) const {
  return impl_->transforms[static_cast<int>(which)];
}

void Device::SetMaterial(const Material& material) { impl_->material = material; }
const Material& Device::material() const { return impl_->material; }

void Device::SetLight(const DirectionalLight& light) {
  impl_->light = light;
  impl_->derived_stale = true;
}

void Device::EnableLight(bool enabled) { impl_->light_enabled = enabled; }

void Device::SetTexture(std::shared_ptr<const Texture> texture) {
  impl_->texture = std::move(texture);
}

void Device::Clear(uint32_t flags, uint32_t argb, float depth) {
  impl_->Flush();
  if (flags & kClearTarget) impl_->ClearColour(argb);
  if (flags & kClearDepth) impl_->ClearDepth(depth);
}

bool Device::BeginScene() {
  if (impl_->in_scene) return false;
  impl_->in_scene = true;
  return true;
}

bool Device::EndScene() {
  if (!impl_->in_scene) return false;
  impl_->Flush();
  impl_->in_scene = false;
  return true;
}

bool Device::DrawPrimitive(PrimitiveType type, std::span<const BlendedColourVertex> vertices) {
  return impl_->Draw(type, vertices);
}
bool Device::DrawPrimitive(PrimitiveType type, std::span<const BlendedVertex> vertices) {
  return impl_->Draw(type, vertices);
}
bool Device::DrawPrimitive(PrimitiveType type, std::span<const ColourVertex> vertices) {
  return impl_->Draw(type, vertices);
}

const Image& Device::back_buffer() const { return impl_->colour; }

void Device::set_thread_count(int count) { impl_->threads = std::clamp(count, 1, kMaxThreads); }
int Device::thread_count() const { return impl_->threads; }

}  // namespace vorna
