// Whole frames as the editor draws them: the sample model at 760 x 480; a generated model of
// 100,000 triangles at 1280 x 720 in the colour look, textured, and textured and
// semi-transparent; and the 256 thumbnails that opening a model with 256 Motions makes. Rates are
// per wall-clock second, since the device rasterises on two threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "animation/pose.h"
#include "checkerboard.h"
#include "formats/registry.h"
#include "model/bounds.h"
#include "model/hierarchy.h"
#include "model/host.h"
#include "render/camera.h"
#include "render/snapshot.h"

namespace vorna {
namespace {

std::string SamplePath() {
  std::string here = __FILE__;
  here.resize(here.rfind('/') + 1);
  return here + "../samples/walker.vrn";
}

std::unique_ptr<Model> LoadSample() {
  auto model = std::make_unique<Model>();
  Reset(*model);
  ScriptedHost host;
  if (!ReadModelFile(*model, SamplePath(), host, {}, nullptr)) return nullptr;
  BuildHierarchy(*model);
  return model;
}

int64_t TriangleCount(const Model& model) {
  int64_t triangles = 0;
  for (const Face& face : model.faces) triangles += face.IsTriangle() ? 1 : 2;
  return triangles;
}

using bench::Checkerboard;

// Eight spheres of 50 x 125 quads (100,000 triangles) in two rows, each a Part under its own
// Unit, turned a little by Motion 0, with blend weights 1, 0.5 and 0 by latitude.
std::unique_ptr<Model> DenseModel(bool textured, float alpha) {
  constexpr int kParts = 8;
  constexpr int kRings = 50;
  constexpr int kSegments = 125;
  constexpr float kRadius = 0.2f;
  constexpr int kVerticesPerPart = (kRings + 1) * (kSegments + 1);
  constexpr int kFacesPerPart = kRings * kSegments;
  auto model = std::make_unique<Model>();
  Reset(*model);
  AllocateParts(*model, kParts);
  AllocateVertices(*model, kParts * kVerticesPerPart);
  AllocateFaces(*model, kParts * kFacesPerPart);
  const std::shared_ptr<const Texture> texture = textured ? Checkerboard() : nullptr;
  for (int p = 0; p < kParts; ++p) {
    Part& part = model->parts[p];
    part.first_vertex = static_cast<uint32_t>(p * kVerticesPerPart);
    part.first_face = static_cast<uint32_t>(p * kFacesPerPart);
    part.material.diffuse = {0.9f, 0.8f, 0.7f, alpha};
    part.material.ambient = part.material.diffuse;
    part.material.specular = {0.5f, 0.5f, 0.5f, 0.0f};
    part.material.power = 8.0f;
    if (textured) {
      part.texture_file = "checker.png";
      part.texture = texture;
    }
    const Vec3 centre{-0.75f + 0.5f * static_cast<float>(p % 4), p < 4 ? 0.22f : -0.22f, 0.0f};
    for (int i = 0; i <= kRings; ++i) {
      const float theta = kPi * static_cast<float>(i) / kRings;
      for (int j = 0; j <= kSegments; ++j) {
        const float phi = 2.0f * kPi * static_cast<float>(j) / kSegments;
        const Vec3 n{std::sin(theta) * std::cos(phi), std::cos(theta),
                     std::sin(theta) * std::sin(phi)};
        const size_t k = part.first_vertex + static_cast<size_t>(i * (kSegments + 1) + j);
        model->positions[k] = centre + n * kRadius;
        model->normals[k] = n;
        model->tex_u[k] = static_cast<float>(j) / kSegments * 4.0f;
        model->tex_v[k] = static_cast<float>(i) / kRings * 2.0f;
        model->blend[k] = i < kRings / 3 ? 1.0f : (i < 2 * kRings / 3 ? 0.5f : 0.0f);
      }
    }
    for (int i = 0; i < kRings; ++i) {
      for (int j = 0; j < kSegments; ++j) {
        const uint32_t a = static_cast<uint32_t>(i * (kSegments + 1) + j);
        const uint32_t b = a + kSegments + 1;
        // Clockwise seen from outside: the drawn side.
        model->faces[part.first_face + static_cast<size_t>(i * kSegments + j)] =
            Face{{a, a + 1, b + 1, b}};
      }
    }
  }
  model->parts[kParts].first_vertex = kParts * kVerticesPerPart;
  model->parts[kParts].first_face = kParts * kFacesPerPart;
  model->node_count = 2 * kParts;
  model->motion_count = 1;
  model->motions[0].in_use = 1;
  for (int p = 0; p < kParts; ++p) {
    model->parent[p] = kParts + p;
    model->draw_order[p] = static_cast<uint32_t>(p);
    model->units[p].basis_type = 2;
    model->units[p].basis_position = model->parts[p].center;
    model->motions[0].angle[1][p] = 15 * p;
  }
  model->loaded_type = kLoadedVrnText;
  BuildHierarchy(*model);
  RecomputeBounds(*model);
  return model;
}

void RunFrames(benchmark::State& state, Model& model, const ViewState& view, int width,
               int height) {
  RenderContext context;
  if (!InitDevice(context, view, width, height)) {
    state.SkipWithError("no device");
    return;
  }
  for (auto _ : state) {
    RenderFrame(context, model, view);
    benchmark::DoNotOptimize(context.device->back_buffer().rgba.data());
  }
  const double triangles = static_cast<double>(TriangleCount(model));
  state.counters["triangles/s"] = benchmark::Counter(
      triangles * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_SampleFrame(benchmark::State& state) {
  auto model = LoadSample();
  if (model == nullptr) {
    state.SkipWithError("cannot load samples/walker.vrn");
    return;
  }
  ViewState view;
  view.ground_on = true;
  RunFrames(state, *model, view, 760, 480);
}
BENCHMARK(BM_SampleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// 0: colour look, solid; 1: textured; 2: textured and semi-transparent.
void BM_DenseFrame(benchmark::State& state) {
  const int variant = static_cast<int>(state.range(0));
  auto model = DenseModel(variant >= 1, variant == 2 ? 0.5f : 1.0f);
  ViewState view;
  view.texture_colour_on = variant >= 1;
  view.part_alpha = variant == 2 ? 128 : 255;
  RunFrames(state, *model, view, 1280, 720);
  state.SetLabel(variant == 0 ? "solid" : (variant == 1 ? "textured" : "semi-transparent"));
}
BENCHMARK(BM_DenseFrame)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening a model with 256 Motions makes one thumbnail per Motion.
void BM_Thumbnails256(benchmark::State& state) {
  auto model = LoadSample();
  if (model == nullptr) {
    state.SkipWithError("cannot load samples/walker.vrn");
    return;
  }
  const int loaded = model->motion_count;
  for (int m = loaded; m < kMaxMotions; ++m) model->motions[m] = model->motions[m % loaded];
  model->motion_count = kMaxMotions;
  ViewState view;
  RenderContext context;
  if (!InitDevice(context, view, 760, 480)) {
    state.SkipWithError("no device");
    return;
  }
  for (auto _ : state) {
    for (int m = 0; m < model->motion_count; ++m) {
      model->current_motion = m;
      const Image thumbnail = MakeMotionThumbnail(context, *model, view);
      benchmark::DoNotOptimize(thumbnail.rgba.data());
    }
  }
  state.counters["thumbnails/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kMaxMotions, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Thumbnails256)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vorna
