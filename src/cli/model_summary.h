// What vorna-cli prints about a loaded Model.
#pragma once

#include <string>

#include "animation/skeleton_import.h"
#include "model/model.h"

namespace vorna {

// A readable multi-line summary: counts, box, the node tree, Parts and Anims, and what the
// skeletal import cost when it made the model (`skeleton` may be null).
std::string SummaryText(const Model& model, const std::string& path,
                        const SkeletonReport* skeleton = nullptr);
// One JSON object (names converted to UTF-8); "skeleton" is null unless the import made it.
std::string SummaryJson(const Model& model, const SkeletonReport* skeleton = nullptr);
// The format the model was read from ("VRN text", "X file", ...), "none" when not read.
const char* FormatNameOf(const Model& model);

}  // namespace vorna
