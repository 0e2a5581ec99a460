// VRN binary and VR2 binary load and save of the large generated model, next to the VRN text
// reader on the same model: the binary readers should be several times faster than text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "formats/tagged_text.h"
#include "formats/vr2_binary.h"
#include "formats/vrn_binary.h"
#include "large_model.h"
#include "model/host.h"

namespace vorna {
namespace {

const std::string& FileBytes(BinaryVariant variant) {
  static const std::string vrn = [] {
    auto model = bench::LargeModel();
    return FormatKeyedBinary(*model, SaveOptions{}, BinaryVariant::kVrn);
  }();
  static const std::string vr2 = [] {
    auto model = bench::LargeModel();
    return FormatKeyedBinary(*model, SaveOptions{}, BinaryVariant::kVr2);
  }();
  return variant == BinaryVariant::kVrn ? vrn : vr2;
}

void BinaryRead(benchmark::State& state, BinaryVariant variant) {
  const std::string& bytes = FileBytes(variant);
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    const bool ok = ParseKeyedBinary(*model, bytes, "", variant, ReadOptions{false}, host, nullptr);
    if (!ok) state.SkipWithError("the file did not read back");
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BinaryWrite(benchmark::State& state, BinaryVariant variant) {
  auto model = bench::LargeModel();
  size_t size = 0;
  for (auto _ : state) {
    const std::string bytes = FormatKeyedBinary(*model, SaveOptions{}, variant);
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_VrnBinaryRead(benchmark::State& state) { BinaryRead(state, BinaryVariant::kVrn); }
void BM_Vr2BinaryRead(benchmark::State& state) { BinaryRead(state, BinaryVariant::kVr2); }
void BM_VrnBinaryWrite(benchmark::State& state) { BinaryWrite(state, BinaryVariant::kVrn); }
void BM_Vr2BinaryWrite(benchmark::State& state) { BinaryWrite(state, BinaryVariant::kVr2); }
BENCHMARK(BM_VrnBinaryRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vr2BinaryRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VrnBinaryWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Vr2BinaryWrite)->Unit(benchmark::kMillisecond);

// The reference: the VRN text reader on the same model.
void BM_VrnTextReadSameModel(benchmark::State& state) {
  static const std::string bytes = [] {
    auto model = bench::LargeModel();
    return FormatTaggedText(*model, SaveOptions{}, TextVariant::kVrn);
  }();
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  for (auto _ : state) {
    const bool ok =
        ParseTaggedText(*model, bytes, "", TextVariant::kVrn, ReadOptions{false}, host, nullptr);
    if (!ok) state.SkipWithError("the file did not read back");
    benchmark::DoNotOptimize(ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_VrnTextReadSameModel)->Unit(benchmark::kMillisecond);

// Through the file system: the atomic save (with its sync) and the read of the whole file.
void BM_VrnBinaryFileRoundTrip(benchmark::State& state) {
  auto model = bench::LargeModel();
  auto copy = std::make_unique<Model>();
  ScriptedHost host;
  const std::string path = "/tmp/vorna-bench-binary.vrn";
  for (auto _ : state) {
    const bool ok = WriteVrnBinary(*model, path, SaveOptions{}, host) &&
                    ReadVrnBinary(*copy, path, host, ReadOptions{false});
    if (!ok) state.SkipWithError("the file did not round-trip");
  }
  std::remove(path.c_str());
}
BENCHMARK(BM_VrnBinaryFileRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
