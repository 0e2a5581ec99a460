#include "formats/gltf_material.h"

#include <algorithm>
#include <cmath>

#include "formats/gltf_document.h"

namespace vorna {

double LinearOfDisplay(double display) {
  if (display <= 0.04045) return display / 12.92;
  return std::pow((display + 0.055) / 1.055, 2.4);
}

double DisplayOfLinear(double linear) {
  if (linear <= 0.0031308) return linear * 12.92;
  return 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
}

float RoughnessOfPower(float power) {
  if (!(power > 0.0f)) return 1.0f;
  return static_cast<float>(std::pow(2.0 / (static_cast<double>(power) + 2.0), 0.25));
}

namespace {

float Unit01(float value) { return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f; }

float Linear(float display) { return static_cast<float>(LinearOfDisplay(Unit01(display))); }

float Display(double linear) { return static_cast<float>(DisplayOfLinear(linear)); }

}  // namespace

GltfFactors FactorsOfMaterial(const Material& m) {
  return {{Linear(m.diffuse.r), Linear(m.diffuse.g), Linear(m.diffuse.b), Unit01(m.diffuse.a)},
          {Linear(m.emissive.r), Linear(m.emissive.g), Linear(m.emissive.b)},
          RoughnessOfPower(m.power)};
}

Material MaterialOfGltf(const gltf::Material& m) {
  Material out;
  const bool opaque = m.alpha_mode == "OPAQUE";
  out.diffuse = {Display(m.base_color[0]), Display(m.base_color[1]), Display(m.base_color[2]),
                 opaque ? 1.0f : static_cast<float>(m.base_color[3])};
  out.ambient = out.diffuse;
  out.emissive = {Display(m.emissive[0]), Display(m.emissive[1]), Display(m.emissive[2]), 0.0f};
  // The inverse of RoughnessOfPower, so that our power survives a round trip.
  const double roughness = std::clamp(m.roughness, 0.1, 1.0);
  out.power = static_cast<float>(2.0 / std::pow(roughness, 4.0) - 2.0);
  return out;
}

}  // namespace vorna
