// What vorna-cli prints about a loaded Model.
#pragma once

#include <string>

#include "model/model.h"

namespace vorna {

// A readable multi-line summary: counts, box, the node tree, Parts and Anims.
std::string SummaryText(const Model& model, const std::string& path);
// One JSON object (names converted to UTF-8).
std::string SummaryJson(const Model& model);
// The format the model was read from ("VRN text", "X file", ...), "none" when not read.
const char* FormatNameOf(const Model& model);

}  // namespace vorna
