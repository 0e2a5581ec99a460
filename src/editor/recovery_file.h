// The recovery copy's bytes: everything a Model holds (every slot of its tables, all three angles
// of every Unit, the forest with its ticks and expansion, the selection, the textures' pixels,
// where it was loaded from and as what) after a short header with the time of the copy, so that
// a model restored from it is the Model that was copied and saves to the same bytes.
//
// Layout: the magic "VORNA-RECOVERY\0\0" (16 bytes), u32 version, i64 time of the copy, then the
// Model. Integers are little-endian, reals single precision, strings a u32 length and the bytes.
// A texture is stored once however many Parts share it, as its largest image (the smaller
// images are made again from it, as a load makes them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "io/read_error.h"
#include "model/model.h"

namespace vorna {

// What the start of a copy says without reading the Model.
struct RecoveryHeader {
  int64_t written_at = 0;  // seconds since 1970 (UTC)
  std::string model_dir;
  std::string model_file_name;
  int32_t loaded_type = kLoadedNone;
};

// The copy's bytes for `model`, taken at `written_at`.
std::string EncodeRecoveryCopy(const Model& model, int64_t written_at);

// Reads only the header of `bytes` (untrusted). False when they are no recovery copy.
bool DecodeRecoveryHeader(std::string_view bytes, RecoveryHeader* header);

// Fills `model` from `bytes` (untrusted): every count, index and size is checked against the
// tables and against what the bytes can still hold before anything is allocated, and the result
// must pass the model check. On failure the Model is reset and `error` (may be null) says why.
bool DecodeRecoveryCopy(std::string_view bytes, Model& model, RecoveryHeader* header,
                        ReadError* error);

}  // namespace vorna
