// Vertex normals of one large Part: a grid of quads split into triangles, at two sizes, to show
// that the cost grows linearly with the mesh.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "model/model.h"
#include "model/normals.h"

namespace vorna {
namespace {

// A wavy grid of `columns` x `rows` vertices as one Part of 2 (columns - 1)(rows - 1) triangles.
std::unique_ptr<Model> GridModel(int columns, int rows) {
  auto model = std::make_unique<Model>();
  Reset(*model);
  AllocateParts(*model, 1);
  AllocateVertices(*model, columns * rows);
  AllocateFaces(*model, 2 * (columns - 1) * (rows - 1));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      model->positions[r * columns + c] = {static_cast<float>(c), static_cast<float>(r),
                                           std::sin(0.1f * c) * std::cos(0.07f * r)};
    }
  }
  size_t f = 0;
  for (int r = 0; r + 1 < rows; ++r) {
    for (int c = 0; c + 1 < columns; ++c) {
      const uint32_t a = r * columns + c, b = a + 1, d = a + columns, e = d + 1;
      model->faces[f++] = Face{{a, b, e, kNoCorner}};
      model->faces[f++] = Face{{a, e, d, kNoCorner}};
    }
  }
  model->parts[1].first_vertex = static_cast<uint32_t>(model->total_vertex_count);
  model->parts[1].first_face = static_cast<uint32_t>(model->total_face_count);
  return model;
}

void BM_ComputeNormals(benchmark::State& state) {
  // 500 x 400 = 200,000 vertices and 398,202 triangles; the second size doubles both.
  const int rows = static_cast<int>(state.range(0));
  auto model = GridModel(500, rows);
  for (auto _ : state) {
    ComputeNormals(*model);
    benchmark::DoNotOptimize(model->normals.data());
  }
  state.counters["vertices"] = static_cast<double>(model->total_vertex_count);
  state.counters["triangles"] = static_cast<double>(model->total_face_count);
  state.SetItemsProcessed(state.iterations() * model->total_face_count);
}
BENCHMARK(BM_ComputeNormals)->Arg(400)->Arg(800)->Unit(benchmark::kMillisecond);

void BM_Triangulate(benchmark::State& state) {
  auto model = GridModel(500, 400);
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<Model>(*model);
    state.ResumeTiming();
    RebuildFaces(*copy, true);
    benchmark::DoNotOptimize(copy->faces.data());
  }
}
BENCHMARK(BM_Triangulate)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
