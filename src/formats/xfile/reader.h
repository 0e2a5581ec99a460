// Reading .x files in every encoding: text ("txt "), binary ("bin "), compressed text ("tzip")
// and compressed binary ("bzip"), versions 0302 and 0303, 32- or 64-bit binary floats.
//
// Untrusted input: every count and size is checked against what the rest of the file can hold
// before anything is allocated, nesting is bounded, and a failure comes back as an Error with the
// byte where it was found. Nothing throws.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/xfile/document.h"
#include "formats/xfile/errors.h"
#include "formats/xfile/templates.h"
#include "io/progress.h"

namespace vorna::xfile {

struct ReadOptions {
  // Data objects nested inside one another (a frame hierarchy, then mesh, material list,
  // material and texture name below the deepest frame).
  int max_depth = 512;
  // Decompressed size of a compressed file, the 16-byte header included.
  std::uint64_t max_decompressed_size = std::uint64_t{512} << 20;
  // Told the bytes parsed (of the decompressed file for a compressed one); a stop ends the read
  // with ErrorKind::kCancelled.
  ProgressCallback progress;
};

struct ReadResult {
  Document document;  // what was read; empty after a failure
  Error error;
  bool ok() const { return error.ok(); }
};

// On success the document holds the file's header, the templates it declared, its objects and
// the warnings met on the way. Lenient where real files are: separators may be missing or
// doubled, standard templates may be used undeclared, objects of unknown templates are skipped
// with a warning, references to objects not defined earlier stay unresolved with a warning.
ReadResult Read(std::span<const std::uint8_t> file, const ReadOptions& options = {});
ReadResult Read(std::string_view file, const ReadOptions& options = {});
ReadResult ReadFile(const std::string& path, const ReadOptions& options = {});

// Adds the template declarations of a text .x file (header included, no data objects) to `set`.
Error ReadTemplates(std::string_view text_file, TemplateSet& set);

}  // namespace vorna::xfile
