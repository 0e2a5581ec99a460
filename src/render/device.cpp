#include "render/device.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
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

// Threads kept for the device's lifetime, so that drawing a frame starts none. Run hands out
// work(0 .. count - 1): work(0) on the calling thread, the others on pool threads; work a
// thread could not be started for runs on the calling thread, so all of it is always done.
class WorkerPool {
 public:
  WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  ~WorkerPool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  template <typename Work>
  void Run(int count, const Work& work) {
    if (count <= 1) {
      work(0);
      return;
    }
    Start(count - 1);
    const int helpers = std::min(count - 1, static_cast<int>(threads_.size()));
    const std::function<void(int)> job = [&work](int i) { work(i); };
    {
      std::lock_guard lock(mutex_);
      job_ = &job;
      helpers_ = helpers;
      pending_ = helpers;
      ++generation_;
    }
    wake_.notify_all();
    work(0);
    for (int i = helpers + 1; i < count; ++i) work(i);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    job_ = nullptr;
  }

 private:
  // Makes sure `count` threads run, as far as the system allows.
  void Start(int count) {
    try {
      threads_.reserve(static_cast<size_t>(count));
      while (static_cast<int>(threads_.size()) < count) {
        const int index = static_cast<int>(threads_.size()) + 1;
        threads_.emplace_back([this, index] { Serve(index); });
      }
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }

  void Serve(int index) {
    uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
      if (stopping_) return;
      seen = generation_;
      if (index > helpers_) continue;
      const std::function<void(int)>* job = job_;
      lock.unlock();
      (*job)(index);
      lock.lock();
      if (--pending_ == 0) done_.notify_one();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::vector<std::thread> threads_;
  const std::function<void(int)>* job_ = nullptr;
  int helpers_ = 0;  // pool threads 1 .. helpers_ take part in the current job
  int pending_ = 0;
  uint64_t generation_ = 0;
  bool stopping_ = false;
};

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
  // Per worker and kept from frame to frame, so that a steady scene allocates nothing.
  std::vector<raster::Queue> queues;
  std::vector<raster::GeometryPass> passes;
  std::vector<raster::DrawPiece> pieces;
  std::array<size_t, kMaxThreads + 1> piece_bounds{};
  WorkerPool pool;  // declared last: its threads stop before the buffers they use go

  bool AllocateBuffers(int width, int height);
  void ClearColour(uint32_t argb, bool keep_alpha);
  void ClearDepth(float value);
  uint32_t CurrentGeometryState();
  template <typename V>
  bool Draw(PrimitiveType type, std::span<const V> input);
  void Flush();
  void DealPieces(int workers);
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

// Draws the recorded scene: the primitives are dealt out to the workers in equal runs, which
// each turn into a queue of set-up primitives binned by stripes of rows; then each worker
// rasterises its own stripes through all the queues in drawing order.
void Device::Impl::Flush() {
  if (calls.empty()) return;
  int workers = threads;
  if (static_cast<int64_t>(colour.width) * colour.height < kParallelMinPixels ||
      vertices.size() < kParallelMinVertices) {
    workers = 1;
  }
  try {
    if (queues.size() < static_cast<size_t>(workers)) queues.resize(workers);
    if (passes.size() < static_cast<size_t>(workers)) passes.resize(workers);
    for (int i = 0; i < workers; ++i) queues[i].Clear(workers);
    DealPieces(workers);
  } catch (const std::bad_alloc&) {
    workers = 1;
    if (queues.empty() || passes.empty()) return;  // nothing can be drawn
    try {
      queues[0].Clear(1);
      DealPieces(1);
    } catch (const std::bad_alloc&) {
      return;
    }
  }

  pool.Run(workers, [&](int i) {
    raster::GeometryPass& pass = passes[i];
    pass.Bind(colour.width, colour.height, geometry_states, pixel_states, vertices, calls);
    pass.Run(std::span(pieces).subspan(piece_bounds[i], piece_bounds[i + 1] - piece_bounds[i]),
             queues[i]);
  });

  const raster::Target target{colour.rgba.data(), depth.data(), colour.width, colour.height};
  pool.Run(workers, [&](int i) {
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

// Cuts the recorded calls into pieces so that each worker gets about the same number of
// primitives: worker i takes pieces piece_bounds[i] .. piece_bounds[i + 1].
void Device::Impl::DealPieces(int workers) {
  pieces.clear();
  size_t total = 0;
  for (const raster::DrawCall& call : calls) total += raster::PrimitiveCount(call);
  size_t dealt = 0;
  int worker = 0;
  piece_bounds.fill(0);
  for (uint32_t c = 0; c < calls.size(); ++c) {
    const size_t count = raster::PrimitiveCount(calls[c]);
    size_t first = 0;
    while (first < count) {
      // Primitives up to `share` belong to the current worker.
      const size_t share = total * static_cast<size_t>(worker + 1) / static_cast<size_t>(workers);
      if (dealt >= share && worker + 1 < workers) {
        piece_bounds[++worker] = pieces.size();
        continue;
      }
      const size_t take =
          worker + 1 < workers ? std::min(count - first, share - dealt) : count - first;
      pieces.push_back({c, first, take});
      first += take;
      dealt += take;
    }
  }
  while (worker + 1 <= workers) piece_bounds[++worker] = pieces.size();
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

float Device::DepthAt(int x, int y) const {
  const Image& colour = impl_->colour;
  if (x < 0 || y < 0 || x >= colour.width || y >= colour.height) return 1.0f;
  return static_cast<float>(impl_->depth[static_cast<size_t>(y) * colour.width + x]) / 65535.0f;
}

void Device::set_thread_count(int count) { impl_->threads = std::clamp(count, 1, kMaxThreads); }
int Device::thread_count() const { return impl_->threads; }

}  // namespace vorna
