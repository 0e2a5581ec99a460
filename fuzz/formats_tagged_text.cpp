// Feeds arbitrary bytes to the VRN and VR2 text readers; the first byte picks the variant.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/tagged_text.h"
#include "model/hierarchy.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  const auto variant = (data[0] & 1) ? vorna::TextVariant::kVr2 : vorna::TextVariant::kVrn;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (vorna::ParseTaggedText(*model, bytes, "", variant, vorna::ReadOptions{false}, host,
                             nullptr)) {
    if (!vorna::CheckModel(*model, nullptr)) __builtin_trap();
    // What was read must write back without touching anything outside the arrays.
    vorna::BuildHierarchy(*model);
    vorna::FormatTaggedText(*model, vorna::SaveOptions{}, variant);
  }
  return 0;
}
