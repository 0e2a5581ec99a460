// DXF files (".dxf"): bare polygon geometry exchanged with CAD programs through 3DFACE entities.
// Each layer stands for one Part; nothing else (Units, Motions, materials, textures) travels.
//
// Reading takes every 3DFACE of the file, wherever it stands, and ignores all other entities and
// sections. Consecutive faces on one layer make one Part; a layer that comes back after another
// starts a further Part of the same name. Within a Part, corners at exactly the same coordinates
// share one vertex. A face whose fourth corner is the same vertex as its third is a triangle.
// Limits: at most 30000 faces, fewer than 30000 vertices, fewer than 256 Parts; each refusal is
// shown through the host and leaves the Model empty.
//
// Writing makes the Part names unique first (in the Model itself), then emits one 3DFACE per face
// with the Part name as its layer, Parts in draw_order, numbers as "%f", lines ending in CR LF.
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

inline constexpr int kDxfMaxFaces = 30000;
inline constexpr int kDxfMaxVertices = 30000;  // the first vertex that reaches it is refused

// Resets the Model and reads the file at `path` into it. Fails silently when the file cannot be
// read; `error` (may be null) says why any failure happened. The file names no textures, so the
// read options change nothing.
bool ImportDxf(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
               ReadError* error = nullptr);

// Resets the Model and fills it from `bytes` (untrusted). On success the Model has its Parts with
// default materials, positions, faces, normals and bounds; on failure it is empty.
bool ParseDxf(Model& model, std::string_view bytes, Host& host, ReadError* error = nullptr,
              const ProgressCallback& progress = {});

// Renames Parts whose name an earlier Part already has to the name followed by a three-digit
// counter that starts at 2 and grows with every rename ("a", "a", "a" become "a", "a002",
// "a003"), skipping counter values whose name is taken and shortening the base so that every name
// keeps at most 63 bytes with its counter.
void MakePartNamesUnique(Model& model);

// The file's bytes for the Model as it stands (names are written as they are). `non_finite` (may
// be null) gets the index of the first Part with a corner that is not a finite number, which DXF
// has no spelling for, or keeps its value when there is none.
std::string FormatDxf(const Model& model, int* non_finite = nullptr);

// Makes the Part names unique, then writes the file atomically (telling options.progress). False,
// with `error` (may be null), when a corner is infinite or NaN (kModel, before anything is
// written), no file can be created there (kCreate) or writing it fails (kWrite; the old file is
// then left untouched). model_dir and model_file_name follow the new path once the file could be
// created.
bool ExportDxf(Model& model, const std::string& path, const SaveOptions& options, Host& host,
               WriteError* error = nullptr);

}  // namespace vorna
