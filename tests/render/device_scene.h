// Small scenes for the device tests: a projection that maps positions straight to pixels,
// readers for the back buffer and the reference images drawings are compared with.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "images/decode.h"
#include "images/encode.h"
#include "render/device.h"

namespace vorna::test {

// x and y in pixels (y down), z passed through as the depth: position (i, j, z) lands exactly
// on pixel centre (i, j) for power-of-two sizes.
inline Matrix PixelSpace(int width, int height) {
  Matrix m = Identity();
  m.m[0][0] = 2.0f / static_cast<float>(width);
  m.m[1][1] = -2.0f / static_cast<float>(height);
  m.m[3][0] = -1.0f;
  m.m[3][1] = 1.0f;
  return m;
}

// A single-threaded device drawing in pixel space, unlit, inside a scene.
inline std::unique_ptr<Device> PixelDevice(int width, int height) {
  auto device = Device::Create(width, height);
  device->set_thread_count(1);
  device->SetTransform(TransformState::kProjection, PixelSpace(width, height));
  device->render_states().lighting = false;
  device->BeginScene();
  return device;
}

inline bool DrawColour(Device& device, PrimitiveType type,
                       std::initializer_list<ColourVertex> vertices) {
  return device.DrawPrimitive(type,
                              std::span<const ColourVertex>(vertices.begin(), vertices.size()));
}

// An axis-aligned rectangle from (x0, y0) to (x1, y1) as a fan wound clockwise on screen.
inline std::array<ColourVertex, 4> Rectangle(float x0, float y0, float x1, float y1, float z,
                                             uint32_t colour) {
  return {
      ColourVertex{{x0, y0, z}, colour, 0.0f, 0.0f}, ColourVertex{{x1, y0, z}, colour, 1.0f, 0.0f},
      ColourVertex{{x1, y1, z}, colour, 1.0f, 1.0f}, ColourVertex{{x0, y1, z}, colour, 0.0f, 1.0f}};
}

using Rgb = std::array<int, 3>;
using Rgba = std::array<uint8_t, 4>;

// A width x height image whose pixel (x, y) is rgba(x, y).
template <typename F>
Image MakeImage(int width, int height, F rgba) {
  Image image;
  image.width = width;
  image.height = height;
  image.rgba.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const Rgba p = rgba(x, y);
      for (int c = 0; c < 4; ++c) image.Pixel(x, y)[c] = p[c];
    }
  }
  return image;
}

// Pixels whose colour is not black.
inline int CountLit(const Device& device) {
  const std::vector<uint8_t>& rgba = device.back_buffer().rgba;
  int count = 0;
  for (size_t i = 0; i < rgba.size(); i += 4) count += (rgba[i] | rgba[i + 1] | rgba[i + 2]) != 0;
  return count;
}

// "" when every pixel of `image` has the colour of tests/data/render/`name`.png. After a
// deliberate change to the drawing, regenerate the references with
// VORNA_UPDATE_RENDER_REFERENCES=1 and look at every image that changed.
inline std::string ReferenceDifference(const Image& image, const std::string& name) {
  const std::string path = std::string(VORNA_TEST_DATA_DIR) + "/render/" + name + ".png";
  if (std::getenv("VORNA_UPDATE_RENDER_REFERENCES") != nullptr) {
    return SaveImageFile(image, ImageFormat::kPng, path) ? "" : "cannot write " + path;
  }
  Image reference;
  if (!DecodeImageFile(path, &reference)) return path + " is missing";
  if (reference.width != image.width || reference.height != image.height) return "size differs";
  int differing = 0;
  std::string first;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      if (std::memcmp(image.Pixel(x, y), reference.Pixel(x, y), 3) == 0) continue;
      if (++differing == 1) first = " from (" + std::to_string(x) + ", " + std::to_string(y) + ")";
    }
  }
  return differing > 0 ? std::to_string(differing) + " pixels differ" + first : "";
}

}  // namespace vorna::test
