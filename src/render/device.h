// Device: our software implementation of the fixed-function drawing the editor relies on.
//
// Row-vector transforms (world, second world, view, projection), one-weight vertex blending
// between the two world matrices, per-vertex lighting with one directional light, one texture
// stage (colour modulate, alpha select / modulate / add-signed) with point, bilinear and
// trilinear filtering, wrap addressing and cylindrical wrapping, alpha blending, culling, a 16-bit
// less-or-equal depth buffer and point, wireframe and solid fill, into an RGBA8 back buffer.
//
// Conventions the drawing code may rely on:
// - Clip volume -w <= x, y <= w, 0 <= z <= w; triangles are clipped against the near and far
//   planes and against a wide guard band, then scissored to the back buffer, so any finite
//   coordinates are safe. Primitives with a non-finite coordinate are dropped.
// - Pixel (i, j) is sampled at the screen position (i, j), y down; a solid triangle covers a
//   pixel by the top-left rule, so triangles sharing an edge never cover a pixel twice.
// - Triangles are front-facing when their corners appear clockwise on screen.
// - Colours are interpolated perspective-correctly; depth is linear in screen space.
//
// Drawing is deferred: a draw call copies its vertices and the state it is drawn with, and the
// scene is drawn in drawing order at EndScene (or at Clear, or early when it grows large), so the
// back buffer holds the finished frame after EndScene. Large frames are drawn on several
// threads; the pixels are the same as with one thread.
//
// The device is never lost. Nothing here throws; when memory runs out a draw call returns false
// and may have drawn only part of its primitives.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "images/image.h"
#include "maths/matrix.h"
#include "maths/vector.h"
#include "model/model.h"
#include "render/view_state.h"

namespace vorna {

enum class TransformState : uint8_t { kWorld, kWorld1, kView, kProjection };

// Triangle lists take vertices three at a time; a fan's triangle k is (v[k + 1], v[k + 2], v[0]),
// which winds as (v[0], v[k + 1], v[k + 2]).
enum class PrimitiveType : uint8_t { kTriangleList, kTriangleFan };

// Which faces are discarded: those whose corners appear clockwise or counter-clockwise.
enum class CullMode : uint8_t { kNone, kClockwise, kCounterClockwise };

// kOneWeight: a vertex with weight b lands at b * (v * world) + (1 - b) * (v * world1), its
// normal likewise. Vertex layouts without a weight use the world matrix alone.
enum class VertexBlend : uint8_t { kDisable, kOneWeight };

enum class BlendFactor : uint8_t { kZero, kOne, kSourceAlpha, kInverseSourceAlpha };

// Magnification and minification take kPoint or kLinear (kNone acts as kPoint); the mip filter
// kNone samples level 0 only, kPoint the nearest level, kLinear blends the two nearest levels.
enum class TextureFilter : uint8_t { kNone, kPoint, kLinear };

// How the texture stage computes alpha from the texture's alpha T and the diffuse alpha D:
// T, T * D, or T + D - 0.5 (saturated). Colour is always T * D.
enum class AlphaOperation : uint8_t { kSelectTexture, kModulate, kAddSigned };

// Bits of RenderStates::wrap0: interpolate that texture coordinate the short way round a
// cylinder on which 0 and 1 meet.
inline constexpr uint32_t kWrapU = 1;
inline constexpr uint32_t kWrapV = 2;

// Bits of the Clear flags.
inline constexpr uint32_t kClearTarget = 1;
inline constexpr uint32_t kClearDepth = 2;
// With kClearTarget: store the colour's alpha too, so that pixels no primitive covers keep it
// (drawn pixels are always opaque). Pictures with a transparent background clear to alpha 0.
inline constexpr uint32_t kClearAlpha = 4;

// Every state the pipeline reads besides transforms, material, light and texture. The defaults
// are those of a freshly created fixed-function device.
struct RenderStates {
  CullMode cull_mode = CullMode::kCounterClockwise;
  bool depth_enable = true;  // test less-or-equal against the depth buffer
  bool depth_write_enable = true;
  FillMode fill_mode = kFillSolid;
  bool lighting = true;
  uint32_t ambient = 0;  // 0xAARRGGBB; the alpha byte is ignored
  bool specular_enable = false;
  // Specular highlights with the viewer at each vertex's direction (true) or infinitely far
  // behind the camera (false).
  bool local_viewer = true;
  VertexBlend vertex_blend = VertexBlend::kDisable;
  uint32_t wrap0 = 0;  // kWrapU | kWrapV
  bool alpha_blend_enable = false;
  BlendFactor source_blend = BlendFactor::kOne;
  BlendFactor destination_blend = BlendFactor::kZero;
  // Texture stage 0 and its sampler; addressing always wraps.
  AlphaOperation alpha_operation = AlphaOperation::kSelectTexture;
  TextureFilter mag_filter = TextureFilter::kPoint;
  TextureFilter min_filter = TextureFilter::kPoint;
  TextureFilter mip_filter = TextureFilter::kNone;

  friend bool operator==(const RenderStates&, const RenderStates&) = default;
};

// A light shining along `direction` (world space, normalised when used). Only rgb is used.
struct DirectionalLight {
  Color diffuse{1.0f, 1.0f, 1.0f, 0.0f};
  Color specular;
  Color ambient;
  Vec3 direction{0.0f, 0.0f, 1.0f};

  friend bool operator==(const DirectionalLight&, const DirectionalLight&) = default;
};

// The three vertex layouts the drawing uses, field for field as the mesh code fills them.
// Colours are 0xAARRGGBB.
struct BlendedColourVertex {  // parts in the colour look
  Vec3 position;
  float blend = 0.0f;
  Vec3 normal;
  uint32_t colour = 0;
  float u = 0.0f;
  float v = 0.0f;
};
struct BlendedVertex {  // parts in the texture look: the diffuse colour is the material's
  Vec3 position;
  float blend = 0.0f;
  Vec3 normal;
  float u = 0.0f;
  float v = 0.0f;
};
struct ColourVertex {  // ground, markers, preview: no weight and no normal
  Vec3 position;
  uint32_t colour = 0;
  float u = 0.0f;
  float v = 0.0f;
};
static_assert(sizeof(BlendedColourVertex) == 40);
static_assert(sizeof(BlendedVertex) == 36);
static_assert(sizeof(ColourVertex) == 24);

class Device {
 public:
  // Largest back buffer side accepted.
  static constexpr int kMaxSide = 16384;

  // A device with a width x height back buffer, cleared to opaque black and the far depth.
  // Returns null when a side is not in 1 .. kMaxSide or the buffers cannot be allocated.
  static std::unique_ptr<Device> Create(int width, int height);

  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int width() const;
  int height() const;

  // Gives the back buffer a new size, cleared to opaque black and the far depth; the other
  // state is kept. Refused (false, nothing changes) for a size Create would refuse, or inside
  // a scene.
  bool Resize(int width, int height);

  // Read and changed in place; a draw call uses the values current at the call.
  RenderStates& render_states();
  const RenderStates& render_states() const;

  void SetTransform(TransformState which, const Matrix& matrix);
  const Matrix& GetTransform(TransformState which) const;  // identity until set

  void SetMaterial(const Material& material);  // all zero until set
  const Material& material() const;
  void SetLight(const DirectionalLight& light);
  void EnableLight(bool enabled);  // off until enabled

  // Binds the texture of stage 0; null unbinds. Without a texture the stage passes the diffuse
  // colour and alpha through unchanged.
  void SetTexture(std::shared_ptr<const Texture> texture);

  // Fills the whole back buffer with `argb` (its alpha is stored only with kClearAlpha; otherwise
  // the back buffer stays opaque) and/or the depth buffer with `depth` (clamped to 0 .. 1).
  // Primitives drawn before it in the scene are finished first.
  void Clear(uint32_t flags, uint32_t argb, float depth);

  // Drawing happens between BeginScene and EndScene. BeginScene fails inside a scene and
  // EndScene outside one. EndScene finishes every primitive of the scene.
  bool BeginScene();
  bool EndScene();

  // Draws from the caller's vertices; a list uses the whole triples, a fan needs three
  // vertices or more. False outside a scene or when memory runs out.
  bool DrawPrimitive(PrimitiveType type, std::span<const BlendedColourVertex> vertices);
  bool DrawPrimitive(PrimitiveType type, std::span<const BlendedVertex> vertices);
  bool DrawPrimitive(PrimitiveType type, std::span<const ColourVertex> vertices);

  // The back buffer (opaque RGBA8, rows top to bottom). Presenting a frame is handing this
  // image to whoever shows or captures it.
  const Image& back_buffer() const;
  // The depth buffer at pixel (x, y) as 0 .. 1, as the last finished scene left it; 1 (the far
  // plane) outside the buffer.
  float DepthAt(int x, int y) const;

  // Threads that draw large frames (1 .. 8; 2 by default when the machine has them).
  void set_thread_count(int count);
  int thread_count() const;

 private:
  struct Impl;
  explicit Device(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace vorna
