#include "render/device.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "render/raster.h"
#include "render/raster_geometry.h"

namespace vorna {

namespace {

// A scene that has recorded more vertices than this is drawn early, which bounds its memory.
constexpr size_t kMaxRecordedVertices = size_t{1} << 19;

// Below these sizes a frame is drawn on the calling thread alone.
constexpr int64_t kParallelMinPixels = 256 * 256;
constexpr size_t kParallelMinVertices = 64;

constexpr int kMaxThreads = 8;

inline float Saturate(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }

raster::VertexInput Input(const BlendedColourVertex& v) {
  return {v.position, v.blend, v.normal, v.colour, v.u, v.v};
}
raster::VertexInput Input(const BlendedVertex& v) {
  return {v.position, v.blend, v.normal, 0, v.u, v.v};
}
raster::VertexInput Input(const ColourVertex& v) {
  return {v.position, 1.0f, Vec3{}, v.colour, v.u, v.v};
}

// Runs work(0 .. count - 1), work(0) on the calling thread and the others on threads of their
// own; work a thread could not be started for runs here too, so all of it is always done.
template <typename Work>
void RunWorkers(int count, const Work& work) {
  std::vector<std::thread> threads;
  int started = 1;
  try {
    threads.reserve(static_cast<size_t>(count - 1));
    for (; started < count; ++started) threads.emplace_back(work, started);
  } catch (const std::system_error&) {
  } catch (const std::bad_alloc&) {
  }
  work(0);
  for (int i = started; i < count; ++i) work(i);
  for (std::thread& thread : threads) thread.join();
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

  // The scene recorded since it began or was last drawn.
  bool state_changed = true;  // transforms, material, light or texture since the last snapshot
  std::vector<raster::GeometryState> geometry_states;
  std::vector<raster::PixelState> pixel_states;
  std::vector<std::shared_ptr<const Texture>> scene_textures;  // what pixel_states point to
  std::vector<raster::VertexInput> vertices;
  std::vector<raster::DrawCall> calls;
  std::vector<raster::Queue> queues;  // one per worker, kept for their memory

  bool AllocateBuffers(int width, int height);
  void ClearColour(uint32_t argb, bool keep_alpha);
  void ClearDepth(float value);
  uint32_t CurrentGeometryState();
  template <typename V>
  bool Draw(PrimitiveType type, std::span<const V> input);
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
  ClearColour(0xFF000000u, false);
  ClearDepth(1.0f);
  return true;
}

void Device::Impl::ClearColour(uint32_t argb, bool keep_alpha) {
  const uint8_t rgba[4] = {static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8),
                           static_cast<uint8_t>(argb),
                           keep_alpha ? static_cast<uint8_t>(argb >> 24) : uint8_t{255}};
  for (size_t i = 0; i < colour.rgba.size(); i += 4) std::copy(rgba, rgba + 4, &colour.rgba[i]);
}

void Device::Impl::ClearDepth(float value) {
  const uint16_t z = static_cast<uint16_t>(Saturate(value) * 65535.0f + 0.5f);
  std::fill(depth.begin(), depth.end(), z);
}

// The snapshot of the state a draw call is drawn with; a new one only when something changed.
uint32_t Device::Impl::CurrentGeometryState() {
  if (!state_changed && !geometry_states.empty() && geometry_states.back().states == states) {
    return static_cast<uint32_t>(geometry_states.size() - 1);
  }
  raster::PixelState p;
  p.texture = texture.get();
  p.mag_filter = states.mag_filter;
  p.min_filter = states.min_filter;
  p.mip_filter = states.mip_filter;
  p.alpha_operation = states.alpha_operation;
  p.depth_test = states.depth_enable;
  p.depth_write = states.depth_write_enable;
  p.blend = states.alpha_blend_enable;
  p.source_blend = states.source_blend;
  p.destination_blend = states.destination_blend;
  p.specular = states.specular_enable;
  if (pixel_states.empty() || !(pixel_states.back() == p)) {
    if (texture != nullptr && (scene_textures.empty() || scene_textures.back() != texture)) {
      scene_textures.push_back(texture);
    }
    pixel_states.push_back(p);
  }
  raster::GeometryState g;
  g.states = states;
  g.material = material;
  g.light = light;
  g.light_enabled = light_enabled;
  g.pixel_state = static_cast<uint32_t>(pixel_states.size() - 1);
  raster::DeriveGeometry(transforms, g);
  geometry_states.push_back(g);
  state_changed = false;
  return static_cast<uint32_t>(geometry_states.size() - 1);
}

template <typename V>
bool Device::Impl::Draw(PrimitiveType type, std::span<const V> input) {
  if (!in_scene) return false;
  const size_t first = vertices.size();
  try {
    raster::DrawCall call;
    call.type = type;
    call.has_weight = !std::is_same_v<V, ColourVertex>;
    call.has_normal = !std::is_same_v<V, ColourVertex>;
    call.has_colour = !std::is_same_v<V, BlendedVertex>;
    call.state = CurrentGeometryState();
    call.first_vertex = first;
    call.vertex_count = input.size();
    for (const V& v : input) vertices.push_back(Input(v));
    calls.push_back(call);
  } catch (const std::bad_alloc&) {
    vertices.resize(first);
    return false;
  }
  if (vertices.size() > kMaxRecordedVertices) Flush();
  return true;
}

// Draws the recorded scene: workers first turn contiguous runs of draw calls into primitives,
// each into its own queue, then each rasterises its own stripes of rows through all the queues
// in drawing order.
void Device::Impl::Flush() {
  if (calls.empty()) return;
  int workers = threads;
  if (static_cast<int64_t>(colour.width) * colour.height < kParallelMinPixels ||
      vertices.size() < kParallelMinVertices) {
    workers = 1;
  }
  try {
    if (queues.size() < static_cast<size_t>(workers)) queues.resize(workers);
  } catch (const std::bad_alloc&) {
    workers = static_cast<int>(std::max<size_t>(queues.size(), 1));
    if (queues.empty()) return;  // nothing can be drawn
  }
  for (raster::Queue& queue : queues) queue.Clear();

  std::array<size_t, kMaxThreads + 1> bounds;
  bounds.fill(calls.size());
  bounds[0] = 0;
  size_t done = 0, call = 0;
  for (int i = 1; i < workers; ++i) {
    const size_t share = vertices.size() * static_cast<size_t>(i) / static_cast<size_t>(workers);
    while (call < calls.size() && done < share) done += calls[call++].vertex_count;
    bounds[i] = call;
  }
  RunWorkers(workers, [&](int i) {
    raster::GeometryPass pass(colour.width, colour.height, geometry_states, pixel_states, vertices);
    pass.Run(std::span(calls).subspan(bounds[i], bounds[i + 1] - bounds[i]), queues[i]);
  });

  const raster::Target target{colour.rgba.data(), depth.data(), colour.width, colour.height};
  RunWorkers(workers, [&](int i) {
    for (int q = 0; q < workers; ++q) {
      raster::Rasterize(queues[q], pixel_states, target, raster::RowSet{i, workers});
    }
  });

  calls.clear();
  vertices.clear();
  geometry_states.clear();
  pixel_states.clear();
  scene_textures.clear();
  state_changed = true;
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
  impl_->state_changed = true;
}

const Matrix& Device::GetTransform(TransformState which) const {
  return impl_->transforms[static_cast<int>(which)];
}

void Device::SetMaterial(const Material& material) {
  impl_->material = material;
  impl_->state_changed = true;
}

const Material& Device::material() const { return impl_->material; }

void Device::SetLight(const DirectionalLight& light) {
  impl_->light = light;
  impl_->state_changed = true;
}

void Device::EnableLight(bool enabled) {
  impl_->light_enabled = enabled;
  impl_->state_changed = true;
}

void Device::SetTexture(std::shared_ptr<const Texture> texture) {
  impl_->texture = std::move(texture);
  impl_->state_changed = true;
}

void Device::Clear(uint32_t flags, uint32_t argb, float depth) {
  impl_->Flush();
  if (flags & kClearTarget) impl_->ClearColour(argb, (flags & kClearAlpha) != 0);
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
