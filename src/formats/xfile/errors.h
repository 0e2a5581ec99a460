// Errors and warnings of the .x codec. Nothing in the codec throws: a failed read or write
// returns an Error as data, with the byte offset where the problem was found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorna::xfile {

enum class ErrorKind : std::uint8_t {
  kNone,
  kIo,             // the file could not be read
  kBadHeader,      // not an .x file: short, wrong magic, unknown encoding
  kUnsupported,    // a valid but unsupported feature (for example a UNICODE member)
  kSyntax,         // tokens in an impossible order, an unterminated string, an unknown token
  kTruncated,      // the input ends inside a token, an object or a compressed block
  kBadData,        // member data that do not fit the object's template
  kCompression,    // a compressed block that does not decode to what it claims
  kLimit,          // a limit of ReadOptions was reached (nesting, decompressed size)
  kOutOfMemory,    // an allocation failed
  kInvalidObject,  // the writer was handed an object it cannot encode
};

struct Error {
  ErrorKind kind = ErrorKind::kNone;
  std::string text;
  // Byte offset of the problem. For compressed files it counts bytes of the decompressed file
  // (16-byte header included) unless the problem is in the compressed blocks themselves.
  std::uint64_t offset = 0;
  bool in_decompressed = false;

  bool ok() const { return kind == ErrorKind::kNone; }
  // "byte 123: text" (or "decompressed byte 123: text"), for the CLI and test output.
  std::string Describe() const;
};

// A non-fatal oddity of the input. Repeats of one text are counted, not listed again.
struct Warning {
  std::string text;
  std::uint64_t offset = 0;  // where it was seen first
  std::uint32_t count = 1;
};

// Collects warnings, merging repeats and keeping at most kMaxDistinct different texts.
class WarningList {
 public:
  static constexpr std::size_t kMaxDistinct = 64;
  void Add(std::string text, std::uint64_t offset);
  const std::vector<Warning>& entries() const { return entries_; }
  std::vector<Warning> Take() { return std::move(entries_); }

 private:
  std::vector<Warning> entries_;
};

}  // namespace vorna::xfile
