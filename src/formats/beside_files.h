// The files a save writes beside the model and names in it: the texture files of formats that
// store texture names, and a .gltf's buffer and images. The one place that decides where they
// go, so that a save never replaces a file it did not make itself: a name another file has is
// passed over for a free one where the save chooses names, and refuses the save before anything
// is written where the model's own names decide.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "formats/save_options.h"
#include "io/progress.h"
#include "io/write_error.h"
#include "model/model.h"

namespace vorna {

struct BesideFile {
  std::string path;
  std::string bytes;  // what PlanTextureFiles read or encoded; empty where the caller holds them
  // The file there holds these very bytes already: nothing to write.
  bool unchanged = false;
  // The file this save replaces names it (a .gltf's buffer or image of an earlier export), so
  // that a file there is replaced; otherwise the file is only created where none is.
  bool replaces = false;
  // Missing folders of the path below the model's are made first (a texture name with folders).
  bool make_folders = false;
};

// What a file at `path` means for a save that would write `bytes` there.
enum class BesideRoom : uint8_t {
  kFree,   // no file has the name
  kSame,   // a file holding exactly these bytes
  kTaken,  // anything else
};
BesideRoom RoomFor(const std::string& path, std::string_view bytes);

// "name-2.png" for n = 2: a numbered form of a file name, before its extension.
std::string NumberedFileName(const std::string& name, int n);

// Picks the names of the files one save writes into one folder.
class BesideNames {
 public:
  // `replaceable`: file names in `directory` that the file this save replaces names.
  explicit BesideNames(std::string directory, std::vector<std::string> replaceable = {});
  // The file for `bytes` wanted as `name`: under that name where no other file has it, where
  // the file there holds these bytes or is replaceable, else under the first free numbered
  // name, which `report` (may be null) then records. No two calls get the same name.
  BesideFile Choose(const std::string& name, std::string_view bytes, BesideReport* report);
  // Keeps `name` from later choices.
  void Reserve(const std::string& name) { used_.push_back(name); }

 private:
  bool Used(const std::string& name) const;
  std::string directory_;
  std::vector<std::string> replaceable_;
  std::vector<std::string> used_;
};

// Writes `bytes` as `file` atomically unless it is unchanged, telling `progress` (may be empty)
// the bytes; a file that may not replace one fails when another file takes the name meanwhile.
// False with `error` (may be null) naming the file.
bool WriteBesideFile(const BesideFile& file, std::string_view bytes,
                     const ProgressCallback& progress, WriteError* error);

// The texture files a save of `model` into `directory` (ending in '/', or empty) puts beside it,
// read and encoded before the model is written so that a refusal leaves every file as it was:
// - each embedded texture (an image that came inside a glTF file) as PNG under its texture_file,
//   or under a free numbered name that `model` then stores;
// - when `directory` is not the model's own folder (model_dir), a copy of each file a stored
//   name refers to there, under the same name relative to `directory`, so that the names keep
//   working. Names that leave their folder ("..", a root) and files that are missing are left
//   alone.
// False with `error` naming the file when a copy would replace another file (kTaken) or a
// texture cannot be encoded. `report` (may be null) gets the copies and the renamed textures.
bool PlanTextureFiles(Model& model, const std::string& directory, std::vector<BesideFile>* files,
                      BesideReport* report, WriteError* error);

}  // namespace vorna
