// The Device's rasteriser: screen-space primitives set up once when they are drawn, and the
// loops that turn them into pixels of a chosen set of rows. Internal to render/.
//
// Every pixel's value depends only on the primitive and the pixel's own coordinates (spans start
// from values evaluated at their first pixel, edge functions are exact integers), so workers that
// own different rows produce exactly the pixels one worker would.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "images/image.h"
#include "render/device.h"

namespace vorna::raster {

// Vertex positions are snapped to 1/256 pixel.
inline constexpr int kSubpixelBits = 8;
inline constexpr int64_t kSubpixelScale = int64_t{1} << kSubpixelBits;

// Interpolated per-vertex values, in this order.
enum Attribute : int {
  kRed,
  kGreen,
  kBlue,
  kAlpha,
  kSpecularRed,
  kSpecularGreen,
  kSpecularBlue,
  kU,
  kV,
  kAttributeCount
};

// A vertex after the perspective divide and the viewport: x, y in pixels (y down), z the depth
// in 0 .. 1, q = 1 / w.
struct ScreenVertex {
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;
  float q = 1.0f;
  float attr[kAttributeCount] = {};
};

// What the pixel stage needs of the device state at the time a primitive was drawn.
struct PixelState {
  const Texture* texture = nullptr;  // kept alive by the device until the scene is finished
  TextureFilter mag_filter = TextureFilter::kPoint;
  TextureFilter min_filter = TextureFilter::kPoint;
  TextureFilter mip_filter = TextureFilter::kNone;
  AlphaOperation alpha_operation = AlphaOperation::kSelectTexture;
  bool depth_test = true;
  bool depth_write = true;
  bool blend = false;
  BlendFactor source_blend = BlendFactor::kOne;
  BlendFactor destination_blend = BlendFactor::kZero;
  bool specular = false;

  friend bool operator==(const PixelState&, const PixelState&) = default;
};

// A value over the screen: `origin` at the triangle's first pixel (min_x, min_y) and its change
// per pixel to the right and down.
struct Plane {
  float origin = 0.0f;
  float dx = 0.0f;
  float dy = 0.0f;
};

// A solid triangle ready for scanning, oriented so that its area is positive.
struct Triangle {
  int32_t min_x = 0;
  int32_t min_y = 0;
  int32_t max_x = -1;
  int32_t max_y = -1;
  // Edge functions in subpixel units at (min_x, min_y) and per pixel step, biased so that a
  // pixel is covered when all three are >= 0 (the top-left rule).
  int64_t edge_origin[3] = {};
  int64_t edge_dx[3] = {};
  int64_t edge_dy[3] = {};
  Plane z;
  // With perspective, q and every attribute times q; otherwise the attributes themselves.
  Plane q;
  Plane attr[kAttributeCount];
  float lod = 0.0f;  // level of detail of an affine triangle (log2 texels per pixel)
  uint32_t state = 0;
  bool perspective = false;
  bool specular = false;  // the state adds specular and some corner has a highlight
};

// A wireframe edge, half-open: the pixel at `b` belongs to the next edge.
struct Line {
  ScreenVertex a;
  ScreenVertex b;
  uint32_t state = 0;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  ScreenVertex v;
  uint32_t state = 0;
};

enum class CommandKind : uint8_t { kTriangle, kLine, kPoint };
struct Command {
  CommandKind kind;
  uint32_t index;
};

// The rows one worker owns: stripes of 1 << kStripeShift rows dealt out in turn to `count`
// workers.
struct RowSet {
  static constexpr int kStripeShift = 4;
  int index = 0;
  int count = 1;
  bool Owns(int y) const { return count == 1 || ((y >> kStripeShift) % count) == index; }
};

// Primitives in drawing order; their states index the scene's pixel states. Commands are binned
// for every rasterising worker whose stripes of rows they touch, so a worker walks only its own
// primitives, still in drawing order.
struct Queue {
  std::vector<Triangle> triangles;
  std::vector<Line> lines;
  std::vector<Point> points;
  std::vector<std::vector<Command>> bins;  // the first bin_count are in use
  int bin_count = 1;

  // Empties the queue for `workers` rasterising workers, keeping its memory for the next frame.
  // Throws std::bad_alloc when a bin cannot be made.
  void Clear(int workers);
  // Bins the command for the workers owning a row in min_y .. max_y.
  void Add(Command command, int min_y, int max_y);
};

struct Target {
  uint8_t* colour = nullptr;  // RGBA8 rows
  uint16_t* depth = nullptr;
  int width = 0;
  int height = 0;
};

// Sets up the triangle (v[0], v[1], v[2]) whose snapped corners (fx, fy, in subpixel units) wind
// with a positive area. Returns false when it covers no pixel centre of the target.
bool SetupTriangle(const ScreenVertex* const v[3], const int64_t fx[3], const int64_t fy[3],
                   const PixelState& state, int width, int height, Triangle& out);

// Draws the primitives binned for worker `rows.index`, in order, into the rows it owns.
void Rasterize(const Queue& queue, std::span<const PixelState> states, const Target& target,
               RowSet rows);

}  // namespace vorna::raster
