#include "formats/beside_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "images/decode.h"
#include "images/encode.h"
#include "io/atomic_file.h"
#include "io/path_parts.h"
#include "io/whole_file.h"
#include "model/file_paths.h"

namespace vorna {

BesideRoom RoomFor(const std::string& path, std::string_view bytes) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    return errno == ENOENT ? BesideRoom::kFree : BesideRoom::kTaken;
  }
  if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != bytes.size()) {
    return BesideRoom::kTaken;
  }
  FileBytes file;
  if (!ReadWholeFile(path, &file, nullptr, bytes.size())) return BesideRoom::kTaken;
  return file.text() == bytes ? BesideRoom::kSame : BesideRoom::kTaken;
}

std::string NumberedFileName(const std::string& name, int n) {
  const PathParts parts = SplitPath(name);
  return std::string(parts.folder).append(parts.stem) + "-" + std::to_string(n) +
         std::string(parts.extension);
}

BesideNames::BesideNames(std::string directory, std::vector<std::string> replaceable)
    : directory_(std::move(directory)), replaceable_(std::move(replaceable)) {}

bool BesideNames::Used(const std::string& name) const {
  return std::find(used_.begin(), used_.end(), name) != used_.end();
}

BesideFile BesideNames::Choose(const std::string& name, std::string_view bytes,
                               BesideReport* report) {
  BesideFile file;
  std::string chosen = name;
  for (int n = 2;; chosen = NumberedFileName(name, n++)) {
    if (Used(chosen)) continue;
    file.path = directory_ + chosen;
    file.replaces =
        std::find(replaceable_.begin(), replaceable_.end(), chosen) != replaceable_.end();
    const BesideRoom room = file.replaces ? BesideRoom::kFree : RoomFor(file.path, bytes);
    if (room == BesideRoom::kTaken) continue;
    file.unchanged = room == BesideRoom::kSame;
    break;
  }
  used_.push_back(chosen);
  if (chosen != name && report != nullptr) report->renamed.emplace_back(name, chosen);
  return file;
}

bool WriteBesideFile(const BesideFile& file, std::string_view bytes,
                     const ProgressCallback& progress, WriteError* error) {
  if (file.unchanged) return true;
  if (file.make_folders) {
    std::error_code ignored;
    std::filesystem::create_directories(DirectoryOf(file.path), ignored);
  }
  AtomicFile out;
  if (!out.Open(file.path, error)) return false;
  if (out.WriteAndCommit(bytes, progress, error, file.replaces)) return true;
  if (error != nullptr && error->kind == WriteErrorKind::kCancelled) return false;
  // Another save (a parallel conversion into the same folder) may have written the same file.
  if (!file.replaces) {
    const BesideRoom room = RoomFor(file.path, bytes);
    if (room == BesideRoom::kSame) return true;
    if (room == BesideRoom::kTaken) {
      return Fail(error, WriteErrorKind::kTaken, "another file took the name meanwhile", file.path);
    }
  }
  return false;
}

namespace {

// Whether two paths name one file.
bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {
  }, y{};
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

// Plans the copy of the file `name` refers to in the model's folder; false only for a refusal.
bool PlanCopy(const Model& model, const std::string& name, const std::string& directory,
              BesideNames& names, std::vector<BesideFile>* files, BesideReport* report,
              WriteError* error) {
  // A model never saved or loaded names its textures relative to no folder.
  if (model.model_dir.empty()) return true;
  const std::string source = ResolveFileName(StoredFilePath(model.model_dir, name));
  // The name as the file is spelt there, which resolves the same way beside the new model.
  if (!source.starts_with(model.model_dir)) return true;
  const std::string relative = source.substr(model.model_dir.size());
  if (!StaysInFolder(relative)) return true;
  BesideFile file;
  file.path = directory + relative;
  names.Reserve(relative);
  FileBytes bytes;
  if (SameFile(source, file.path) ||
      !ReadWholeFile(source, &bytes, nullptr, static_cast<uint64_t>(kMaxImageFileBytes))) {
    return true;
  }
  file.bytes.assign(bytes.text());
  switch (RoomFor(file.path, file.bytes)) {
    case BesideRoom::kSame:
      return true;
    case BesideRoom::kTaken:
      return Fail(error, WriteErrorKind::kTaken,
                  "another file has the name of the texture file " + relative, file.path);
    case BesideRoom::kFree:
      break;
  }
  file.make_folders = relative.find('/') != std::string::npos;
  if (report != nullptr) report->copied.push_back(relative);
  files->push_back(std::move(file));
  return true;
}

}  // namespace

bool PlanTextureFiles(Model& model, const std::string& directory, std::vector<BesideFile>* files,
                      BesideReport* report, WriteError* error) {
  assert(model.parts_count >= 0 && static_cast<size_t>(model.parts_count) <= model.parts.size());
  BesideNames names(directory);
  std::vector<std::string> seen;
  std::vector<int> embedded;
  for (int p = 0; p < model.parts_count; ++p) {
    const Part& part = model.parts[p];
    if (part.texture_file.empty()) continue;
    if (std::find(seen.begin(), seen.end(), part.texture_file) != seen.end()) continue;
    seen.push_back(part.texture_file);
    if (part.texture_embedded) {
      if (part.texture != nullptr) embedded.push_back(p);
    } else if (!PlanCopy(model, part.texture_file, directory, names, files, report, error)) {
      return false;
    }
  }
  for (const int p : embedded) {
    const std::string name = model.parts[p].texture_file;
    std::vector<uint8_t> png;
    if (!EncodePngWithAlpha(model.parts[p].texture->levels().front(), &png)) {
      return Fail(error, WriteErrorKind::kModel, "cannot encode the texture", directory + name);
    }
    std::string bytes(png.begin(), png.end());
    BesideFile file = names.Choose(name, bytes, report);
    file.bytes = std::move(bytes);
    const std::string chosen = file.path.substr(directory.size());
    for (int q = 0; q < model.parts_count; ++q) {
      Part& part = model.parts[q];
      if (part.texture_embedded && part.texture_file == name) part.texture_file = chosen;
    }
    files->push_back(std::move(file));
  }
  return true;
}

}  // namespace vorna
