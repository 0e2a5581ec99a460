// Reading speed of the .x codec on a generated mesh of 500,000 triangles (a 500 x 500 grid of
// quads, each split in two) with normals, texture coordinates and a two-material list, as an
// exporter writes it: text, binary and compressed binary. Bytes/s are of the file as stored.
// Writing is measured too. Set VORNA_XFILE_BENCH_OUT to a folder to keep the three files.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"

namespace vorna::xfile {
namespace {

constexpr int kQuadsPerSide = 500;

Document GridDocument() {
  constexpr int n = kQuadsPerSide + 1;
  std::vector<double> vertices, normals, uvs;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      double u = static_cast<double>(x) / kQuadsPerSide, v = static_cast<double>(y) / kQuadsPerSide;
      vertices.insert(vertices.end(),
                      {u * 10 - 5, 0.25 * ((x * 7 + y * 3) % 11) - 1.3, v * 10 - 5});
      normals.insert(normals.end(), {0.0129, 0.999917, -0.0011});
      uvs.insert(uvs.end(), {u, 1 - v});
    }
  }
  std::vector<double> faces, materials;
  for (int y = 0; y < kQuadsPerSide; ++y) {
    for (int x = 0; x < kQuadsPerSide; ++x) {
      double a = y * n + x, b = a + 1, c = a + n + 1, d = a + n;
      faces.insert(faces.end(), {3, a, b, c, 3, a, c, d});
      materials.insert(materials.end(), 2, x < kQuadsPerSide / 2 ? 0 : 1);
    }
  }
  const double vertex_count = n * n, face_count = faces.size() / 4;
  Document document;
  DataObject* frame = document.AddObject("Frame", "Ground");
  DataObject* matrix = document.AddObject("FrameTransformMatrix", "", frame);
  for (int i = 0; i < 16; ++i) matrix->AddNumber(i % 5 == 0 ? 1 : 0);
  DataObject* mesh = document.AddObject("Mesh", "Grid", frame);
  mesh->AddNumber(vertex_count);
  mesh->AddNumbers(vertices);
  mesh->AddNumber(face_count);
  mesh->AddNumbers(faces);
  DataObject* mesh_normals = document.AddObject("MeshNormals", "", mesh);
  mesh_normals->AddNumber(vertex_count);
  mesh_normals->AddNumbers(normals);
  mesh_normals->AddNumber(face_count);
  mesh_normals->AddNumbers(faces);
  DataObject* coords = document.AddObject("MeshTextureCoords", "", mesh);
  coords->AddNumber(vertex_count);
  coords->AddNumbers(uvs);
  DataObject* list = document.AddObject("MeshMaterialList", "", mesh);
  list->AddNumber(2);
  list->AddNumber(face_count);
  list->AddNumbers(materials);
  for (int m = 0; m < 2; ++m) {
    DataObject* material = document.AddObject("Material", "", list);
    for (double v : {0.8, 0.8 - m * 0.3, 0.8, 1.0, 10.0, 0.1, 0.1, 0.1, 0.0, 0.0, 0.0}) {
      material->AddNumber(v);
    }
    document.AddObject("TextureFilename", "", material)->AddString(m == 0 ? "a.png" : "b.png");
  }
  return document;
}

const std::string& File(Encoding encoding) {
  static const std::vector<std::string> files = [] {
    Document document = GridDocument();
    std::vector<std::string> out;
    const char* names[] = {"grid_text.x", "grid_binary.x", "grid_tzip.x", "grid_bzip.x"};
    for (int e = 0; e < 4; ++e) {
      WriteOptions options;
      options.encoding = static_cast<Encoding>(e);
      out.push_back(Write(document, options).bytes);
      if (const char* folder = std::getenv("VORNA_XFILE_BENCH_OUT")) {
        std::ofstream(std::string(folder) + "/" + names[e], std::ios::binary) << out.back();
      }
    }
    return out;
  }();
  return files[static_cast<std::size_t>(encoding)];
}

void BM_Read(benchmark::State& state, Encoding encoding) {
  const std::string& file = File(encoding);
  for (auto _ : state) {
    ReadResult result = Read(file);
    if (!result.ok()) state.SkipWithError(result.error.Describe().c_str());
    benchmark::DoNotOptimize(result.document.objects().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.size()));
  state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
}

void BM_Write(benchmark::State& state, Encoding encoding) {
  static const Document document = GridDocument();
  std::size_t size = 0;
  for (auto _ : state) {
    WriteOptions options;
    options.encoding = encoding;
    WriteResult result = Write(document, options);
    size = result.bytes.size();
    benchmark::DoNotOptimize(result.bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

BENCHMARK_CAPTURE(BM_Read, text, Encoding::kText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, binary, Encoding::kBinary)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, compressed_binary, Encoding::kCompressedBinary)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, text, Encoding::kText)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, binary, Encoding::kBinary)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, compressed_binary, Encoding::kCompressedBinary)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna::xfile
