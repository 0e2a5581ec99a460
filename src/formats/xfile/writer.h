// Writing a Document as an .x file: text ("xof 0303txt 0032"), binary ("xof 0303bin 0032"),
// compressed binary ("xof 0303bzip0032") or compressed text ("xof 0303tzip0032"). Binary floats
// are always 32-bit.
//
// The text form follows the canonical separators every reader accepts (a ';' after each value
// of a single member, ',' between array elements, one more ';' closing a structure member, a
// string's separator right after its closing quote); floats are fixed-point, locale-independent,
// never exponents, NaN or infinity. Binary numbers travel in one integer or float list per run
// of same-kind values. Compressed blocks are independent raw deflate streams.
#pragma once

#include <string>
#include <vector>

#include "formats/xfile/document.h"
#include "formats/xfile/errors.h"

namespace vorna::xfile {

struct WriteOptions {
  Encoding encoding = Encoding::kText;
  // Templates to declare after the header, in this order, dependencies first (for example the
  // extension templates a skinned mesh uses). Every template an object uses must be declared
  // here or be the standard template of that name.
  std::vector<std::string> declare;
  int compression_level = -1;  // zlib level for the compressed encodings; -1: zlib's default
  int float_decimals = 6;      // digits after the point in text (1 to 17)
};

struct WriteResult {
  std::string bytes;
  Error error;
  bool ok() const { return error.ok(); }
};

// Writes the document's top-level objects in order, each with its children. Fails with
// kBadData (and no bytes) when an object's values do not fit its template or one is infinite or
// NaN, a name cannot be written in the chosen encoding, a reference points at an object not
// written before it (or would find another object of the same name), or a template is used but
// not declared.
WriteResult Write(const Document& document, const WriteOptions& options = {});

}  // namespace vorna::xfile
