// The Device's geometry stage: recorded draw calls turned into screen-space primitives (vertex
// blending, lighting, projection, cylindrical wrapping, clipping, culling, triangle setup).
// Internal to render/.
//
// A primitive depends only on its own vertices and the state recorded with its draw call, so
// runs of primitives, even of one call, can be processed on different threads into separate
// queues and the queues rasterised one after the other in drawing order.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "render/device.h"
#include "render/raster.h"

namespace vorna::raster {

// The three vertex layouts in one form; what a layout lacks is marked on its draw call.
struct VertexInput {
  Vec3 position;
  float weight = 1.0f;
  Vec3 normal;
  uint32_t colour = 0;
  float u = 0.0f;
  float v = 0.0f;
};

struct Matrix3 {
  float m[3][3] = {};
};

// Everything the geometry stage reads of the device state, as it was at a draw call.
struct GeometryState {
  RenderStates states;
  Material material;
  DirectionalLight light;
  bool light_enabled = false;
  uint32_t pixel_state = 0;  // index into the scene's pixel states
  // Derived from the transforms and the light.
  Matrix world_view[2];
  Matrix world_view_projection[2];
  Matrix3 normal_matrix[2];
  Vec3 to_light;       // camera space, unit length
  Vec3 half_infinite;  // halfway vector for a viewer infinitely far behind the camera
};

// Fills the derived part of `state` from the four transforms (world, world 1, view, projection).
void DeriveGeometry(const Matrix transforms[4], GeometryState& state);

struct DrawCall {
  PrimitiveType type = PrimitiveType::kTriangleList;
  bool has_weight = false;
  bool has_normal = false;
  bool has_colour = false;
  size_t first_vertex = 0;
  size_t vertex_count = 0;
  uint32_t state = 0;  // index into the geometry states
};

// The triangles of a call: 3 vertices each in a list; in a fan all share vertex 0.
size_t PrimitiveCount(const DrawCall& call);

// A run of consecutive primitives of one draw call.
struct DrawPiece {
  uint32_t call = 0;
  size_t first_primitive = 0;
  size_t primitive_count = 0;
};

inline constexpr size_t kVertexCacheSize = 4096;  // a power of two

// One worker's geometry stage. It keeps its scratch memory from frame to frame.
class GeometryPass {
 public:
  GeometryPass();
  GeometryPass(GeometryPass&&) noexcept;
  GeometryPass& operator=(GeometryPass&&) noexcept;
  ~GeometryPass();

  // The scene the next runs read; the spans must stay valid until then.
  void Bind(int width, int height, std::span<const GeometryState> states,
            std::span<const PixelState> pixel_states, std::span<const VertexInput> vertices,
            std::span<const DrawCall> calls);

  // Appends the primitives of `pieces` to `out`, in order. False when memory ran out (the
  // primitives queued until then stay).
  bool Run(std::span<const DrawPiece> pieces, Queue& out);

 private:
  struct DrawVertex;
  // Processes `count` vertices of the call from `first` on into processed_[to ..].
  void ProcessVertices(const DrawCall& call, const GeometryState& g, size_t first, size_t count,
                       size_t to);
  void EmitTriangle(const DrawVertex& a, const DrawVertex& b, const DrawVertex& c,
                    const GeometryState& g);
  void EmitClippedTriangle(const DrawVertex& a, const DrawVertex& b, const DrawVertex& c,
                           unsigned planes, const GeometryState& g);
  void QueueTriangles(const ScreenVertex* const* corners, const int64_t* fx, const int64_t* fy,
                      int count, bool clockwise, uint32_t pixel_state);
  void QueueLine(const ScreenVertex& a, const ScreenVertex& b, uint32_t pixel_state);
  void QueuePoint(const ScreenVertex& v, uint32_t pixel_state);

  int width_ = 1;
  int height_ = 1;
  double band_x_ = 1.0;  // guard band: |x| <= band_x_ * w
  double band_y_ = 1.0;
  std::span<const DrawCall> calls_;
  std::span<const GeometryState> states_;
  std::span<const PixelState> pixel_states_;
  std::span<const VertexInput> vertices_;
  std::vector<DrawVertex> processed_;
  // Vertices already processed in the current batch: where their input and result are. Entries
  // count only when their stamp is the batch's.
  struct VertexCacheEntry {
    uint32_t stamp = 0;
    uint32_t output = 0;  // index into processed_
    size_t input = 0;     // index into vertices_
  };
  std::array<VertexCacheEntry, kVertexCacheSize> cache_{};
  uint32_t cache_stamp_ = 0;
  Queue* out_ = nullptr;
};

}  // namespace vorna::raster
