// One frame of a generated 100,000-triangle mesh at 1280 x 720, drawn as the editor draws parts:
// one fan call per quad face, lit by one directional light, solid, textured or semi-transparent,
// on one or two rasterising threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "checkerboard.h"
#include "render/device.h"

namespace vorna {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
// A torus of 250 x 200 quads: 100,000 triangles.
constexpr int kRings = 250;
constexpr int kSides = 200;

struct Mesh {
  std::vector<BlendedColourVertex> quads;  // four corners per face, clockwise seen from outside
};

const Mesh& Torus() {
  static const Mesh mesh = [] {
    Mesh m;
    const auto corner = [](int ring, int side) {
      const double a = 2.0 * 3.14159265358979 * ring / kRings;
      const double b = 2.0 * 3.14159265358979 * side / kSides;
      const double r = 0.55 + 0.3 * std::cos(b);
      BlendedColourVertex v;
      v.position = {static_cast<float>(r * std::cos(a)), static_cast<float>(0.3 * std::sin(b)),
                    static_cast<float>(r * std::sin(a))};
      v.normal = {static_cast<float>(std::cos(b) * std::cos(a)), static_cast<float>(std::sin(b)),
                  static_cast<float>(std::cos(b) * std::sin(a))};
      v.blend = 1.0f;
      v.u = static_cast<float>(ring) / kRings * 8.0f;
      v.v = static_cast<float>(side) / kSides * 2.0f;
      return v;
    };
    for (int i = 0; i < kRings; ++i) {
      for (int j = 0; j < kSides; ++j) {
        m.quads.push_back(corner(i, j));
        m.quads.push_back(corner(i, j + 1));
        m.quads.push_back(corner(i + 1, j + 1));
        m.quads.push_back(corner(i + 1, j));
      }
    }
    return m;
  }();
  return mesh;
}

using bench::Checkerboard;

enum Look { kSolid, kTextured, kSemiTransparent };

// Camera, light and state as the editor's frame sets them, looking at the torus from above
// and in front.
void SetUp(Device& device, Look look, const std::shared_ptr<const Texture>& texture) {
  Matrix projection;
  projection.m[0][0] = 1.0f;
  projection.m[1][1] = 2.0f / (static_cast<float>(kWidth) / kHeight);
  projection.m[2][2] = 0.1001001f;
  projection.m[3][2] = -0.001001001f;
  projection.m[3][3] = 1.0f;
  device.SetTransform(TransformState::kProjection, projection);
  const Matrix view = Multiply(RotationX(0.6f), Translation(0.0f, 0.0f, 2.7f));
  device.SetTransform(TransformState::kView, view);
  RenderStates& s = device.render_states();
  s.local_viewer = false;
  s.vertex_blend = VertexBlend::kOneWeight;
  s.alpha_operation = AlphaOperation::kAddSigned;
  s.mag_filter = s.min_filter = s.mip_filter = TextureFilter::kLinear;
  s.alpha_blend_enable = true;
  s.source_blend = BlendFactor::kSourceAlpha;
  s.destination_blend = BlendFactor::kInverseSourceAlpha;
  s.specular_enable = true;
  s.ambient = 0x00606060;
  Material material;
  material.diffuse = {0.7f, 0.7f, 0.7f, 1.0f};
  material.ambient = {0.7f, 0.7f, 0.7f, 1.0f};
  material.specular = {0.3f, 0.3f, 0.3f, 0.0f};
  material.power = 8.0f;
  device.SetMaterial(material);
  device.SetLight({{0.8f, 0.8f, 0.8f, 0.0f}, {1, 1, 1, 0}, {}, {0.866025f, -0.5f, 0.0f}});
  device.EnableLight(true);
  device.SetTexture(look == kTextured ? texture : nullptr);
}

void BM_DeviceFrame(benchmark::State& state) {
  const Look look = static_cast<Look>(state.range(0));
  const int threads = static_cast<int>(state.range(1));
  const Mesh& mesh = Torus();
  const auto texture = Checkerboard();
  auto device = Device::Create(kWidth, kHeight);
  device->set_thread_count(threads);
  SetUp(*device, look, texture);
  const uint32_t colour = look == kSemiTransparent ? 0x80FFFFFF : 0xFFFFFFFF;
  std::vector<BlendedColourVertex> coloured = mesh.quads;
  for (auto& v : coloured) v.colour = colour;
  std::vector<BlendedVertex> plain;
  for (const auto& v : mesh.quads) plain.push_back({v.position, v.blend, v.normal, v.u, v.v});

  for (auto _ : state) {
    device->Clear(kClearTarget | kClearDepth, 0xFF000000, 1.0f);
    device->BeginScene();
    for (size_t i = 0; i < mesh.quads.size(); i += 4) {
      if (look == kTextured) {
        device->DrawPrimitive(PrimitiveType::kTriangleFan,
                              std::span<const BlendedVertex>(plain.data() + i, 4));
      } else {
        device->DrawPrimitive(PrimitiveType::kTriangleFan,
                              std::span<const BlendedColourVertex>(coloured.data() + i, 4));
      }
    }
    device->EndScene();
    benchmark::DoNotOptimize(device->back_buffer().rgba.data());
  }
  state.SetItemsProcessed(state.iterations() * kRings * kSides * 2);
  state.SetLabel(look == kSolid ? "solid" : look == kTextured ? "textured" : "semi-transparent");
}
BENCHMARK(BM_DeviceFrame)
    ->ArgNames({"look", "threads"})
    ->ArgsProduct({{kSolid, kTextured, kSemiTransparent}, {1, 2}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace vorna
