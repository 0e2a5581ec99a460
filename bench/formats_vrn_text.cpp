// VRN text load and save of a large generated model, against baselines that only split lines
// and convert numbers (std::from_chars) or only format the same numbers (std::to_chars).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstring>
#include <memory>
#include <string>

#include "formats/tagged_text.h"
#include "large_model.h"

namespace vorna {
namespace {

using bench::kMotions;
using bench::kUnits;
using bench::LargeModel;

const std::string& FileBytes() {
  static const std::string bytes = [] {
    auto model = LargeModel();
    return FormatTaggedText(*model, SaveOptions{}, TextVariant::kVrn);
  }();
  return bytes;
}

void BM_VrnTextRead(benchmark::State& state) {
  const std::string& bytes = FileBytes();
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    const bool ok =
        ParseTaggedText(*model, bytes, "", TextVariant::kVrn, ReadOptions{false}, host, nullptr);
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_VrnTextRead)->Unit(benchmark::kMillisecond);

// Splits into lines and converts every space-separated token, as float when it has a '.'.
void BM_BaselineSplitFromChars(benchmark::State& state) {
  const std::string& bytes = FileBytes();
  for (auto _ : state) {
    double sum = 0;
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
      const char* line_end = static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (line_end == nullptr) line_end = end;
      const char* q = p;
      while (q < line_end) {
        while (q < line_end && (*q == ' ' || *q == '\r')) ++q;
        const char* token = q;
        bool real = false;
        while (q < line_end && *q != ' ' && *q != '\r') real |= *q++ == '.';
        if (token == q || *token == '<') break;
        if (real) {
          float f = 0;
          std::from_chars(token, q, f);
          sum += f;
        } else {
          int i = 0;
          std::from_chars(token, q, i);
          sum += i;
        }
      }
      p = line_end + 1;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_BaselineSplitFromChars)->Unit(benchmark::kMillisecond);

void BM_VrnTextWrite(benchmark::State& state) {
  auto model = LargeModel();
  size_t size = 0;
  for (auto _ : state) {
    const std::string bytes = FormatTaggedText(*model, SaveOptions{}, TextVariant::kVrn);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_VrnTextWrite)->Unit(benchmark::kMillisecond);

// Formats the same numbers (every vertex and face value, every Motion value) into one buffer.
void BM_BaselineToChars(benchmark::State& state) {
  auto model = LargeModel();
  size_t size = 0;
  for (auto _ : state) {
    std::string out;
    out.reserve(FileBytes().size());
    char buffer[64];
    auto put_float = [&](float f) {
      auto [ptr, ec] =
          std::to_chars(buffer, buffer + 64, static_cast<double>(f), std::chars_format::fixed, 6);
      out.append(buffer, ptr);
      out.push_back(' ');
    };
    auto put_int = [&](int64_t i) {
      auto [ptr, ec] = std::to_chars(buffer, buffer + 64, i);
      out.append(buffer, ptr);
      out.push_back(' ');
    };
    for (int v = 0; v < model->total_vertex_count; ++v) {
      for (int a = 0; a < 3; ++a) put_float(model->positions[v][a]);
      for (int a = 0; a < 3; ++a) put_float(model->normals[v][a]);
      put_float(model->tex_u[v]);
      put_float(model->tex_v[v]);
      put_float(model->blend[v]);
      out.append("\r\n");
    }
    for (const Face& face : model->faces) {
      for (uint32_t c : face.corner) put_int(static_cast<int32_t>(c));
      out.append("\r\n");
    }
    for (int m = 0; m < kMotions; ++m) {
      for (int u = 0; u < kUnits; ++u) {
        put_int(model->motions[m].angle[0][u]);
        for (int a = 0; a < 3; ++a) put_float(model->motions[m].translation[u][a]);
        for (int a = 0; a < 3; ++a) put_float(model->motions[m].scale[u][a]);
        out.append("\r\n");
      }
    }
    size = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_BaselineToChars)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
