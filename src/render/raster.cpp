#include "render/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vorna::raster {

namespace {

constexpr float kByteToUnit = 1.0f / 255.0f;

// Clamps to 0 .. 1; NaN becomes 0, so no value reaching a conversion can be out of range.
inline float Saturate(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

inline uint8_t ToByte(float unit) { return static_cast<uint8_t>(unit * 255.0f + 0.5f); }

// Depth buffer value of a depth in 0 .. 1, rounded to nearest.
inline uint16_t ToDepth(float z) { return static_cast<uint16_t>(Saturate(z) * 65535.0f + 0.5f); }

// Integer division rounding down and up; b > 0.
inline int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
inline int64_t CeilDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && a > 0) ? q + 1 : q;
}

// Texels travel packed as in memory: byte 0 red .. byte 3 alpha.
inline uint32_t Fetch(const Image& level, int x, int y) {
  uint32_t texel;
  std::memcpy(&texel, level.rgba.data() + (static_cast<size_t>(y) * level.width + x) * 4, 4);
  return texel;
}

// a + (b - a) * f / 256 in each byte, rounded; f in 0 .. 256. Two bytes share each multiply,
// and no lane can carry into the next (255 * 256 + 128 < 65536).
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t f) {
  const uint32_t g = 256 - f;
  const uint32_t even =
      (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f + 0x00800080u) >> 8) & 0x00FF00FFu;
  const uint32_t odd =
      ((((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f + 0x00800080u) >> 8) &
      0x00FF00FFu;
  return even | (odd << 8);
}

// Filter weights have 8 fractional bits, as texture units commonly use.
inline uint32_t Weight(float fraction) { return static_cast<uint32_t>(fraction * 256.0f + 0.5f); }

// floor() for any float; values of 2^23 and more are whole already (NaN stays NaN).
inline float Floor(float x) {
  if (!(std::fabs(x) < 8388608.0f)) return x;
  const float t = static_cast<float>(static_cast<int32_t>(x));
  return t > x ? t - 1.0f : t;
}

// Wrap addressing: the fraction of a coordinate, 0 .. 1. Anything not finite reads as 0.
inline float Wrap(float coordinate) {
  const float fraction = coordinate - Floor(coordinate);
  return fraction >= 0.0f && fraction <= 1.0f ? fraction : 0.0f;
}

// Folds a texel index at most one period outside 0 .. size - 1 back into it.
inline int WrapIndex(int i, int size) {
  if (i < 0) return i + size;
  if (i >= size) return i - size;
  return i;
}

uint32_t SamplePoint(const Image& level, float u, float v) {
  const int x = WrapIndex(static_cast<int>(Wrap(u) * level.width), level.width);
  const int y = WrapIndex(static_cast<int>(Wrap(v) * level.height), level.height);
  return Fetch(level, x, y);
}

// Texel (i, j) is centred at ((i + 0.5) / W, (j + 0.5) / H).
uint32_t SampleBilinear(const Image& level, float u, float v) {
  // Both positions are at least -0.5, so truncating position + 1 floors it.
  const float x = Wrap(u) * level.width + 0.5f;
  const float y = Wrap(v) * level.height + 0.5f;
  const int xi = static_cast<int>(x), yi = static_cast<int>(y);
  const uint32_t fx = Weight(x - static_cast<float>(xi));
  const uint32_t fy = Weight(y - static_cast<float>(yi));
  const int x0 = WrapIndex(xi - 1, level.width), y0 = WrapIndex(yi - 1, level.height);
  const int x1 = WrapIndex(x0 + 1, level.width), y1 = WrapIndex(y0 + 1, level.height);
  const uint32_t top = Mix(Fetch(level, x0, y0), Fetch(level, x1, y0), fx);
  const uint32_t bottom = Mix(Fetch(level, x0, y1), Fetch(level, x1, y1), fx);
  return Mix(top, bottom, fy);
}

// log2 of the larger texel-space footprint of one pixel step (level 0 texels).
inline float LevelOfDetail(float ux, float vx, float uy, float vy, float width, float height) {
  const float along_x = (width * ux) * (width * ux) + (height * vx) * (height * vx);
  const float along_y = (width * uy) * (width * uy) + (height * vy) * (height * vy);
  return 0.5f * std::log2(std::max(along_x, along_y));
}

struct Sampler {
  const std::vector<Image>* levels = nullptr;
  float width = 0.0f;  // of level 0
  float height = 0.0f;
  TextureFilter mag_filter = TextureFilter::kPoint;
  TextureFilter min_filter = TextureFilter::kPoint;
  TextureFilter mip_filter = TextureFilter::kNone;
  bool needs_lod = false;

  uint32_t Filter(TextureFilter filter, int level, float u, float v) const {
    const Image& image = (*levels)[level];
    return filter == TextureFilter::kLinear ? SampleBilinear(image, u, v)
                                            : SamplePoint(image, u, v);
  }

  // lod <= 0 (or NaN) magnifies level 0; above that the minification filter works on the
  // level(s) the mip filter picks.
  uint32_t Sample(float u, float v, float lod) const {
    if (!(lod > 0.0f)) return Filter(mag_filter, 0, u, v);
    const int last = static_cast<int>(levels->size()) - 1;
    if (mip_filter == TextureFilter::kNone || last == 0) return Filter(min_filter, 0, u, v);
    const float clamped = lod < static_cast<float>(last) ? lod : static_cast<float>(last);
    if (mip_filter == TextureFilter::kPoint) {
      return Filter(min_filter, std::min(static_cast<int>(clamped + 0.5f), last), u, v);
    }
    const int level = static_cast<int>(clamped);
    const uint32_t f = Weight(clamped - static_cast<float>(level));
    const uint32_t near = Filter(min_filter, level, u, v);
    if (f == 0 || level >= last) return near;
    return Mix(near, Filter(min_filter, level + 1, u, v), f);
  }
};

struct PixelContext {
  Sampler sampler;
  bool textured = false;
  bool specular = false;
  AlphaOperation alpha_operation = AlphaOperation::kSelectTexture;
  bool depth_test = true;
  bool depth_write = true;
  bool blend = false;
  BlendFactor source_blend = BlendFactor::kOne;
  BlendFactor destination_blend = BlendFactor::kZero;
};

PixelContext MakeContext(const PixelState& state) {
  PixelContext c;
  if (state.texture != nullptr) {
    c.textured = true;
    c.sampler.levels = &state.texture->levels();
    c.sampler.width = static_cast<float>(state.texture->width());
    c.sampler.height = static_cast<float>(state.texture->height());
    c.sampler.mag_filter = state.mag_filter;
    c.sampler.min_filter = state.min_filter;
    c.sampler.mip_filter = state.mip_filter;
    const bool mag_linear = state.mag_filter == TextureFilter::kLinear;
    const bool min_linear = state.min_filter == TextureFilter::kLinear;
    c.sampler.needs_lod = mag_linear != min_linear || (state.mip_filter != TextureFilter::kNone &&
                                                       c.sampler.levels->size() > 1);
  }
  c.specular = state.specular;
  c.alpha_operation = state.alpha_operation;
  c.depth_test = state.depth_test;
  c.depth_write = state.depth_test && state.depth_write;
  c.blend = state.blend;
  c.source_blend = state.source_blend;
  c.destination_blend = state.destination_blend;
  return c;
}

inline float BlendWeight(BlendFactor factor, float source_alpha) {
  switch (factor) {
    case BlendFactor::kZero:
      return 0.0f;
    case BlendFactor::kOne:
      return 1.0f;
    case BlendFactor::kSourceAlpha:
      return source_alpha;
    case BlendFactor::kInverseSourceAlpha:
      return 1.0f - source_alpha;
  }
  return 0.0f;
}

// The texture stage, the specular sum and the blend for one pixel that passed the depth test.
// `a` holds the interpolated attributes (those the flags leave out are not read).
template <bool kTextured, bool kSpecular>
inline void ShadeFragment(const PixelContext& c, const float* a, float lod, uint8_t* out) {
  float r = Saturate(a[kRed]), g = Saturate(a[kGreen]), b = Saturate(a[kBlue]);
  float alpha = Saturate(a[kAlpha]);
  if constexpr (kTextured) {
    const uint32_t t = c.sampler.Sample(a[kU], a[kV], lod);
    r *= static_cast<float>(t & 0xFF) * kByteToUnit;
    g *= static_cast<float>((t >> 8) & 0xFF) * kByteToUnit;
    b *= static_cast<float>((t >> 16) & 0xFF) * kByteToUnit;
    const float texture_alpha = static_cast<float>(t >> 24) * kByteToUnit;
    switch (c.alpha_operation) {
      case AlphaOperation::kSelectTexture:
        alpha = texture_alpha;
        break;
      case AlphaOperation::kModulate:
        alpha *= texture_alpha;
        break;
      case AlphaOperation::kAddSigned:
        alpha = Saturate(texture_alpha + alpha - 0.5f);
        break;
    }
  }
  if constexpr (kSpecular) {
    r = Saturate(r + Saturate(a[kSpecularRed]));
    g = Saturate(g + Saturate(a[kSpecularGreen]));
    b = Saturate(b + Saturate(a[kSpecularBlue]));
  }
  if (c.blend) {
    const float fs = BlendWeight(c.source_blend, alpha);
    const float fd = BlendWeight(c.destination_blend, alpha);
    // An opaque pixel over anything is itself; not reading what is behind it saves a cache
    // miss for most pixels of a frame.
    if (fd != 0.0f) {
      r = Saturate(r * fs + out[0] * kByteToUnit * fd);
      g = Saturate(g * fs + out[1] * kByteToUnit * fd);
      b = Saturate(b * fs + out[2] * kByteToUnit * fd);
    } else if (fs != 1.0f) {
      r = Saturate(r * fs);
      g = Saturate(g * fs);
      b = Saturate(b * fs);
    }
  }
  out[0] = ToByte(r);
  out[1] = ToByte(g);
  out[2] = ToByte(b);
  out[3] = 255;
}

void ShadeFragment(const PixelContext& c, const float* a, float lod, uint8_t* out) {
  if (c.textured) {
    c.specular ? ShadeFragment<true, true>(c, a, lod, out)
               : ShadeFragment<true, false>(c, a, lod, out);
  } else {
    c.specular ? ShadeFragment<false, true>(c, a, lod, out)
               : ShadeFragment<false, false>(c, a, lod, out);
  }
}

constexpr bool Interpolated(int k, bool textured, bool specular) {
  if (k >= kSpecularRed && k <= kSpecularBlue) return specular;
  if (k == kU || k == kV) return textured;
  return true;
}

template <bool kPerspective, bool kTextured, bool kSpecular>
void DrawTriangle(const Triangle& t, const PixelContext& c, const Target& target, RowSet rows) {
  int64_t edge[3] = {t.edge_origin[0], t.edge_origin[1], t.edge_origin[2]};
  const int64_t last_offset = t.max_x - t.min_x;
  for (int y = t.min_y; y <= t.max_y; ++y) {
    if (y > t.min_y) {
      for (int k = 0; k < 3; ++k) edge[k] += t.edge_dy[k];
    }
    if (!rows.Owns(y)) continue;
    // The covered run of this row, straight from the edge functions.
    int64_t first = 0, last = last_offset;
    bool empty = false;
    for (int k = 0; k < 3; ++k) {
      const int64_t step = t.edge_dx[k];
      if (step > 0) {
        first = std::max(first, CeilDiv(-edge[k], step));
      } else if (step < 0) {
        last = std::min(last, FloorDiv(edge[k], -step));
      } else if (edge[k] < 0) {
        empty = true;
      }
    }
    if (empty || first > last) continue;

    const float ox = static_cast<float>(first);
    const float oy = static_cast<float>(y - t.min_y);
    float z = t.z.origin + t.z.dx * ox + t.z.dy * oy;
    float q = 0.0f;
    if constexpr (kPerspective) q = t.q.origin + t.q.dx * ox + t.q.dy * oy;
    float value[kAttributeCount] = {};
    for (int k = 0; k < kAttributeCount; ++k) {
      if (Interpolated(k, kTextured, kSpecular)) {
        value[k] = t.attr[k].origin + t.attr[k].dx * ox + t.attr[k].dy * oy;
      }
    }

    const size_t row = static_cast<size_t>(y) * target.width;
    const int x_begin = t.min_x + static_cast<int>(first);
    const int x_end = t.min_x + static_cast<int>(last);
    uint16_t* depth = target.depth + row;
    uint8_t* colour = target.colour + row * 4;
    for (int x = x_begin; x <= x_end; ++x) {
      const uint16_t zq = ToDepth(z);
      if (!c.depth_test || zq <= depth[x]) {
        float a[kAttributeCount];
        float lod = t.lod;
        if constexpr (kPerspective) {
          const float w = 1.0f / q;
          for (int k = 0; k < kAttributeCount; ++k) {
            if (Interpolated(k, kTextured, kSpecular)) a[k] = value[k] * w;
          }
          if constexpr (kTextured) {
            if (c.sampler.needs_lod) {
              // Derivatives of u = (u q) / q.
              const float ux = (t.attr[kU].dx - a[kU] * t.q.dx) * w;
              const float vx = (t.attr[kV].dx - a[kV] * t.q.dx) * w;
              const float uy = (t.attr[kU].dy - a[kU] * t.q.dy) * w;
              const float vy = (t.attr[kV].dy - a[kV] * t.q.dy) * w;
              lod = LevelOfDetail(ux, vx, uy, vy, c.sampler.width, c.sampler.height);
            }
          }
        } else {
          for (int k = 0; k < kAttributeCount; ++k) a[k] = value[k];
        }
        ShadeFragment<kTextured, kSpecular>(c, a, lod, colour + static_cast<size_t>(x) * 4);
        if (c.depth_write) depth[x] = zq;
      }
      z += t.z.dx;
      if constexpr (kPerspective) q += t.q.dx;
      for (int k = 0; k < kAttributeCount; ++k) {
        if (Interpolated(k, kTextured, kSpecular)) value[k] += t.attr[k].dx;
      }
    }
  }
}

using TriangleDrawer = void (*)(const Triangle&, const PixelContext&, const Target&, RowSet);

// Indexed by perspective * 4 + textured * 2 + specular.
constexpr TriangleDrawer kTriangleDrawers[8] = {
    &DrawTriangle<false, false, false>, &DrawTriangle<false, false, true>,
    &DrawTriangle<false, true, false>,  &DrawTriangle<false, true, true>,
    &DrawTriangle<true, false, false>,  &DrawTriangle<true, false, true>,
    &DrawTriangle<true, true, false>,   &DrawTriangle<true, true, true>,
};

// Depth test, shading and depth write of one pixel of a line or point.
void DrawFragment(const PixelContext& c, const Target& target, int x, int y, float z,
                  const float* a) {
  const size_t index = static_cast<size_t>(y) * target.width + x;
  const uint16_t zq = ToDepth(z);
  if (c.depth_test && zq > target.depth[index]) return;
  ShadeFragment(c, a, 0.0f, target.colour + index * 4);
  if (c.depth_write) target.depth[index] = zq;
}

// Steps along the major axis over the pixel centres from a (included) towards b (excluded);
// the minor coordinate is rounded to nearest with halves going down (towards the smaller
// coordinate). Attributes follow the perspective-correct position along the segment.
void DrawLine(const Line& line, const PixelContext& c, const Target& target, RowSet rows) {
  const ScreenVertex& a = line.a;
  const ScreenVertex& b = line.b;
  const float dx = b.x - a.x, dy = b.y - a.y;
  if (dx == 0.0f && dy == 0.0f) return;
  const bool x_major = std::fabs(dx) >= std::fabs(dy);
  const float major_start = x_major ? a.x : a.y;
  const float major_delta = x_major ? dx : dy;
  const float minor_start = x_major ? a.y : a.x;
  const float minor_delta = x_major ? dy : dx;
  const float major_end = major_start + major_delta;
  const int major_limit = x_major ? target.width : target.height;
  const int minor_limit = x_major ? target.height : target.width;

  // Inclusive range of centres, walked in either direction; clamped to the target.
  int64_t first, last, step;
  if (major_delta > 0.0f) {
    first = static_cast<int64_t>(std::ceil(major_start));
    last = static_cast<int64_t>(std::ceil(major_end)) - 1;
    step = 1;
    first = std::max<int64_t>(first, 0);
    last = std::min<int64_t>(last, major_limit - 1);
    if (first > last) return;
  } else {
    first = static_cast<int64_t>(std::floor(major_start));
    last = static_cast<int64_t>(std::floor(major_end)) + 1;
    step = -1;
    first = std::min<int64_t>(first, major_limit - 1);
    last = std::max<int64_t>(last, 0);
    if (first < last) return;
  }
  for (int64_t centre = first;; centre += step) {
    const float t = (static_cast<float>(centre) - major_start) / major_delta;
    const float minor = minor_start + t * minor_delta;
    const int64_t minor_pixel = static_cast<int64_t>(std::ceil(minor - 0.5f));
    const int x = static_cast<int>(x_major ? centre : minor_pixel);
    const int y = static_cast<int>(x_major ? minor_pixel : centre);
    if (minor_pixel >= 0 && minor_pixel < minor_limit && rows.Owns(y)) {
      const float qa = (1.0f - t) * a.q, qb = t * b.q;
      const float w = 1.0f / (qa + qb);
      float value[kAttributeCount];
      for (int k = 0; k < kAttributeCount; ++k) value[k] = (qa * a.attr[k] + qb * b.attr[k]) * w;
      DrawFragment(c, target, x, y, a.z + t * (b.z - a.z), value);
    }
    if (centre == last) break;
  }
}

void DrawPoint(const Point& point, const PixelContext& c, const Target& target, RowSet rows) {
  if (!rows.Owns(point.y)) return;
  DrawFragment(c, target, point.x, point.y, point.v.z, point.v.attr);
}

}  // namespace

bool SetupTriangle(const ScreenVertex* const v[3], const int64_t fx[3], const int64_t fy[3],
                   const PixelState& state, int width, int height, Triangle& t) {
  const int64_t lo_x = std::min({fx[0], fx[1], fx[2]}), hi_x = std::max({fx[0], fx[1], fx[2]});
  const int64_t lo_y = std::min({fy[0], fy[1], fy[2]}), hi_y = std::max({fy[0], fy[1], fy[2]});
  const int64_t min_x = std::max<int64_t>(CeilDiv(lo_x, kSubpixelScale), 0);
  const int64_t max_x = std::min<int64_t>(FloorDiv(hi_x, kSubpixelScale), width - 1);
  const int64_t min_y = std::max<int64_t>(CeilDiv(lo_y, kSubpixelScale), 0);
  const int64_t max_y = std::min<int64_t>(FloorDiv(hi_y, kSubpixelScale), height - 1);
  if (min_x > max_x || min_y > max_y) return false;
  t.min_x = static_cast<int32_t>(min_x);
  t.max_x = static_cast<int32_t>(max_x);
  t.min_y = static_cast<int32_t>(min_y);
  t.max_y = static_cast<int32_t>(max_y);

  // E(p) = (b.x - a.x)(p.y - a.y) - (b.y - a.y)(p.x - a.x) for each edge a -> b. With a
  // positive area, E > 0 inside; E = 0 counts only on a top edge (horizontal, going right) or a
  // left edge (going up).
  const int64_t px = min_x * kSubpixelScale, py = min_y * kSubpixelScale;
  for (int k = 0; k < 3; ++k) {
    const int a = k, b = (k + 1) % 3;
    const int64_t ex = fx[b] - fx[a], ey = fy[b] - fy[a];
    const bool top = ey == 0 && ex > 0;
    const bool left = ey < 0;
    t.edge_origin[k] = ex * (py - fy[a]) - ey * (px - fx[a]) - (top || left ? 0 : 1);
    t.edge_dx[k] = -ey * kSubpixelScale;
    t.edge_dy[k] = ex * kSubpixelScale;
  }

  // Attribute planes from the snapped corners, in pixels relative to corner 0.
  const double scale = 1.0 / static_cast<double>(kSubpixelScale);
  const double dx1 = static_cast<double>(fx[1] - fx[0]) * scale;
  const double dy1 = static_cast<double>(fy[1] - fy[0]) * scale;
  const double dx2 = static_cast<double>(fx[2] - fx[0]) * scale;
  const double dy2 = static_cast<double>(fy[2] - fy[0]) * scale;
  const double area = dx1 * dy2 - dx2 * dy1;
  if (!(area > 0.0)) return false;
  const double ox = static_cast<double>(min_x) - static_cast<double>(fx[0]) * scale;
  const double oy = static_cast<double>(min_y) - static_cast<double>(fy[0]) * scale;
  const auto plane = [&](double a0, double a1, double a2) {
    const double gx = ((a1 - a0) * dy2 - (a2 - a0) * dy1) / area;
    const double gy = ((a2 - a0) * dx1 - (a1 - a0) * dx2) / area;
    return Plane{static_cast<float>(a0 + gx * ox + gy * oy), static_cast<float>(gx),
                 static_cast<float>(gy)};
  };
  t.z = plane(v[0]->z, v[1]->z, v[2]->z);
  // Planes nobody reads are left out: texture coordinates without a texture, and a specular
  // colour that is zero at every corner (adding it would change nothing).
  const bool textured = state.texture != nullptr;
  t.specular = false;
  for (int i = 0; i < 3 && state.specular; ++i) {
    for (int k = kSpecularRed; k <= kSpecularBlue; ++k) t.specular |= v[i]->attr[k] != 0.0f;
  }
  // Under an orthographic projection every q is 1 and the attributes are simply linear.
  t.perspective = !(v[0]->q == v[1]->q && v[1]->q == v[2]->q);
  if (t.perspective) {
    t.q = plane(v[0]->q, v[1]->q, v[2]->q);
    for (int k = 0; k < kAttributeCount; ++k) {
      if (!Interpolated(k, textured, t.specular)) continue;
      t.attr[k] = plane(static_cast<double>(v[0]->attr[k]) * v[0]->q,
                        static_cast<double>(v[1]->attr[k]) * v[1]->q,
                        static_cast<double>(v[2]->attr[k]) * v[2]->q);
    }
  } else {
    t.q = Plane{};
    for (int k = 0; k < kAttributeCount; ++k) {
      if (Interpolated(k, textured, t.specular)) {
        t.attr[k] = plane(v[0]->attr[k], v[1]->attr[k], v[2]->attr[k]);
      }
    }
    if (textured) {
      t.lod = LevelOfDetail(t.attr[kU].dx, t.attr[kV].dx, t.attr[kU].dy, t.attr[kV].dy,
                            static_cast<float>(state.texture->width()),
                            static_cast<float>(state.texture->height()));
    }
  }
  return true;
}

void Queue::Clear(int workers) {
  if (bins.size() < static_cast<size_t>(workers)) bins.resize(static_cast<size_t>(workers));
  bin_count = workers;
  triangles.clear();
  lines.clear();
  points.clear();
  for (std::vector<Command>& bin : bins) bin.clear();
}

void Queue::Add(Command command, int min_y, int max_y) {
  if (bin_count == 1) {
    bins[0].push_back(command);
    return;
  }
  const int first = min_y >> RowSet::kStripeShift, last = max_y >> RowSet::kStripeShift;
  if (last - first + 1 >= bin_count) {
    for (int i = 0; i < bin_count; ++i) bins[i].push_back(command);
    return;
  }
  // Fewer stripes than workers: each belongs to a different one.
  for (int stripe = first; stripe <= last; ++stripe) bins[stripe % bin_count].push_back(command);
}

void Rasterize(const Queue& queue, std::span<const PixelState> states, const Target& target,
               RowSet rows) {
  uint32_t current = UINT32_MAX;
  PixelContext context;
  for (const Command& command : queue.bins[rows.index]) {
    uint32_t state = 0;
    switch (command.kind) {
      case CommandKind::kTriangle:
        state = queue.triangles[command.index].state;
        break;
      case CommandKind::kLine:
        state = queue.lines[command.index].state;
        break;
      case CommandKind::kPoint:
        state = queue.points[command.index].state;
        break;
    }
    if (state != current) {
      context = MakeContext(states[state]);
      current = state;
    }
    switch (command.kind) {
      case CommandKind::kTriangle: {
        const Triangle& t = queue.triangles[command.index];
        const int which =
            (t.perspective ? 4 : 0) + (context.textured ? 2 : 0) + (t.specular ? 1 : 0);
        kTriangleDrawers[which](t, context, target, rows);
        break;
      }
      case CommandKind::kLine:
        DrawLine(queue.lines[command.index], context, target, rows);
        break;
      case CommandKind::kPoint:
        DrawPoint(queue.points[command.index], context, target, rows);
        break;
    }
  }
}

}  // namespace vorna::raster
