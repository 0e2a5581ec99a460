// DXF import at the reader's limits, DXF export of a large model, and text polygon import of a
// large generated file.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "formats/dxf.h"
#include "formats/text_io.h"
#include "formats/text_polygon.h"
#include "large_model.h"

namespace vorna {
namespace {

// One layer of 30000 faces over 29929 distinct vertices: a 172 x 172 grid of quads (173 x 173
// vertices) and 416 more triangles over the same vertices, every corner written as CAD programs
// do (10/20/30, then 11/21/31, ...).
const std::string& DxfAtTheLimits() {
  static const std::string bytes = [] {
    constexpr int kCells = 172;
    std::string out = "0\r\nSECTION\r\n2\r\nENTITIES\r\n";
    auto corner = [&out](int c, int i, int j) {
      const float xyz[3] = {static_cast<float>(i) * 0.01f, static_cast<float>(j) * 0.01f,
                            static_cast<float>((i * 7 + j * 3) % 11) * 0.001f};
      for (int axis = 0; axis < 3; ++axis) {
        AppendInt(out, (axis + 1) * 10 + c);
        out += "\r\n";
        AppendFloat(out, xyz[axis]);
        out += "\r\n";
      }
    };
    int faces = 0;
    for (int i = 0; i < kCells; ++i) {
      for (int j = 0; j < kCells; ++j, ++faces) {
        out += "0\r\n3DFACE\r\n8\r\ngrid\r\n";
        corner(0, i, j);
        corner(1, i + 1, j);
        corner(2, i + 1, j + 1);
        corner(3, i, j + 1);
      }
    }
    for (int k = 0; faces < kDxfMaxFaces; ++k, ++faces) {
      const int d = k % kCells;
      out += "0\r\n3DFACE\r\n8\r\ngrid\r\n";
      corner(0, d, d);
      corner(1, d + 1, d);
      corner(2, d, d + 1);
      corner(3, d, d + 1);
    }
    return out + "0\r\nENDSEC\r\n0\r\nEOF\r\n";
  }();
  return bytes;
}

void BM_DxfImportAtLimits(benchmark::State& state) {
  const std::string& bytes = DxfAtTheLimits();
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    const bool ok = ParseDxf(*model, bytes, host);
    if (!ok || model->total_face_count != kDxfMaxFaces) state.SkipWithError("import failed");
  }
  state.counters["vertices"] = model->total_vertex_count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DxfImportAtLimits)->Unit(benchmark::kMillisecond);

void BM_DxfExport200kFaces(benchmark::State& state) {
  // 200000 faces in 10 Parts whose names repeat, so that the names are made unique first.
  auto model = bench::LargeModel(20000);
  for (int p = 0; p < model->parts_count; ++p) model->node_name[p] = "part" + std::to_string(p % 3);
  MakePartNamesUnique(*model);
  size_t size = 0;
  for (auto _ : state) {
    const std::string bytes = FormatDxf(*model);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_DxfExport200kFaces)->Unit(benchmark::kMillisecond);

// 200000 faces in 4 meshes: a grid of quads per mesh with texture coordinates on every corner,
// and every hundredth face a hexagon.
const std::string& LargeTextPolygonFile() {
  static const std::string bytes = [] {
    constexpr int kMeshes = 4;
    constexpr int kCells = 224;  // 224 x 224 faces per mesh, about 200000 in all
    std::string out;
    auto number = [&out](float v) { AppendFloat(out, v); };
    for (int m = 0; m < kMeshes; ++m) {
      out += "<polygon_mesh>\r\n  <string string=\"mesh" + std::to_string(m) + "\"/>\r\n";
      out += "  <rgb rgb=\"1.0 0.5 0.25\"/>\r\n";
      for (int i = 0; i <= kCells; ++i) {
        for (int j = 0; j <= kCells; ++j) {
          out += "  <vertex>\r\n    <position vec3=\"";
          number(static_cast<float>(i) * 0.01f);
          out += ' ';
          number(static_cast<float>(j) * 0.01f);
          out += ' ';
          number(static_cast<float>(m));
          out += "\"/>\r\n  </vertex>\r\n";
        }
      }
      auto corner = [&](int i, int j) {
        out += "    <vertex_number int=\"";
        AppendInt(out, i * (kCells + 1) + j);
        out += "\"/>\r\n    <uv vec3=\"";
        number(static_cast<float>(i) / kCells);
        out += ' ';
        number(static_cast<float>(j) / kCells);
        out += " 0\"/>\r\n";
      };
      for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
          out += "  <face>\r\n";
          corner(i, j);
          corner(i + 1, j);
          if ((i * kCells + j) % 100 == 0 && j + 2 <= kCells) {
            corner(i + 1, j + 1);
            corner(i + 1, j + 2);
            corner(i, j + 2);
          } else {
            corner(i + 1, j + 1);
          }
          corner(i, j + 1);
          out += "  </face>\r\n";
        }
      }
      out += "</polygon_mesh>\r\n";
    }
    return out;
  }();
  return bytes;
}

void BM_TextPolygonImport200kFaces(benchmark::State& state) {
  const std::string& bytes = LargeTextPolygonFile();
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    if (!ParseTextPolygon(*model, bytes, host)) state.SkipWithError("import failed");
  }
  state.counters["faces"] = model->total_face_count;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_TextPolygonImport200kFaces)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
