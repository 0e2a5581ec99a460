#include "formats/helper_import.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "animation/scene_transform.h"
#include "animation/skeleton_import.h"
#include "animation/skeleton_scene.h"
#include "formats/format_common.h"
#include "formats/scene_stream.h"
#include "images/decode.h"
#include "io/descriptor.h"
#include "io/path_parts.h"
#include "model/file_paths.h"
#include "model/mesh_builder.h"
#include "model/model_check.h"
#include "model/name_text.h"
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
// The sanitized builds leave the helper's address space free (their shadow memory needs it).
[[maybe_unused]] constexpr std::uint64_t kMinAddressSpace = std::uint64_t{2} << 30;
// Embedded images of raw pixels beyond this side are left out, as the decoders bound theirs.
constexpr std::uint32_t kMaxRawSide = 16384;

// The first bytes of a regular file, up to 4 KiB. Opening never blocks, so a name that turns out
// to be a pipe fails instead of waiting (the helper would wait for a writer until its deadline).
bool ReadHead(const std::string& path, std::string* head) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat info;
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  head->resize(4096);
  ssize_t n;
  while ((n = ::read(fd.get(), head->data(), head->size())) < 0 && errno == EINTR) {
  }
  if (n < 0) return false;
  head->resize(static_cast<size_t>(n));
  return true;
}

// The first word of a text after white space and "//" comment lines.
std::string_view FirstWord(std::string_view text) {
  for (;;) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t\r\n"), text.size()));
    if (text.substr(0, 2) != "//") break;
    text.remove_prefix(std::min(text.find('\n'), text.size()));
  }
  return text.substr(0, text.find_first_of(" \t\r\n"));
}

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
    PartLook& look = materials[m].look;
    const int32_t image = streamed.material_image[m];
    if (image >= 0 && static_cast<size_t>(image) < streamed.images.size()) {
      look.texture_file =
          ClampField(stem + "-" + std::to_string(image + 1) + ".png", kTextureFileSize);
      look.texture_embedded = true;
      if (!options.load_textures) continue;
      auto [it, added] = decoded.try_emplace(image);
      if (added) it->second = DecodeSceneImage(streamed.images[static_cast<size_t>(image)]);
      look.texture = it->second;
      continue;
    }
    look.texture_file = StoredTextureName(look.texture_file);
    if (options.load_textures && !look.texture_file.empty()) {
      look.texture = LoadTextureFile(StoredFilePath(directory, look.texture_file), &cache);
    }
  }
}

// The library's readers fill large buffers they have just allocated (its OBJ reader 16 MB even for
// a cube): backed by huge pages where the system gives them on request, a fresh process pays a
// few page faults for them instead of thousands.
std::vector<std::string> HelperEnvironment() {
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  const std::string huge = "glibc.malloc.hugetlb=1";
  return {"GLIBC_TUNABLES=" +
          (tunables != nullptr && *tunables != 0 ? std::string(tunables) + ":" + huge : huge)};
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

// A scene of meshes only: no skin, no animation and nothing the skeletal import would have to
// report as left out.
bool PlainMeshes(const SceneDescription& scene) {
  const SceneLeftOut& left = scene.left_out;
  return scene.animations.empty() &&
         std::all_of(scene.meshes.begin(), scene.meshes.end(),
                     [](const SceneMesh& mesh) { return mesh.bones.empty(); }) &&
         left.morph_targets == 0 && left.texture_coordinate_sets == 0 && left.vertex_colours == 0 &&
         left.cameras == 0 && left.lights == 0 && left.missing_joints == 0;
}

// Every node's rest transform in the scene, or false for a parent that does not exist or a
// node that is its own ancestor.
bool PlaceNodes(const std::vector<SceneNode>& nodes, std::vector<SceneMatrix>* global) {
  global->assign(nodes.size(), kSceneIdentity);
  std::vector<char> placed(nodes.size(), 0);
  std::vector<size_t> chain;
  for (size_t n = 0; n < nodes.size(); ++n) {
    // Up to the first placed ancestor, then down again.
    for (size_t a = n; !placed[a]; a = static_cast<size_t>(nodes[a].parent)) {
      chain.push_back(a);
      if (chain.size() > nodes.size()) return false;
      if (nodes[a].parent < 0) break;
      if (static_cast<size_t>(nodes[a].parent) >= nodes.size()) return false;
    }
    for (; !chain.empty(); chain.pop_back()) {
      const size_t a = chain.back();
      const SceneMatrix local = MatrixOf(nodes[a].rest);
      const int parent = nodes[a].parent;
      (*global)[a] = parent < 0 ? local : Multiply((*global)[static_cast<size_t>(parent)], local);
      placed[a] = 1;
    }
  }
  return true;
}

// What the skeletal import makes of a scene of meshes only (Parts by material, materials in order
// and the default one last, each mesh placed by its node, faces turned for our mirrored z), the
// linear way the mesh readers build theirs: the skeletal import's general path sorts every corner.
bool BuildPlainMeshes(const SceneDescription& scene, Model& model, Host& host, ReadError* error) {
  std::vector<SceneMatrix> global;
  if (!PlaceNodes(scene.nodes, &global)) {
    return Fail(error, ReadErrorKind::kBadData, "a node that is its own ancestor or has no parent");
  }
  MeshBuilder builder(host, {kMaxSceneElements, kMaxSceneElements});
  const int materials = static_cast<int>(scene.materials.size());
  for (const SceneMaterial& m : scene.materials) {
    if (!builder.AddPart(error)) return false;
    PartLook& look = builder.Look(builder.part_count() - 1);
    look = m.look;
    look.name = PartName(m.name);
  }
  std::vector<Vec3> positions, normals;
  std::vector<float> u, v;
  std::vector<Face> faces;
  for (const SceneMesh& mesh : scene.meshes) {
    const size_t n = mesh.positions.size();
    if (mesh.triangles.empty()) continue;
    if (mesh.material < -1 || mesh.material >= materials || mesh.node < -1 ||
        mesh.node >= static_cast<int64_t>(scene.nodes.size()) ||
        (!mesh.normals.empty() && mesh.normals.size() != n) ||
        (!mesh.uvs.empty() && mesh.uvs.size() != n) || mesh.triangles.size() % 3 != 0) {
      return Fail(error, ReadErrorKind::kBadData, "a mesh whose lists or references are broken");
    }
    const SceneMatrix& place = mesh.node < 0 ? kSceneIdentity : global[mesh.node];
    const std::array<double, 9> turn = NormalMatrix(place);
    positions.resize(n);
    normals.resize(mesh.normals.size());
    u.resize(mesh.uvs.size());
    v.resize(mesh.uvs.size());
    for (size_t i = 0; i < n; ++i) {
      const auto& p = mesh.positions[i];
      const std::array<double, 3> at = TransformPoint(place, {p[0], p[1], p[2]});
      positions[i] = {static_cast<float>(at[0]), static_cast<float>(at[1]),
                      -static_cast<float>(at[2])};
      if (!std::isfinite(positions[i].x) || !std::isfinite(positions[i].y) ||
          !std::isfinite(positions[i].z)) {
        return Fail(error, ReadErrorKind::kBadData, "a position that is not a finite number");
      }
      if (!mesh.uvs.empty()) {
        u[i] = mesh.uvs[i][0];
        v[i] = mesh.uvs[i][1];
      }
      if (mesh.normals.empty()) continue;
      const auto& d = mesh.normals[i];
      normals[i] =
          Normalize(Vec3{static_cast<float>(turn[0] * d[0] + turn[1] * d[1] + turn[2] * d[2]),
                         static_cast<float>(turn[3] * d[0] + turn[4] * d[1] + turn[5] * d[2]),
                         -static_cast<float>(turn[6] * d[0] + turn[7] * d[1] + turn[8] * d[2])});
    }
    faces.resize(mesh.triangles.size() / 3);
    for (size_t t = 0; t < faces.size(); ++t) {
      const uint32_t* c = mesh.triangles.data() + t * 3;
      faces[t] = Face{{c[0], c[2], c[1], kNoCorner}};
    }
    int part = mesh.material;
    if (part < 0) {
      if (builder.part_count() == materials && !builder.AddPart(error)) return false;
      part = materials;
    }
    if (!builder.AddMesh(part, {positions, u, v, {}, normals}, faces, error)) return false;
  }
  return builder.Build(model, error);
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
  const PathParts parts = SplitPath(path);
  AttachTextures(streamed, std::string(parts.folder), std::string(parts.stem), options);
  if (PlainMeshes(streamed.scene)) return BuildPlainMeshes(streamed.scene, model, host, error);
  SkeletonImportOptions skeleton;
  skeleton.skeleton = options.skeleton.value_or(true);
  skeleton.interval = options.import_interval;
  return BuildModelFromScene(streamed.scene, skeleton, model, host, options.skeleton_report,
                             error) &&
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

bool StartsLikeFamily(ModelFormat family, std::string_view head) {
  const auto starts = [&](std::string_view prefix) {
    return head.substr(0, prefix.size()) == prefix;
  };
  const auto holds = [&](std::string_view text) {
    return head.find(text) != std::string_view::npos;
  };
  switch (family) {
    case ModelFormat::kFbx:
      return starts("Kaydara FBX Binary") || holds("FBXHeaderExtension");
    case ModelFormat::kCollada:
      return holds("<COLLADA") || starts("PK\x03\x04");
    case ModelFormat::kMilkshape:
      return starts("MS3D000000");
    case ModelFormat::kSmd:
      return FirstWord(head) == "version";
    case ModelFormat::kMd5:
      return FirstWord(head) == "MD5Version";
    case ModelFormat::kPly:
      return starts("ply\n") || starts("ply\r\n");
    case ModelFormat::k3ds:
      return starts("MM");
    default:  // OBJ and STL
      return true;
  }
}

bool ImportAs(ModelFormat family, Model& model, const std::string& path, Host& host,
              const ReadOptions& options, ReadError* error) {
  Reset(model);
  std::string head;
  if (!ReadHead(ResolveFileName(path), &head)) {
    return Fail(error, ReadErrorKind::kIo, "cannot open the file");
  }
  if (!StartsLikeFamily(family, head)) {
    return Fail(error, ReadErrorKind::kNotThisFormat,
                "the file does not begin as this format's do");
  }
  return ImportWithHelper(model, path, host, options, error);
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
  return ParseIntoModel(model, error, [&] {
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
    const ChildResult run = RunChild(helper, {resolved}, limits, keep_going, HelperEnvironment());
    if (run.outcome != ChildOutcome::kExited || run.exit_status != 0) {
      return HelperFailed(run, limits, error);
    }
    if (options.progress && !options.progress(total, total)) {
      return Fail(error, ReadErrorKind::kCancelled, "cancelled");
    }
    return BuildFromStream(model, path, run.output, host, options, error);
  });
}

}  // namespace vorna
