// Feeds arbitrary bytes to the glTF importer (both .glb and JSON); what it accepts must hold
// together.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "formats/gltf_import.h"
#include "model_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::ScriptedHost host;
  vorna::ReadOptions options;
  // Embedded images go through our decoders, which have their own target; here they would only
  // slow the reader's own paths down.
  options.load_textures = false;
  // A directory that does not exist: external buffers never resolve.
  const bool accepted = vorna::ParseGltf(*model, std::span<const uint8_t>(data, size),
                                         "/nonexistent/", "fuzz", host, options);
  vorna::fuzz::CheckReaderResult(accepted, *model);
  return 0;
}
