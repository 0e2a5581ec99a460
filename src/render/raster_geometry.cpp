#include "render/raster_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace vorna::raster {

namespace {

// Triangles are clipped against the near and far planes and against a band this many pixels
// wide around the back buffer; everything inside the band is only scissored. The band keeps
// snapped coordinates small enough for exact 64-bit edge functions.
constexpr double kGuardBandPixels = 8192.0;

constexpr float kByteToUnit = 1.0f / 255.0f;

// Triangles assembled from one batch of processed vertices.
constexpr size_t kChunkPrimitives = 1024;

// A slot of the vertex cache from the bits of a vertex's position.
inline size_t VertexHash(const VertexInput& v) {
  uint32_t x, y, z;
  std::memcpy(&x, &v.position.x, 4);
  std::memcpy(&y, &v.position.y, 4);
  std::memcpy(&z, &v.position.z, 4);
  const uint32_t h = x * 73856093u ^ y * 19349663u ^ z * 83492791u;
  return (h ^ (h >> 15)) & (kVertexCacheSize - 1);
}

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

inline Vec4f Mix(const Vec4f& a, const Vec4f& b, float weight) {
  const float rest = 1.0f - weight;
  return {weight * a.x + rest * b.x, weight * a.y + rest * b.y, weight * a.z + rest * b.z,
          weight * a.w + rest * b.w};
}

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

// The planes a (finite) point is outside of, one bit each.
inline unsigned OutCode(const ClipPoint& p, const GuardBand& band) {
  const double bx = band.x * p.w, by = band.y * p.w;
  return (p.z < 0.0 ? 1u : 0u) | (p.w - p.z < 0.0 ? 2u : 0u) | (p.x + bx < 0.0 ? 4u : 0u) |
         (bx - p.x < 0.0 ? 8u : 0u) | (p.y + by < 0.0 ? 16u : 0u) | (by - p.y < 0.0 ? 32u : 0u);
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

// Perspective divide and viewport; false for a point not in front of the camera.
bool Project(const ClipPoint& p, double width, double height, ScreenVertex& out) {
  if (!(p.w > 0.0)) return false;
  const double q = 1.0 / p.w;
  const double x = (p.x * q + 1.0) * 0.5 * width;
  const double y = (1.0 - p.y * q) * 0.5 * height;
  // Inside the guard band already, up to rounding; the clamp makes sure of it.
  out.x =
      static_cast<float>(std::clamp(x, -kGuardBandPixels - 1.0, width + kGuardBandPixels + 1.0));
  out.y =
      static_cast<float>(std::clamp(y, -kGuardBandPixels - 1.0, height + kGuardBandPixels + 1.0));
  out.z = static_cast<float>(std::clamp(p.z * q, 0.0, 1.0));
  out.q = static_cast<float>(q);
  std::copy(std::begin(p.attr), std::end(p.attr), out.attr);
  return true;
}

// A screen coordinate (inside the guard band) in subpixel units, rounded to nearest.
inline int64_t Snap(float coordinate) {
  const double scaled = static_cast<double>(coordinate) * kSubpixelScale + 0.5;
  const int64_t truncated = static_cast<int64_t>(scaled);
  return truncated > scaled ? truncated - 1 : truncated;
}

bool Finite(const ClipVertex& v) {
  return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

// Cylindrical wrapping of one coordinate of a triangle's corners: every corner more than half a
// period below the largest moves up by one, so interpolation takes the short way round.
void WrapCoordinate(float* const corners[3], int attribute) {
  const float limit =
      std::max({corners[0][attribute], corners[1][attribute], corners[2][attribute]}) - 0.5f;
  for (int i = 0; i < 3; ++i) {
    if (corners[i][attribute] < limit) corners[i][attribute] += 1.0f;
  }
}

void WrapCorners(uint32_t wrap, float* const corners[3]) {
  if (wrap & kWrapU) WrapCoordinate(corners, kU);
  if (wrap & kWrapV) WrapCoordinate(corners, kV);
}

// Bit of an outcode for a vertex with a coordinate that is not finite, or with w = 0 at the
// origin: nothing sensible can be drawn from it.
constexpr unsigned kUnusable = 1u << kPlaneCount;

// Twice the signed area of a snapped polygon; positive when it winds clockwise on screen.
int64_t SignedArea(const int64_t* fx, const int64_t* fy, int count) {
  int64_t area = 0;
  for (int i = 0; i < count; ++i) {
    const int j = i + 1 < count ? i + 1 : 0;
    area += fx[i] * fy[j] - fx[j] * fy[i];
  }
  return area;
}

bool Culled(CullMode mode, bool clockwise) {
  return (mode == CullMode::kCounterClockwise && !clockwise) ||
         (mode == CullMode::kClockwise && clockwise);
}

}  // namespace

// A processed vertex of the current draw call. Vertices inside every clip plane are projected
// and snapped once, however many triangles share them.
struct GeometryPass::DrawVertex {
  ClipVertex clip;
  unsigned outcode = 0;  // planes the vertex is outside of, or kUnusable
  ScreenVertex screen;   // when outcode is 0
  int64_t fx = 0;        // screen position in subpixel units
  int64_t fy = 0;
};

void DeriveGeometry(const Matrix transforms[4], GeometryState& g) {
  const Matrix& view = transforms[static_cast<int>(TransformState::kView)];
  const Matrix& projection = transforms[static_cast<int>(TransformState::kProjection)];
  for (int i = 0; i < 2; ++i) {
    g.world_view[i] = Multiply(transforms[i], view);
    g.world_view_projection[i] = Multiply(g.world_view[i], projection);
    g.normal_matrix[i] = NormalMatrix(g.world_view[i]);
  }
  g.to_light = Normalize(TransformNormal(g.light.direction, view)) * -1.0f;
  // The viewer sits at infinity behind the camera, along -z in camera space.
  g.half_infinite = Normalize(g.to_light + Vec3{0.0f, 0.0f, -1.0f});
}

size_t PrimitiveCount(const DrawCall& call) {
  if (call.type == PrimitiveType::kTriangleList) return call.vertex_count / 3;
  return call.vertex_count >= 3 ? call.vertex_count - 2 : 0;
}

GeometryPass::GeometryPass() = default;
GeometryPass::GeometryPass(GeometryPass&&) noexcept = default;
GeometryPass& GeometryPass::operator=(GeometryPass&&) noexcept = default;
GeometryPass::~GeometryPass() = default;

void GeometryPass::Bind(int width, int height, std::span<const GeometryState> states,
                        std::span<const PixelState> pixel_states,
                        std::span<const VertexInput> vertices, std::span<const DrawCall> calls) {
  width_ = width;
  height_ = height;
  band_x_ = 1.0 + 2.0 * kGuardBandPixels / width;
  band_y_ = 1.0 + 2.0 * kGuardBandPixels / height;
  states_ = states;
  pixel_states_ = pixel_states;
  vertices_ = vertices;
  calls_ = calls;
}

bool GeometryPass::Run(std::span<const DrawPiece> pieces, Queue& out) {
  out_ = &out;
  try {
    for (const DrawPiece& piece : pieces) {
      const DrawCall& call = calls_[piece.call];
      const GeometryState& g = states_[call.state];
      // Long pieces go in chunks, so that the processed vertices are still in the cache when
      // their triangles are assembled.
      for (size_t done = 0; done < piece.primitive_count;) {
        const size_t first = piece.first_primitive + done;
        const size_t count = std::min(piece.primitive_count - done, kChunkPrimitives);
        done += count;
        if (call.type == PrimitiveType::kTriangleList) {
          processed_.resize(count * 3);
          ProcessVertices(call, g, first * 3, count * 3, 0);
          const DrawVertex* v = processed_.data();
          for (size_t i = 0; i < count * 3; i += 3) EmitTriangle(v[i], v[i + 1], v[i + 2], g);
        } else {
          // Fan triangle k is (v[k + 1], v[k + 2], v[0]); vertex 0 goes first.
          processed_.resize(count + 2);
          ProcessVertices(call, g, 0, 1, 0);
          ProcessVertices(call, g, first + 1, count + 1, 1);
          const DrawVertex* v = processed_.data();
          for (size_t i = 1; i <= count; ++i) EmitTriangle(v[i], v[i + 1], v[0], g);
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Transform, blend and light each vertex (camera space), then project and snap those inside
// every clip plane.
//   colour0 = emissive + ambient * (global ambient + light ambient) + diffuse * light * N.L
//   colour1 = specular * light specular * (N.H)^power
// both per vertex and saturated. The diffuse colour is the vertex colour when the layout has
// one, otherwise the material's; ambient, specular and emissive always come from the material.
void GeometryPass::ProcessVertices(const DrawCall& call, const GeometryState& g, size_t first,
                                   size_t count, size_t to) {
  const RenderStates& s = g.states;
  const bool blending = call.has_weight && s.vertex_blend == VertexBlend::kOneWeight;
  const bool lit = s.lighting;
  const bool lights = lit && g.light_enabled;
  const Material& material = g.material;
  const bool specular =
      lights && s.specular_enable &&
      (material.specular.r != 0.0f || material.specular.g != 0.0f || material.specular.b != 0.0f);
  const Color global_ambient = UnpackColour(s.ambient);
  const DirectionalLight& light = g.light;
  const GuardBand band{band_x_, band_y_};
  // Unindexed meshes repeat each vertex in several triangles; a repeat within this batch takes
  // the result of its first appearance, which is the same bits since processing a vertex depends
  // on nothing else.
  if (++cache_stamp_ == 0) {
    cache_.fill({});
    cache_stamp_ = 1;
  }
  for (size_t i = 0; i < count; ++i) {
    const VertexInput& in = vertices_[call.first_vertex + first + i];
    DrawVertex& out = processed_[to + i];
    VertexCacheEntry& cached = cache_[VertexHash(in)];
    if (cached.stamp == cache_stamp_ &&
        std::memcmp(&vertices_[cached.input], &in, sizeof(VertexInput)) == 0) {
      out = processed_[cached.output];
      continue;
    }
    cached = {cache_stamp_, static_cast<uint32_t>(to + i), call.first_vertex + first + i};
    // Weights of exactly 1 or 0 (most vertices) need only one of the two matrices.
    const float weight = blending ? in.weight : 1.0f;
    const bool mixed = weight != 1.0f && weight != 0.0f;
    const int single = weight == 0.0f ? 1 : 0;
    Vec4f clip = TransformPoint(in.position, g.world_view_projection[single]);
    if (mixed) clip = Mix(clip, TransformPoint(in.position, g.world_view_projection[1]), weight);
    out.clip.x = clip.x;
    out.clip.y = clip.y;
    out.clip.z = clip.z;
    out.clip.w = clip.w;

    float* a = out.clip.attr;
    Color diffuse{1.0f, 1.0f, 1.0f, 1.0f};
    if (call.has_colour) {
      diffuse = UnpackColour(in.colour);
    } else if (lit) {
      diffuse = material.diffuse;
    }
    if (!lit) {
      a[kRed] = diffuse.r;
      a[kGreen] = diffuse.g;
      a[kBlue] = diffuse.b;
      a[kAlpha] = diffuse.a;
      a[kSpecularRed] = a[kSpecularGreen] = a[kSpecularBlue] = 0.0f;
    } else {
      // The normal is used as transformed, without renormalising.
      Vec3 normal;
      if (call.has_normal) {
        normal = TransformDirection(in.normal, g.normal_matrix[single]);
        if (mixed) {
          normal =
              normal * weight + TransformDirection(in.normal, g.normal_matrix[1]) * (1.0f - weight);
        }
      }
      float r = global_ambient.r, gr = global_ambient.g, b = global_ambient.b;
      float lit_r = 0.0f, lit_g = 0.0f, lit_b = 0.0f;
      float spec_r = 0.0f, spec_g = 0.0f, spec_b = 0.0f;
      if (lights) {
        r += light.ambient.r;
        gr += light.ambient.g;
        b += light.ambient.b;
        const float d = Dot(normal, g.to_light);
        const float dc = Saturate(d);
        lit_r = light.diffuse.r * dc;
        lit_g = light.diffuse.g * dc;
        lit_b = light.diffuse.b * dc;
        if (specular && d > 0.0f) {
          Vec3 half = g.half_infinite;
          if (s.local_viewer) {
            Vec4f eye = TransformPoint(in.position, g.world_view[single]);
            if (mixed) eye = Mix(eye, TransformPoint(in.position, g.world_view[1]), weight);
            half = Normalize(g.to_light - Normalize(Vec3{eye.x, eye.y, eye.z}));
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
      a[kRed] = Saturate(material.emissive.r + material.ambient.r * r + diffuse.r * lit_r);
      a[kGreen] = Saturate(material.emissive.g + material.ambient.g * gr + diffuse.g * lit_g);
      a[kBlue] = Saturate(material.emissive.b + material.ambient.b * b + diffuse.b * lit_b);
      a[kAlpha] = Saturate(diffuse.a);
      a[kSpecularRed] = Saturate(material.specular.r * spec_r);
      a[kSpecularGreen] = Saturate(material.specular.g * spec_g);
      a[kSpecularBlue] = Saturate(material.specular.b * spec_b);
    }
    // Texture coordinates pass through; ones that are not finite read as 0.
    a[kU] = std::isfinite(in.u) ? in.u : 0.0f;
    a[kV] = std::isfinite(in.v) ? in.v : 0.0f;

    if (!Finite(out.clip)) {
      out.outcode = kUnusable;
      continue;
    }
    const ClipPoint point = ToClipPoint(out.clip);
    out.outcode = OutCode(point, band);
    if (out.outcode != 0) continue;
    if (!Project(point, width_, height_, out.screen)) {
      out.outcode = kUnusable;
      continue;
    }
    out.fx = Snap(out.screen.x);
    out.fy = Snap(out.screen.y);
  }
}

void GeometryPass::EmitTriangle(const DrawVertex& a, const DrawVertex& b, const DrawVertex& c,
                                const GeometryState& g) {
  const unsigned outside = a.outcode | b.outcode | c.outcode;
  if ((outside & kUnusable) || (a.outcode & b.outcode & c.outcode)) return;
  if (outside != 0) {
    EmitClippedTriangle(a, b, c, outside, g);
    return;
  }
  const int64_t fx[3] = {a.fx, b.fx, c.fx}, fy[3] = {a.fy, b.fy, c.fy};
  const int64_t area = SignedArea(fx, fy, 3);
  // Positive area: clockwise on screen (y down), a front face.
  if (area == 0 || Culled(g.states.cull_mode, area > 0)) return;

  ScreenVertex wrapped[3];
  const ScreenVertex* corners[3] = {&a.screen, &b.screen, &c.screen};
  if (g.states.wrap0 != 0) {
    for (int i = 0; i < 3; ++i) {
      wrapped[i] = *corners[i];
      corners[i] = &wrapped[i];
    }
    float* const attributes[3] = {wrapped[0].attr, wrapped[1].attr, wrapped[2].attr};
    WrapCorners(g.states.wrap0, attributes);
  }
  switch (g.states.fill_mode) {
    case kFillPoint:
      for (const ScreenVertex* v : corners) QueuePoint(*v, g.pixel_state);
      break;
    case kFillWireframe:
      for (int i = 0; i < 3; ++i) QueueLine(*corners[i], *corners[(i + 1) % 3], g.pixel_state);
      break;
    default:
      QueueTriangles(corners, fx, fy, 3, area > 0, g.pixel_state);
      break;
  }
}

void GeometryPass::EmitClippedTriangle(const DrawVertex& a, const DrawVertex& b,
                                       const DrawVertex& c, unsigned planes,
                                       const GeometryState& g) {
  const GuardBand band{band_x_, band_y_};
  ClipVertex corners[3] = {a.clip, b.clip, c.clip};
  float* const attributes[3] = {corners[0].attr, corners[1].attr, corners[2].attr};
  WrapCorners(g.states.wrap0, attributes);
  ClipPoint polygon[kMaxPolygon];
  for (int i = 0; i < 3; ++i) polygon[i] = ToClipPoint(corners[i]);
  const ClipPoint original[3] = {polygon[0], polygon[1], polygon[2]};
  const int count = ClipPolygon(polygon, 3, planes, band);
  if (count == 0) return;

  // Facing is decided on the clipped, snapped polygon: every corner is in front of the camera.
  ScreenVertex screen[kMaxPolygon];
  const ScreenVertex* pointers[kMaxPolygon];
  int64_t fx[kMaxPolygon], fy[kMaxPolygon];
  for (int i = 0; i < count; ++i) {
    if (!Project(polygon[i], width_, height_, screen[i])) return;
    pointers[i] = &screen[i];
    fx[i] = Snap(screen[i].x);
    fy[i] = Snap(screen[i].y);
  }
  const int64_t area = SignedArea(fx, fy, count);
  if (area == 0 || Culled(g.states.cull_mode, area > 0)) return;

  switch (g.states.fill_mode) {
    case kFillPoint:
      // Only corners between the near and far planes (and inside the band) show.
      for (const ClipPoint& p : original) {
        ScreenVertex v;
        if (OutCode(p, band) == 0 && Project(p, width_, height_, v)) QueuePoint(v, g.pixel_state);
      }
      break;
    case kFillWireframe:
      // Each edge is clipped on its own, so the edges clipping created are not drawn.
      for (int i = 0; i < 3; ++i) {
        ClipPoint from = original[i], to = original[(i + 1) % 3];
        ScreenVertex sa, sb;
        if (ClipSegment(from, to, band) && Project(from, width_, height_, sa) &&
            Project(to, width_, height_, sb)) {
          QueueLine(sa, sb, g.pixel_state);
        }
      }
      break;
    default:
      QueueTriangles(pointers, fx, fy, count, area > 0, g.pixel_state);
      break;
  }
}

void GeometryPass::QueueTriangles(const ScreenVertex* const* corners, const int64_t* fx,
                                  const int64_t* fy, int count, bool clockwise,
                                  uint32_t pixel_state) {
  for (int i = 1; i + 1 < count; ++i) {
    // Back faces that survive culling are turned round so the edge rules see a positive area.
    const int j = clockwise ? i : i + 1, k = clockwise ? i + 1 : i;
    const int64_t tx[3] = {fx[0], fx[j], fx[k]}, ty[3] = {fy[0], fy[j], fy[k]};
    // A sliver that snapping turned inside out would overlap its neighbours: drop it.
    if (SignedArea(tx, ty, 3) <= 0) continue;
    const ScreenVertex* v[3] = {corners[0], corners[j], corners[k]};
    Triangle& triangle = out_->triangles.emplace_back();
    if (!SetupTriangle(v, tx, ty, pixel_states_[pixel_state], width_, height_, triangle)) {
      out_->triangles.pop_back();
      continue;
    }
    triangle.state = pixel_state;
    out_->Add({CommandKind::kTriangle, static_cast<uint32_t>(out_->triangles.size() - 1)},
              triangle.min_y, triangle.max_y);
  }
}

void GeometryPass::QueueLine(const ScreenVertex& a, const ScreenVertex& b, uint32_t pixel_state) {
  // Rows the line may touch: its minor coordinate rounds to within a pixel of its ends.
  const float low = std::min(a.y, b.y), high = std::max(a.y, b.y);
  if (high < -1.0f || low > static_cast<float>(height_)) return;
  const int min_y = std::max(static_cast<int>(std::floor(low)) - 1, 0);
  const int max_y = std::min(static_cast<int>(std::ceil(high)) + 1, height_ - 1);
  out_->lines.push_back({a, b, pixel_state});
  out_->Add({CommandKind::kLine, static_cast<uint32_t>(out_->lines.size() - 1)}, min_y, max_y);
}

// A point is the one pixel whose centre its 1 x 1 square covers by the top-left rule.
void GeometryPass::QueuePoint(const ScreenVertex& v, uint32_t pixel_state) {
  const double x = std::ceil(static_cast<double>(v.x) - 0.5);
  const double y = std::ceil(static_cast<double>(v.y) - 0.5);
  if (x < 0.0 || y < 0.0 || x >= width_ || y >= height_) return;
  out_->points.push_back({static_cast<int32_t>(x), static_cast<int32_t>(y), v, pixel_state});
  out_->Add({CommandKind::kPoint, static_cast<uint32_t>(out_->points.size() - 1)},
            static_cast<int>(y), static_cast<int>(y));
}

}  // namespace vorna::raster
