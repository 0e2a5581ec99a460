// Internal to the codec: the first error and the warnings of one read or write, and the rules
// that bring every number to the range and precision of its member's type.
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>

#include "formats/xfile/errors.h"
#include "formats/xfile/templates.h"
#include "io/progress.h"

namespace vorna::xfile {

struct Diagnostics {
  Error error;
  WarningList warnings;
  bool in_decompressed = false;

  // Records the first failure only; always returns false so that callers can `return Fail(...)`.
  bool Fail(ErrorKind kind, std::string text, std::uint64_t offset) {
    if (error.ok()) {
      error.kind = kind;
      error.message = std::move(text);
      error.offset = offset;
      error.in_decompressed = in_decompressed;
    }
    return false;
  }
  void Warn(std::string text, std::uint64_t offset) { warnings.Add(std::move(text), offset); }

  // Asks the read's progress meter (none for writes) at `offset`; false, with the failure
  // recorded, when the caller asked to stop.
  ProgressMeter* meter = nullptr;
  bool KeepGoing(std::uint64_t offset) {
    return meter == nullptr || meter->At(offset) ||
           Fail(ErrorKind::kCancelled, "cancelled", offset);
  }
};

// Integers keep the low bits their type holds, read as signed or unsigned like the type: "-1"
// for a DWORD is 4294967295, 70000 for a WORD is 4464. Text and binary files thus agree.
inline double NormalizeInteger(Primitive type, std::int64_t v) {
  switch (type) {
    case Primitive::kWord:
      return static_cast<double>(static_cast<std::uint16_t>(v));
    case Primitive::kChar:
      return static_cast<double>(static_cast<std::int8_t>(v));
    case Primitive::kUchar:
      return static_cast<double>(static_cast<std::uint8_t>(v));
    case Primitive::kSword:
      return static_cast<double>(static_cast<std::int16_t>(v));
    case Primitive::kSdword:
      return static_cast<double>(static_cast<std::int32_t>(v));
    default:
      return static_cast<double>(static_cast<std::uint32_t>(v));
  }
}

// A float value for an integer member: the fraction is dropped; NaN, infinities and values beyond
// 64 bits become 0 and set `changed`.
inline double FloatToInteger(Primitive type, double v, bool& changed) {
  if (!(v > -9.2e18 && v < 9.2e18)) {
    changed = true;
    return 0;
  }
  return NormalizeInteger(type, static_cast<std::int64_t>(v));
}

// FLOAT members are kept at single precision so that a text file and its binary form read the
// same. NaN and infinities (and FLOATs beyond the single-precision range) become 0 and set
// `changed`: the spellings 1.#IND00 and 1.#INF00 that some C runtimes printed into old text
// files mean exactly that.
inline double NormalizeFloat(Primitive type, double v, bool& changed) {
  if (!std::isfinite(v) || (type == Primitive::kFloat && std::fabs(v) > FLT_MAX)) {
    changed = true;
    return 0;
  }
  return type == Primitive::kFloat ? static_cast<double>(static_cast<float>(v)) : v;
}

}  // namespace vorna::xfile
