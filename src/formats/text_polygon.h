// Text polygon files (".txt"): a tagged text export of polygon meshes, one element per line. Only
// geometry, names, diffuse colours and texture coordinates come in; there is no writer.
//
// A tag counts wherever it stands in a line. Each "<polygon_mesh>" element becomes one Part, its
// "<string string=" line the Part name (first word only; "no_name" without one) and its "<rgb rgb="
// line the diffuse colour. Vertices are numbered per mesh in file order; a face names them by
// number. Faces of three or four corners are kept as they are; a face of five or more corners
// becomes a fan of triangles around an added vertex at the mean of its corners, placed after the
// mesh's own vertices. The k-th "<uv vec3=" line of a face gives texture coordinates to the
// vertex of its k-th corner (the last face read wins); the added vertex of a large face takes the
// mean of its corners' coordinates when every corner has some. The model is then turned half a
// turn about Y (x and z change sign) and gets its normals and bounds.
//
// Refused: no mesh, a first mesh without vertices or faces, a face naming a vertex its mesh does
// not have (silently); a face of 4095 or more corners and 256 or more meshes (with a message).
// Faces of fewer than three corners are left out. On failure the Model is empty.
#pragma once

#include <string>
#include <string_view>

#include "io/read_error.h"
#include "io/read_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The number that the "too many corners" message names; faces with one less or more are refused.
inline constexpr int kTextPolygonCornerLimit = 4096;

// Resets the Model and reads the file at `path`. Fails silently when the file cannot be read;
// `error` (may be null) says why any failure happened. The file names no textures, so the read
// options change nothing.
bool ReadTextPolygon(Model& model, const std::string& path, Host& host,
                     const ReadOptions& options = {}, ReadError* error = nullptr);

// Resets the Model and fills it from `bytes` (untrusted).
bool ParseTextPolygon(Model& model, std::string_view bytes, Host& host, ReadError* error = nullptr,
                      const ProgressCallback& progress = {});

}  // namespace vorna
