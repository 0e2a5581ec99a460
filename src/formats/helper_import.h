// Model files of other tools (FBX, COLLADA, Milkshape, SMD, MD5, OBJ, PLY, STL, 3DS and more),
// read by the import helper: the program vorna-import (src/importer) reads the file with a
// general-purpose import library in a child process of ours and hands back a scene stream
// (scene_stream.h). The library never runs in our process, so whatever a hostile file does to
// it (a crash, a hang, a memory blow-up, garbage output) ends as a failed read here.
//
// What the stream describes goes through the skeletal import (animation/skeleton_import.h):
// static meshes become Parts, one per material; skeletons, skins and animations become Units,
// blend weights, Motions and Anims. A material's texture named by the file is loaded from the
// model's directory (a name with a folder from another machine, such as "C:\art\skin.png", by its
// last component); an image inside the file is decoded into the Part's texture, marked embedded
// and named "<file stem>-<image number>.png", so that saving in a format that names textures
// writes it beside the model (beside_files.h), as the glTF import does.
#pragma once

#include <string>
#include <string_view>

#include "formats/registry.h"
#include "io/child_process.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The helper: $VORNA_IMPORT_HELPER when set (for tests), else vorna-import beside the running
// program (a build tree), else in the libexec folder of an installation relative to the running
// program's folder. "" when there is none.
std::string ImportHelperPath();

// What the helper may take: address space (none in a sanitizer build, whose shadow memory needs
// terabytes of it), processor time, wall-clock time and output.
ChildLimits ImportHelperLimits();

// Resets the Model and reads `path` through the helper. On failure the Model is empty and
// `error` (may be null) says why: the helper's own message for a file the library refuses, what
// happened to the helper (killed by a signal, out of time, too much output), or what is wrong
// with its stream.
bool ImportWithHelper(Model& model, const std::string& path, Host& host,
                      const ReadOptions& options = {}, ReadError* error = nullptr);

// The same with a given helper program and limits.
bool ImportWithHelper(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                      const std::string& helper, const ChildLimits& limits, ReadError* error);

// Whether `head`, the first bytes of a file (up to 4 KiB), can begin a file of `family`, one of
// the rows read through the helper (ModelFormat::kFbx and after): binary FBX's header or a text
// FBX's header block; COLLADA's root element, or a zip archive for .zae; "MS3D000000"; SMD's
// "version" line and MD5's "MD5Version" (after white space and // comments); PLY's "ply" line;
// 3D Studio's main chunk. OBJ and STL files have no signature (an STL's binary header is free
// text) and pass.
bool StartsLikeFamily(ModelFormat family, std::string_view head);

// Resets the Model and reads `path` through the helper once its content passed the family's
// check; a regular file that fails it is refused with kNotThisFormat, and anything else (a
// folder, a pipe) with kIo, without starting the helper.
bool ImportAs(ModelFormat family, Model& model, const std::string& path, Host& host,
              const ReadOptions& options, ReadError* error);
template <ModelFormat family>
bool ImportFamilyFile(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                      ReadError* error) {
  return ImportAs(family, model, path, host, options, error);
}

}  // namespace vorna
