// The tagged-block text format shared by VRN text and VR2 text files. The two differ only in
// where texture coordinates live: per vertex (VRN) or per face corner (VR2). vrn_text.h and
// vr2_text.h are the entry points; this is the engine behind both.
#pragma once

#include <string>
#include <string_view>

#include "formats/save_options.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "io/write_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

enum class TextVariant { kVrn, kVr2 };

// The file's bytes for the Model as it stands: Parts in draw_order, Units in breadth-first order
// (save_order is refreshed), lines joined by CR LF, no final line break. Clamps every Anim to the
// existing Motions first. `non_finite_in` (may be null) gets the tag of the first block holding
// an infinite or NaN value, or "".
std::string FormatTaggedText(Model& model, const SaveOptions& options, TextVariant variant,
                             std::string* non_finite_in = nullptr);

// Writes the file atomically. False, with `error` (may be null), when a value is infinite or NaN
// (kModel, naming its block, before anything is written), no file can be created there (kCreate) or
// writing it fails (kWrite; the old file is then left untouched). model_dir and model_file_name
// follow the new path once the file could be created.
bool WriteTaggedText(Model& model, const std::string& path, const SaveOptions& options,
                     TextVariant variant, Host& host, WriteError* error);

// Resets the Model and fills it from `bytes` (untrusted). Textures are named relative to
// `model_dir`. On failure the Model is empty (reset); `error` (may be null) says why. The
// refusals of a version below "1.61" and of 256 or more Parts are shown through `host`; every
// other failure is silent, so that the caller may try the binary reader next.
bool ParseTaggedText(Model& model, std::string_view bytes, const std::string& model_dir,
                     TextVariant variant, const ReadOptions& options, Host& host, ReadError* error);

// Reads the file at `path`; fails silently when it cannot be read.
bool ReadTaggedText(Model& model, const std::string& path, TextVariant variant,
                    const ReadOptions& options, Host& host, ReadError* error);

}  // namespace vorna
