// .x files (".x"), written: the unit hierarchy as frames, the Parts as meshes with materials and
// texture names (optionally one skinned mesh per root Unit with per-Unit skin weights), and the
// Motions as animation sets, in text, binary or compressed binary.
//
// The export changes the Model first: every quad becomes two triangles for good, and with skin a
// Model with top-level Parts gets them (and the top-level Units) grouped under one new Unit.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "formats/save_options.h"
#include "formats/xfile/document.h"
#include "formats/xfile/writer.h"
#include "io/write_error.h"
#include "model/hierarchy_edit.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

struct XExportDocument {
  xfile::Document document;
  xfile::WriteOptions write;  // encoding and the templates to declare
};

// Triangulates the Model, groups loose nodes for skin (a refusal is shown and the loose Parts
// stay out of every skinned mesh), and builds the object tree the file holds.
XExportDocument BuildXDocument(Model& model, const XOptions& options, Host& host);

// Builds the document from options.x, encodes it and saves it atomically to `path`, telling
// options.progress. False, with `error` (may be null), when the file cannot be encoded, created
// or written; the caller shows the messages.
bool ExportX(Model& model, const std::string& path, const SaveOptions& options, Host& host,
             WriteError* error = nullptr);

}  // namespace vorna
