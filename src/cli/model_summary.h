// What vorna-cli prints about a loaded Model.
#pragma once

#include <string>

#include "model/model.h"

namespace vorna {

// A readable multi-line summary: counts, box, the node tree, Parts and Anims.
std::string SummaryText(const Model& model, const std::string& path);
// One JSON object (names converted to UTF-8).
std::string SummaryJson(const Model& model);
// "VRN text", "X file", ... for a loaded_type.
const char* LoadedTypeName(int32_t loaded_type);

}  // namespace vorna
