// Getting a model file into the Model and back out, without dialogs: the reader chosen by
// extension, the steps after every load, and the writers chosen by format.
#pragma once

#include <string>
#include <vector>

#include "formats/save_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The file formats we write.
enum class ModelFormat { kVrnText, kVrnBinary, kVr2Text, kVr2Binary, kDxf, kX };

struct LoadResult {
  bool ok = false;
  std::string error;  // why the reader refused the file, for the command line and tests
  // Texture files that the model names but that are missing, each once, in Part order.
  std::vector<std::string> missing_textures;
};

// Loads `path` into `model` (the reader resets it): the extension after the last '.' picks the
// reader, ignoring case ("vrn": text, then binary; "vr2" likewise). After a successful read:
// modified cleared, draw_order the identity, model_dir and model_file_name from the path, the
// forest built, all_triangles checked, at least one Motion in use, and the missing textures
// reported through `host`. A path that does not exist or has no known extension fails at once
// and leaves the Model untouched.
LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options = {});

// Writes `model` to `path` in `format`; messages through `host`.
bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host);

// The lower-case extension after the last '.' of the file name, or "".
std::string ExtensionOf(const std::string& path);

}  // namespace vorna
