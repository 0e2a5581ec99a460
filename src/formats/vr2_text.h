// VR2 text files (".vr2"): the VRN text layout with texture coordinates per face corner. The
// writer adjusts corners across the texture seam; the reader moves corner values of at most 1.0
// back to their vertices (later corners win), so a loaded model is a plain per-vertex one.
#pragma once

#include <string>

#include "formats/save_options.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "io/write_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

bool ReadVr2Text(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
                 ReadError* error = nullptr);
bool WriteVr2Text(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                  WriteError* error = nullptr);

}  // namespace vorna
