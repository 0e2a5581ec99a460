// Steps every reader or writer of model files shares.
#pragma once

#include <string>
#include <vector>

#include "formats/vr2_corners.h"
#include "io/progress.h"
#include "io/read_error.h"
#include "io/whole_file.h"
#include "model/model.h"

namespace vorna {

// Reads a model file whole: `path` as ResolveFileName finds it (names from the original
// platform match regardless of case).
bool ReadModelFile(const std::string& path, FileBytes* out, ReadError* error);

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
