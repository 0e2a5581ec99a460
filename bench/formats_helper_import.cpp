// Reading other tools' files through the import helper, against Assimp's own ReadFile of the same
// file (no post-processing), in our process and in a process of its own: a cube, where the
// difference is what starting the child process costs, and a grid of about a million triangles as
// OBJ, where the difference is our post-processing, the stream and building the model. Targets: at
// most 30 ms more for the cube, at most 1.5 times the time for the grid.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "assimp_import.h"
#include "formats/helper_import.h"
#include "io/child_process.h"

namespace vorna {
namespace {

std::string Folder() {
  static const std::string folder = [] {
    std::string f = std::filesystem::temp_directory_path() / "vorna_bench_helper_import";
    std::filesystem::create_directories(f);
    return f + "/";
  }();
  return folder;
}

// A square grid of `side` x `side` vertices, two triangles a cell, gently rippled.
std::string GridObj(int side) {
  const std::string path = Folder() + "grid" + std::to_string(side) + ".obj";
  if (std::filesystem::exists(path)) return path;
  std::ofstream out(path);
  for (int j = 0; j < side; ++j) {
    for (int i = 0; i < side; ++i) {
      out << "v " << i * 0.01 << ' ' << ((i * 7 + j * 13) % 17) * 0.001 << ' ' << j * 0.01 << '\n';
    }
  }
  for (int j = 0; j + 1 < side; ++j) {
    for (int i = 0; i + 1 < side; ++i) {
      const int a = j * side + i + 1, b = a + 1, c = a + side, d = c + 1;
      out << "f " << a << ' ' << c << ' ' << b << "\nf " << b << ' ' << c << ' ' << d << '\n';
    }
  }
  return path;
}

double HelperSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// 708 x 708 vertices: 999,698 triangles.
int Side(const benchmark::State& state) { return state.range(0) != 0 ? 708 : 2; }

void BM_HelperImport(benchmark::State& state) {
  const std::string path = GridObj(Side(state));
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ReadOptions options;
  options.load_textures = false;
  const double helper_before = HelperSeconds();
  for (auto _ : state) {
    ReadError error;
    if (!ImportWithHelper(*model, path, host, options, VORNA_IMPORT_HELPER_PATH,
                          ImportHelperLimits(), &error)) {
      state.SkipWithError(error.Describe().c_str());
    }
    benchmark::DoNotOptimize(model->total_face_count);
  }
  state.counters["triangles"] = model->total_face_count;
  // The helper's processor time, which the CPU column (this process's) leaves out.
  state.counters["helper_cpu_ms"] = benchmark::Counter((HelperSeconds() - helper_before) * 1e3 /
                                                       static_cast<double>(state.iterations()));
}
BENCHMARK(BM_HelperImport)
    ->ArgName("large")
    ->Arg(0)
    ->Arg(1)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// Assimp's read over and over in this process, which keeps the memory of the last one.
void BM_AssimpReadFile(benchmark::State& state) {
  bench::AssimpImportLoop(state, GridObj(Side(state)));
}
BENCHMARK(BM_AssimpReadFile)->ArgName("large")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Assimp's read in a new process each time, as a program reading the file once runs it: the
// like-for-like yardstick of the helper, which starts and takes its memory afresh as well.
void BM_AssimpReadFileInItsOwnProcess(benchmark::State& state) {
  const std::string path = GridObj(Side(state));
  const double child_before = HelperSeconds();
  for (auto _ : state) {
    const ChildResult run = RunChild(VORNA_ASSIMP_READ_FILE_PATH, {path}, {});
    if (run.outcome != ChildOutcome::kExited || run.exit_status != 0) {
      state.SkipWithError("Assimp failed or is missing");
    }
  }
  state.counters["child_cpu_ms"] = benchmark::Counter((HelperSeconds() - child_before) * 1e3 /
                                                      static_cast<double>(state.iterations()));
}
BENCHMARK(BM_AssimpReadFileInItsOwnProcess)
    ->ArgName("large")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
