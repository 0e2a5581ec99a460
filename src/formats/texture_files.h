// The files a save writes beside the model it names in them: the one place after a save that
// touches files other than the model's own. Today that is the embedded textures (images that came
// inside a glTF file), which a format storing texture names needs as files of their own.
#pragma once

#include <string>

#include "io/write_error.h"
#include "model/model.h"

namespace vorna {

// Writes the embedded texture of every Part that has one, each distinct name once, as PNG under
// its texture_file in `directory` (ending in '/'), each file atomically. False, with `error`
// (may be null) naming the file, when one cannot be written.
bool WriteTextureFiles(const Model& model, const std::string& directory, WriteError* error);

}  // namespace vorna
