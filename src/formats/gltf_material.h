// Our materials in glTF's terms and back: the one mapping the glTF export and every glTF reader
// use, so that a model keeps its look through a round trip.
//
// Colours: ours are display values, drawn as they are, which is what sRGB-encoded values are;
// glTF's colour factors are linear light. Colours therefore pass through the sRGB transfer
// function on the way out and its inverse on the way in (alpha is linear on both sides). A value
// from 0 to 1 with six decimals, as our text formats store it, reads back as the same six
// decimals after an export and an import.
//
// Specular power and roughness: roughness = (2 / (power + 2))^(1/4). The Blinn-Phong exponent
// `power` matches a GGX lobe of alpha = sqrt(2 / (power + 2)) and glTF's roughness is
// sqrt(alpha), so power 0 (no highlight) is fully rough and large powers approach a mirror.
#pragma once

#include <array>

#include "model/model.h"

namespace vorna {

namespace gltf {
struct Material;
}

// The sRGB transfer function's decoding (display value to linear light) and encoding.
double LinearOfDisplay(double display);
double DisplayOfLinear(double linear);

// Roughness for a specular power, as described above; 1 for a power of 0 or less.
float RoughnessOfPower(float power);

// What the export writes of a material: colours clamped to 0..1 (NaN as 0), then linear.
struct GltfFactors {
  std::array<float, 4> base_color;
  std::array<float, 3> emissive;
  float roughness;
};
GltfFactors FactorsOfMaterial(const Material& material);

// A glTF material as ours: diffuse and ambient from the base colour (alpha 1 when the material
// is opaque), emissive, and the power the roughness stands for. Specular stays black.
Material MaterialOfGltf(const gltf::Material& material);

}  // namespace vorna
