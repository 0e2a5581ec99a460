#include "formats/helper_import.h"

#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "animation/skeleton_import.h"
#include "formats/scene_stream.h"
#include "images/decode.h"
#include "model/file_paths.h"
#include "model/model_check.h"
#include "model/texture_loading.h"

namespace vorna {

namespace {

constexpr const char* kHelperName = "vorna-import";
// Seconds of processor time and of waiting: far beyond what the library takes for the largest
// model we can hold, short enough that a stuck import ends on its own.
constexpr std::uint32_t kHelperCpuSeconds = 120;
constexpr int kHelperTimeoutMs = 180'000;
// Room for the largest model a Model holds (2^25 vertices with normals and coordinates).
constexpr std::uint64_t kHelperOutputBytes = std::uint64_t{1} << 30;
constexpr std::uint64_t kMinAddressSpace = std::uint64_t{2} << 30;
// Embedded images of raw pixels beyond this side are left out, as the decoders bound theirs.
constexpr std::uint32_t kMaxRawSide = 16384;

bool IsExecutable(const std::string& path) {
  std::error_code ignored;
  return !path.empty() && std::filesystem::is_regular_file(path, ignored) &&
         ::access(path.c_str(), X_OK) == 0;
}

// The file name a model stores for a texture the file names: relative names as they are; a name
// with a root or a drive from the author's machine by its last component, which is where such a
// texture is usually found (beside the model).
std::string StoredTextureName(const std::string& named) {
  const bool absolute = !named.empty() && (named[0] == '/' || named[0] == '\\' ||
                                           (named.size() > 1 && named[1] == ':'));
  if (!absolute) return ClampField(named, kTextureFileSize);
  const size_t slash = named.find_last_of("/\\");
  return ClampField(named.substr(slash + 1), kTextureFileSize);
}

std::shared_ptr<const Texture> DecodeSceneImage(const SceneImage& image) {
  Image decoded;
  if (!image.encoded.empty()) {
    if (!DecodeImage(image.encoded, &decoded)) return nullptr;
  } else {
    if (image.width == 0 || image.height == 0 || image.width > kMaxRawSide ||
        image.height > kMaxRawSide) {
      return nullptr;
    }
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.rgba = image.rgba;
  }
  return Texture::FromImage(std::move(decoded));
}

// Gives each material its texture: a file beside the model, or an image from inside the file.
void AttachTextures(StreamedScene& streamed, const std::string& directory, const std::string& stem,
                    const ReadOptions& options) {
  TextureCache cache;
  std::map<int32_t, std::shared_ptr<const Texture>> decoded;
  std::vector<SceneMaterial>& materials = streamed.scene.materials;
  for (size_t m = 0; m < materials.size(); ++m) {
    Part& part = materials[m].part;
    const int32_t image = streamed.material_image[m];
    if (image >= 0 && static_cast<size_t>(image) < streamed.images.size()) {
      part.texture_file =
          ClampField(stem + "-" + std::to_string(image + 1) + ".png", kTextureFileSize);
      part.texture_embedded = true;
      if (!options.load_textures) continue;
      auto [it, added] = decoded.try_emplace(image);
      if (added) it->second = DecodeSceneImage(streamed.images[static_cast<size_t>(image)]);
      part.texture = it->second;
      if (part.texture != nullptr) {
        part.texture_rect = {0, 0, part.texture->width(), part.texture->height()};
      }
      continue;
    }
    part.texture_file = StoredTextureName(part.texture_file);
    if (options.load_textures && !part.texture_file.empty()) {
      LoadTexture(part, StoredFilePath(directory, part.texture_file), &cache);
    }
  }
}

// Whatever the process locale: the editor's may write a decimal comma.
std::string SecondsText(int milliseconds) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, milliseconds / 1000.0).ptr;
  return std::string(text, end);
}

// Why the helper gave no stream, as a read error.
bool HelperFailed(const ChildResult& run, const ChildLimits& limits, ReadError* error) {
  std::string said = run.message.substr(0, run.message.find('\n'));
  switch (run.outcome) {
    case ChildOutcome::kNotStarted:
      return Fail(error, ReadErrorKind::kUnsupported,
                  std::string("the import helper ") + kHelperName + " cannot be started");
    case ChildOutcome::kStopped:
      return Fail(error, ReadErrorKind::kCancelled, "cancelled");
    case ChildOutcome::kTimedOut:
      return Fail(error, ReadErrorKind::kLimit,
                  "the import took longer than " + SecondsText(limits.timeout_ms) + " s");
    case ChildOutcome::kOutputTooLarge:
      return Fail(error, ReadErrorKind::kLimit, "the model is larger than VORNA can hold");
    case ChildOutcome::kSignalled: {
      if (run.signal == SIGXCPU) {
        return Fail(error, ReadErrorKind::kLimit, "the import ran out of processor time");
      }
      const char* name = sigabbrev_np(run.signal);
      return Fail(error, ReadErrorKind::kBadData,
                  "the import helper crashed on the file (signal " +
                      (name != nullptr ? "SIG" + std::string(name) : std::to_string(run.signal)) +
                      ")");
    }
    case ChildOutcome::kExited:
      break;
  }
  if (said.empty())
    said = "the import helper failed (exit status " + std::to_string(run.exit_status) + ")";
  const bool memory = said == "out of memory" || said.find("bad_alloc") != std::string::npos;
  return Fail(error, memory ? ReadErrorKind::kOutOfMemory : ReadErrorKind::kBadData, said);
}

bool BuildFromStream(Model& model, const std::string& path, const std::string& output, Host& host,
                     const ReadOptions& options, ReadError* error) {
  StreamedScene streamed;
  ReadError stream_error;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(output.data());
  if (!ReadSceneStream({bytes, output.size()}, &streamed, &stream_error)) {
    return Fail(error, stream_error.kind,
                "the import helper's output is broken (" + stream_error.Describe() + ")");
  }
  std::string stem = FileNameOf(path);
  if (const size_t dot = stem.rfind('.'); dot != std::string::npos) stem.resize(dot);
  AttachTextures(streamed, DirectoryOf(path), stem, options);
  SkeletonImportOptions skeleton;
  return BuildModelFromScene(streamed.scene, skeleton, model, host, nullptr, error) &&
         CheckModel(model, error);
}

}  // namespace

std::string ImportHelperPath() {
  if (const char* given = std::getenv("VORNA_IMPORT_HELPER"); given != nullptr && *given != 0) {
    return given;
  }
  const std::string self = OwnExecutablePath();
  if (self.empty()) return {};
  const std::string folder = DirectoryOf(self);
  for (const std::string& candidate :
       {folder + kHelperName, folder + VORNA_HELPER_FROM_BIN + "/" + kHelperName}) {
    if (IsExecutable(candidate)) return candidate;
  }
  return {};
}

ChildLimits ImportHelperLimits() {
  ChildLimits limits;
#ifndef VORNA_SANITIZED
  // Half the machine's memory, so that a blow-up never pushes the desktop into swap.
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  const std::uint64_t memory =
      pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page)
                            : 0;
  limits.address_space = std::max(kMinAddressSpace, memory / 2);
#endif
  limits.cpu_seconds = kHelperCpuSeconds;
  limits.timeout_ms = kHelperTimeoutMs;
  limits.output_bytes = kHelperOutputBytes;
  return limits;
}

bool ImportWithHelper(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                      ReadError* error) {
  return ImportWithHelper(model, path, host, options, ImportHelperPath(), ImportHelperLimits(),
                          error);
}

bool ImportWithHelper(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                      const std::string& helper, const ChildLimits& limits, ReadError* error) {
  Reset(model);
  if (helper.empty()) {
    return Fail(error, ReadErrorKind::kUnsupported,
                std::string("the import helper ") + kHelperName + " is not installed");
  }
  const std::string resolved = ResolveFileName(path);
  std::error_code ignored;
  const std::uint64_t size = std::filesystem::file_size(resolved, ignored);
  const std::uint64_t total = size == static_cast<std::uintmax_t>(-1) ? 0 : size;
  // The helper's progress is not known: the bar stays at the start until the stream is in.
  const auto keep_going = [&](std::uint64_t) {
    return !options.progress || options.progress(0, total);
  };
  bool ok = false;
  try {
    const ChildResult run = RunChild(helper, {resolved}, limits, keep_going);
    if (run.outcome != ChildOutcome::kExited || run.exit_status != 0) {
      return HelperFailed(run, limits, error);
    }
    if (options.progress && !options.progress(total, total)) {
      return Fail(error, ReadErrorKind::kCancelled, "cancelled");
    }
    ok = BuildFromStream(model, path, run.output, host, options, error);
  } catch (const std::bad_alloc&) {
    ok = Fail(error, ReadErrorKind::kOutOfMemory, "out of memory");
  }
  if (!ok) Reset(model);
  return ok;
}

}  // namespace vorna
