// VRN text files (".vrn"): the whole Model in tagged blocks, texture coordinates per vertex.
//
// Reading resets the Model and fills it; success needs Parts, vertices and faces, consistent
// Part ranges and face indices. Texture files named in the file are loaded relative to its
// directory. A version below "1.61" and 256 or more Parts are refused with a message; other
// failures are silent (the caller tries the binary reader next).
// Writing renumbers as the format wants (Parts in draw_order, Units breadth-first) without
// changing the Model's order, and replaces the file atomically.
#pragma once

#include <string>

#include "formats/save_options.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "io/write_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

bool ReadVrnText(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
                 ReadError* error = nullptr);
bool WriteVrnText(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                  WriteError* error = nullptr);

}  // namespace vorna
