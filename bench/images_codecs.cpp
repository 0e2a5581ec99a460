// Decoding textures, building mip chains and thumbnails, and encoding view captures.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "images/decode.h"
#include "images/encode.h"
#include "images/image.h"
#include "images/scale.h"
#include "io/little_endian.h"

namespace vorna {
namespace {

// Something like a rendered view: a flat background and a few lit, shaded balls.
Image Render(int width, int height) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(static_cast<size_t>(width) * height * 4);
  const struct {
    float x, y, r;
    float colour[3];
  } balls[] = {{0.3f, 0.5f, 0.28f, {0.9f, 0.6f, 0.4f}},
               {0.62f, 0.45f, 0.2f, {0.3f, 0.5f, 0.9f}},
               {0.8f, 0.7f, 0.15f, {0.5f, 0.8f, 0.3f}}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      uint8_t* p = image.Pixel(x, y);
      p[0] = 64, p[1] = 64, p[2] = 96, p[3] = 255;
      for (const auto& b : balls) {
        const float dx = (x / float(height) - b.x * width / height) / b.r;
        const float dy = (y / float(height) - b.y) / b.r;
        const float d2 = dx * dx + dy * dy;
        if (d2 >= 1) continue;
        const float nz = std::sqrt(1 - d2);
        const float light = std::max(0.0f, -0.4f * dx - 0.5f * dy + 0.77f * nz);
        for (int c = 0; c < 3; ++c) {
          p[c] =
              static_cast<uint8_t>(std::min(255.0f, 255 * (0.15f + 0.85f * light) * b.colour[c]));
        }
      }
    }
  }
  return image;
}

std::vector<uint8_t> Encoded(const Image& image, ImageFormat format) {
  std::vector<uint8_t> bytes;
  ImageFormatRowOf(format).encode(image, &bytes);
  return bytes;
}

// A 1024 x 1024 DXT5 file of varied blocks.
std::vector<uint8_t> Dxt5File() {
  std::vector<uint8_t> file = {'D', 'D', 'S', ' '};
  AppendU32(file, 124);
  AppendU32(file, 0x1007);
  AppendU32(file, 1024);
  AppendU32(file, 1024);
  file.resize(4 + 72, 0);  // the pixel format follows
  AppendU32(file, 32);
  AppendU32(file, 0x4);
  file.insert(file.end(), {'D', 'X', 'T', '5'});
  file.resize(4 + 124, 0);
  uint32_t state = 1;
  for (int i = 0; i < 256 * 256 * 16; ++i) {
    state = state * 1664525u + 1013904223u;
    file.push_back(static_cast<uint8_t>(state >> 24));
  }
  return file;
}

void DecodeBench(benchmark::State& state, const std::vector<uint8_t>& bytes) {
  Image image;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DecodeImage(bytes, &image));
  }
  state.SetItemsProcessed(state.iterations() * int64_t{image.width} * image.height);
}

void BM_DecodePng1024(benchmark::State& state) {
  DecodeBench(state, Encoded(Render(1024, 1024), ImageFormat::kPng));
}
void BM_DecodeJpeg1024(benchmark::State& state) {
  DecodeBench(state, Encoded(Render(1024, 1024), ImageFormat::kJpeg));
}
void BM_DecodeDxt5Dds1024(benchmark::State& state) { DecodeBench(state, Dxt5File()); }

void BM_BuildMipChain1024(benchmark::State& state) {
  const Image image = Render(1024, 1024);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Texture::FromImage(image));
  }
}

void BM_Thumbnail800x500(benchmark::State& state) {
  const Image capture = Render(800, 500);
  for (auto _ : state) {
    benchmark::DoNotOptimize(MakeThumbnail(capture));
  }
}

void BM_EncodeCapture800x500(benchmark::State& state) {
  const Image capture = Render(800, 500);
  std::vector<const ImageFormatRow*> written;
  for (const ImageFormatRow& row : ImageFormatRows()) {
    if (row.encode != nullptr) written.push_back(&row);
  }
  const ImageFormatRow& format = *written[static_cast<size_t>(state.range(0))];
  state.SetLabel(std::string(format.mime_type));
  std::vector<uint8_t> bytes;
  for (auto _ : state) {
    benchmark::DoNotOptimize(format.encode(capture, &bytes));
  }
  state.counters["bytes"] = static_cast<double>(bytes.size());
}

BENCHMARK(BM_DecodePng1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeDxt5Dds1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildMipChain1024)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Thumbnail800x500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeCapture800x500)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorna
