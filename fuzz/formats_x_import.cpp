// Feeds arbitrary bytes to the .x importer; what it accepts must hold together.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/x_import.h"
#include "model_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  vorna::ReadOptions options;
  options.load_textures = false;
  const bool accepted =
      vorna::ParseX(*model, std::span<const uint8_t>(data, size), "", host, options);
  vorna::fuzz::CheckReaderResult(accepted, *model);
  return 0;
}
