// Feeds arbitrary bytes to the .x importer; what it accepts must hold together.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/format_common.h"
#include "formats/x_import.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  vorna::ReadOptions options;
  options.load_textures = false;
  if (vorna::ParseX(*model, std::span<const uint8_t>(data, size), "", host, options)) {
    if (!vorna::GeometryIsConsistent(*model, nullptr) || model->parts_count >= vorna::kMaxParts ||
        model->parts_count <= 0 || model->total_face_count <= 0) {
      __builtin_trap();
    }
  } else if (model->parts_count != 0 || !model->positions.empty()) {
    __builtin_trap();
  }
  return 0;
}
