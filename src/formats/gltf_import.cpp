#include "formats/gltf_import.h"

#include <string>
#include <vector>

#include "animation/skeleton_import.h"
#include "animation/skeleton_scene.h"
#include "formats/format_common.h"
#include "formats/gltf_document.h"
#include "formats/gltf_scene.h"
#include "io/path_parts.h"
#include "model/file_paths.h"

namespace vorna {

bool ParseGltf(Model& model, std::span<const uint8_t> bytes, const std::string& directory,
               const std::string& stem, Host& host, const ReadOptions& options, ReadError* error) {
  // The document is read in one call that cannot be asked: it counts for the first half, the
  // model built from it for the second.
  ProgressMeter meter(options.progress, 2 * bytes.size());
  return ParseIntoModel(model, error, [&] {
    if (!KeepReading(meter, 0, error)) return false;
    gltf::Document doc;
    if (!gltf::ReadGltfDocument(bytes, directory, &doc, error) ||
        !KeepReading(meter, bytes.size(), error)) {
      return false;
    }
    SceneDescription scene;
    int skipped_primitives = 0;
    std::string why;
    if (!DescribeGltfScene(doc, directory, stem, options, &scene, &skipped_primitives, &why)) {
      return Fail(error, ReadErrorKind::kBadData, why);
    }
    SkeletonImportOptions skeleton;
    skeleton.skeleton = options.skeleton.value_or(false);
    skeleton.interval = options.import_interval;
    if (!BuildModelFromScene(scene, skeleton, model, host, options.skeleton_report, error) ||
        !(meter.Finish() || Fail(error, ReadErrorKind::kCancelled, "cancelled"))) {
      return false;
    }
    if (skipped_primitives > 0) {
      host.Message(
          "点と線のプリミティブ" + std::to_string(skipped_primitives) + "個は読み込みませんでした",
          MessageIcon::kWarning);
    }
    return true;
  });
}

bool ImportGltf(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                ReadError* error) {
  return ReadIntoModel(model, path, error, [&](const FileBytes& file) {
    const PathParts parts = SplitPath(path);
    return ParseGltf(model, file.bytes(), std::string(parts.folder), std::string(parts.stem), host,
                     options, error);
  });
}

}  // namespace vorna
