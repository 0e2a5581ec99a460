// Why a write failed, as data: every writer of the core (model formats, the texture files beside
// them) reports a failure this way, as readers report a ReadError. The editor's save flow turns
// it into the messages the user sees; the command line prints it. Nothing in a writer throws.
#pragma once

#include <cstdint>
#include <string>

namespace vorna {

enum class WriteErrorKind : std::uint8_t {
  kNone,
  kCreate,       // no new file can be made there (a missing folder, no permission)
  kWrite,        // writing, syncing or renaming over the target failed
  kModel,        // this format cannot hold the model (nothing to write, too large)
  kNoWriter,     // the format has no writer
  kOutOfMemory,  // an allocation failed
  kCancelled,    // the caller asked the write to stop
  kTaken,        // another file has the name, and the save does not replace files it did not make
};

struct WriteError {
  WriteErrorKind kind = WriteErrorKind::kNone;
  std::string message;
  // The file that failed, which for a save of several files (a .gltf with its .bin, textures
  // beside a model) need not be the one the user named.
  std::string path;

  bool ok() const { return kind == WriteErrorKind::kNone; }
  // "path: message", or the bare message without a path, for the command line, logs and tests.
  std::string Describe() const;
};

// Fills `error` (which may be null) and returns false, so a writer can `return Fail(...)`.
bool Fail(WriteError* error, WriteErrorKind kind, std::string message, std::string path = {});

}  // namespace vorna
