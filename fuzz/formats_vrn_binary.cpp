// Feeds arbitrary bytes to the VRN binary reader. Whatever it accepts must be consistent and must
// write back, in both binary variants, without touching anything outside the arrays.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/vrn_binary.h"
#include "model/hierarchy.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (vorna::ParseKeyedBinary(*model, bytes, "", vorna::BinaryVariant::kVrn,
                              vorna::ReadOptions{false}, host, nullptr)) {
    if (!vorna::CheckModel(*model, nullptr)) __builtin_trap();
    vorna::BuildHierarchy(*model);
    vorna::FormatKeyedBinary(*model, vorna::SaveOptions{}, vorna::BinaryVariant::kVrn);
    vorna::FormatKeyedBinary(*model, vorna::SaveOptions{}, vorna::BinaryVariant::kVr2);
  }
  return 0;
}
