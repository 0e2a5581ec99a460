// Feeds arbitrary bytes to the scene stream reader, as a broken or hostile import helper could
// send them. What the reader accepts is written back byte for byte (the format has one encoding
// per scene) and, through the skeletal import, makes a Model that holds together or none.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "animation/skeleton_import.h"
#include "formats/scene_stream.h"
#include "model_reader_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  vorna::StreamedScene scene;
  if (!vorna::ReadSceneStream(std::span<const uint8_t>(data, size), &scene)) {
    if (!scene.scene.nodes.empty() || !scene.scene.meshes.empty() || !scene.images.empty()) {
      __builtin_trap();
    }
    return 0;
  }
  const std::string again = vorna::WriteSceneStream(scene);
  if (again.size() != size || std::memcmp(again.data(), data, size) != 0) __builtin_trap();
  vorna::ScriptedHost host;
  const bool accepted = vorna::BuildModelFromScene(scene.scene, {}, *model, host) &&
                        vorna::CheckModel(*model, nullptr);
  if (!accepted) vorna::Reset(*model);
  vorna::fuzz::CheckReaderResult(accepted, *model);
  return 0;
}
