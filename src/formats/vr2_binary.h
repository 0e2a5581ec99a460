// VR2 binary files (".vr2"): the VRN binary layout (vrn_binary.h) with the magic "VR2\0" and the
// "texture_map" record holding, per face, the u values of its four corners and then their v
// values. The writer adjusts corners across the texture seam (vr2_corners.h); the reader moves
// corner values of at most 1.0 back to their vertices (later corners win), so a loaded model is a
// plain per-vertex one. A triangle's fourth pair is written as 0, 0 and ignored on reading.
#pragma once

#include <string>

#include "formats/save_options.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "io/write_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

bool ReadVr2Binary(Model& model, const std::string& path, Host& host,
                   const ReadOptions& options = {}, ReadError* error = nullptr);
bool WriteVr2Binary(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                    WriteError* error = nullptr);

}  // namespace vorna
