// Feeds arbitrary bytes to the DXF reader; what it accepts must hold together and write back.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "formats/dxf.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (vorna::ParseDxf(*model, bytes, host)) {
    if (!vorna::CheckModel(*model, nullptr)) __builtin_trap();
    if (model->total_face_count > vorna::kDxfMaxFaces ||
        model->total_vertex_count >= vorna::kDxfMaxVertices ||
        model->parts_count >= vorna::kMaxParts) {
      __builtin_trap();
    }
    vorna::MakePartNamesUnique(*model);
    const std::string written = vorna::FormatDxf(*model);
    // What we write reads back into as many faces.
    vorna::Model& again = *model;
    const int faces = model->total_face_count;
    if (!vorna::ParseDxf(again, written, host) || again.total_face_count != faces) {
      __builtin_trap();
    }
  } else if (model->parts_count != 0 || !model->positions.empty()) {
    __builtin_trap();
  }
  return 0;
}
