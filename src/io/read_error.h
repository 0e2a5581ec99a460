// Why a read failed, as data: every reader of the core (model formats, the .x codec) reports a
// failure this way and leaves its output empty. Nothing in a reader throws.
#pragma once

#include <cstdint>
#include <string>

namespace vorna {

enum class ReadErrorKind : std::uint8_t {
  kNone,
  kIo,             // the file could not be opened or read
  kNotThisFormat,  // the bytes are not this reader's format; a caller may try another reader
  kUnsupported,    // a valid but unsupported feature or version
  kSyntax,         // malformed text: tokens in an impossible order, a bad number, a bad string
  kTruncated,      // the input ends inside a record, a token or a compressed block
  kBadData,        // values that break the format's rules: counts, indices, ranges
  kCompression,    // a compressed block that does not decode to what it claims
  kLimit,          // a limit was reached: the model's capacities, nesting, decompressed size
  kOutOfMemory,    // an allocation failed
  kInvalidModel,   // what was read does not make a valid model
  kCancelled,      // the caller asked the read to stop
};

struct ReadError {
  ReadErrorKind kind = ReadErrorKind::kNone;
  std::string message;
  // Where the problem was found: a byte offset into the file (for compressed .x files, into the
  // decompressed bytes when in_decompressed is set) and, for text formats, the 1-based line
  // (0 when not known).
  std::uint64_t offset = 0;
  std::uint32_t line = 0;
  bool in_decompressed = false;

  bool ok() const { return kind == ReadErrorKind::kNone; }
  // "line 12: text", "byte 123: text", "decompressed byte 123: text" or the bare text, for the
  // command line, logs and test output.
  std::string Describe() const;
};

// Fills `error` (which may be null) and returns false, so a reader can `return Fail(...)`.
bool Fail(ReadError* error, ReadErrorKind kind, std::string message, std::uint64_t offset = 0,
          std::uint32_t line = 0);

}  // namespace vorna
