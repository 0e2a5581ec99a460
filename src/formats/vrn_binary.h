// VRN binary files (".vrn"): a 4-byte magic "VRN\0", a record count (31 as written) and keyed
// records (u32 key length, key bytes with their zero, u32 data size, data), all integers 32-bit
// little-endian and all reals single precision. The records are those of the VRN text format in
// a fixed order; records 22 to 30 (Units, Motions, blend weights, Anims) exist only for a Model
// with Units, and the save options leave out translations, scales, skin and Anims.
//
// VR2 binary files (vr2_binary.h) share this engine with the magic "VR2\0" and texture
// coordinates per face corner.
//
// Reading resets the Model and fills it; success needs Parts, vertices and faces, consistent
// Part ranges and face indices. Texture files are loaded relative to the file's directory. A
// version below "1.61" and 256 or more Parts are refused with a message; every other failure,
// including a wrong magic, is silent so that a caller may try another reader. Writing renumbers
// as the text format does (Parts in draw_order, Units breadth-first) without changing the
// Model's order, and replaces the file atomically.
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

enum class BinaryVariant { kVrn, kVr2 };

// The file's bytes for the Model as it stands. Clamps every Anim to the existing Motions and
// refreshes save_order first.
std::string FormatKeyedBinary(Model& model, const SaveOptions& options, BinaryVariant variant);

// Resets the Model and fills it from `bytes` (untrusted). Textures are named relative to
// `model_dir`. On failure the Model is empty (reset) and `error` (may be null) says why.
bool ParseKeyedBinary(Model& model, std::string_view bytes, const std::string& model_dir,
                      BinaryVariant variant, const ReadOptions& options, Host& host,
                      ReadError* error);

bool ReadVrnBinary(Model& model, const std::string& path, Host& host,
                   const ReadOptions& options = {}, ReadError* error = nullptr);
// False, with `error` (may be null), when no file can be created at `path` (kCreate) or writing
// it fails (kWrite; the old file is then left untouched). model_dir and model_file_name follow
// the new path once the file could be created.
bool WriteVrnBinary(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                    WriteError* error = nullptr);

// Shared by both binary variants.
bool ReadKeyedBinary(Model& model, const std::string& path, BinaryVariant variant,
                     const ReadOptions& options, Host& host, ReadError* error);
bool WriteKeyedBinary(Model& model, const std::string& path, const SaveOptions& options,
                      BinaryVariant variant, Host& host, WriteError* error);

}  // namespace vorna
