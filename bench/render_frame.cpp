// Whole frames as the editor draws them: the sample model at 760 x 480; a generated model of
// 100,000 triangles at 1280 x 720 in the colour look, textured, and textured and
// semi-transparent, and orbited by the free camera; and the 256 thumbnails that opening a model
// with 256 Motions makes. Rates are per wall-clock second, since the device rasterises on two
// threads.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "animation/pose.h"
#include "checkerboard.h"
#include "dense_model.h"
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

using bench::DenseModel;

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

// Orbiting the free camera: every frame sees the model from a new angle, in the colour look.
void BM_DenseOrbit(benchmark::State& state) {
  auto model = DenseModel(false, 1.0f);
  ViewState view;
  view.free_camera = CurrentFreeCamera(*model, view);
  RenderContext context;
  if (!InitDevice(context, view, 1280, 720)) {
    state.SkipWithError("no device");
    return;
  }
  for (auto _ : state) {
    OrbitCamera(view.free_camera, 2.0f, 0.5f);
    RenderFrame(context, *model, view);
    benchmark::DoNotOptimize(context.device->back_buffer().rgba.data());
  }
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DenseOrbit)->Unit(benchmark::kMillisecond)->UseRealTime();

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
