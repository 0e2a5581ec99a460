// Errors and warnings of the .x codec. Nothing in the codec throws: a failed read or write
// returns an Error as data, with the byte offset (and for text the line) where the problem was
// found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/read_error.h"

namespace vorna::xfile {

// The codec reports failures as the core's one reader error; for compressed files the offset
// counts bytes of the decompressed file (16-byte header included) unless the problem is in the
// compressed blocks themselves.
using Error = ReadError;
using ErrorKind = ReadErrorKind;

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
