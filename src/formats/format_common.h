// Steps every reader or writer of model files shares.
#pragma once

#include <new>
#include <string>
#include <vector>

#include "formats/vr2_corners.h"
#include "io/progress.h"
#include "io/read_error.h"
#include "io/whole_file.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Reads a model file whole: `path` as ResolveFileName finds it (names from the original
// platform match regardless of case).
bool ReadModelFile(const std::string& path, FileBytes* out, ReadError* error);

// How every reader runs its parse: `model` is reset, `parse()` fills it and says whether it
// succeeded; an allocation failure is a failed read (kOutOfMemory), and a failed read leaves the
// model reset.
template <typename Parse>
bool ParseIntoModel(Model& model, ReadError* error, Parse&& parse) {
  Reset(model);
  bool ok = false;
  try {
    ok = parse();
  } catch (const std::bad_alloc&) {
    Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
  if (!ok) Reset(model);
  return ok;
}

// How every reader reads its file: the bytes of `path` (ReadModelFile) go to `parse(file)`; a file
// that cannot be read leaves `model` reset.
template <typename Parse>
bool ReadIntoModel(Model& model, const std::string& path, ReadError* error, Parse&& parse) {
  FileBytes file;
  if (!ReadModelFile(path, &file, error)) {
    Reset(model);
    return false;
  }
  return parse(file);
}

// The version our VRN and VR2 writers store, text and binary, and the oldest their readers take.
// Versions compare as strings, as the format always has.
inline constexpr const char* kVersionWritten = "1.8";
inline constexpr const char* kOldestVersionRead = "1.61";

// False, after showing "ファイル バージョンが違います", for a version older than
// kOldestVersionRead.
bool VersionReadable(const std::string& version, Host& host);

// How a reader goes on after asking `meter` at byte `offset`: true to go on, false (with a
// kCancelled `error`) when the caller asked it to stop.
inline bool KeepReading(ProgressMeter& meter, std::uint64_t offset, ReadError* error) {
  return meter.At(offset) || Fail(error, ReadErrorKind::kCancelled, "cancelled", offset);
}

// model_dir = `path` up to and including its last '/', model_file_name = the rest.
void SetTitleAndDirectory(Model& model, const std::string& path);

// Writers keep every Anim inside the Motions that exist: first and last at most motion_count - 1.
void ClampAnimsToMotions(Model& model);

// The last step of reading our own formats: a model needs Parts, vertices and faces; vertices and
// faces beyond the last Part's range belong to no Part and are dropped (a file that lists fewer
// than it declared keeps what it listed); the geometry must hold together; VR2 corner values
// (`corners`, null for VRN) move to their vertices; every Unit's axis is derived. False, with
// `error`, when the model cannot be used; the caller then resets it.
bool FinishReadingModel(Model& model, std::vector<CornerCoordinates>* corners, ReadError* error);

}  // namespace vorna
