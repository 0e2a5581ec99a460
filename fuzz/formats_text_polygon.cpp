// Feeds arbitrary bytes to the text polygon reader; what it accepts must hold together.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "formats/dxf.h"
#include "formats/text_polygon.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (vorna::ParseTextPolygon(*model, bytes, host)) {
    if (!vorna::CheckModel(*model, nullptr)) __builtin_trap();
    if (model->parts_count >= vorna::kMaxParts || model->tex_u.size() != model->positions.size()) {
      __builtin_trap();
    }
    vorna::FormatDxf(*model);
  } else if (model->parts_count != 0 || !model->positions.empty()) {
    __builtin_trap();
  }
  return 0;
}
