#include "editor/texture_file_choice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>

#include "images/image_formats.h"
#include "io/atomic_file.h"
#include "io/descriptor.h"
#include "io/path_parts.h"
#include "model/file_paths.h"
#include "model/name_text.h"
#include "model/part_range.h"
#include "model/texture_loading.h"

namespace vorna {
namespace {

bool CopyContents(int in, int out) {
  std::array<char, 64 * 1024> buffer;
  for (;;) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(got)))) return false;
  }
}

// Whether two paths name the same place, ignoring case as stored names do. Both are made
// absolute and normalised first: a model opened by a relative path or one with "./" in it keeps
// its directory that way, and the chosen image's path is absolute.
bool SamePlaceIgnoringCase(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path full_a = std::filesystem::absolute(a, error).lexically_normal();
  if (error) return EqualsIgnoringCase(a, b);
  const std::filesystem::path full_b = std::filesystem::absolute(b, error).lexically_normal();
  if (error) return EqualsIgnoringCase(a, b);
  return EqualsIgnoringCase(full_a.string(), full_b.string());
}

}  // namespace

std::vector<TextureImageFilter> TextureImageFilters() {
  std::string listed;
  std::string patterns;
  for (const ImageFormatRow& row : ImageFormatRows()) {
    if (row.decode == nullptr) continue;
    listed.append(listed.empty() ? "*" : "; *").append(row.extension);
    patterns.append(patterns.empty() ? "*" : ";*").append(row.extension);
  }
  std::vector<TextureImageFilter> filters = {{"画像ファイル (" + listed + ")", patterns, ""}};
  for (const ImageFormat format :
       {ImageFormat::kJpeg, ImageFormat::kPng, ImageFormat::kBmp, ImageFormat::kDds}) {
    const ImageFormatRow& row = ImageFormatRowOf(format);
    std::string pattern = "*";
    pattern.append(row.extension);
    filters.push_back({std::string(row.dialog_label), pattern, row.extension});
  }
  filters.push_back({"すべてのファイル (*.*)", "*.*", ""});
  return filters;
}

std::string TextureImagePath(const std::string& chosen, int filter_index) {
  const std::vector<TextureImageFilter> filters = TextureImageFilters();
  if (chosen.empty() || filter_index < 1 || filter_index > static_cast<int>(filters.size())) {
    return {};
  }
  const std::string_view extension = filters[filter_index - 1].extension;
  if (extension.empty() || !SplitPath(chosen).extension.empty()) return chosen;
  return chosen + std::string(extension);
}

std::string TextureFileNameOf(const std::string& chosen) {
  const size_t slash = chosen.find_last_of("/\\");
  return slash == std::string::npos ? chosen : chosen.substr(slash + 1);
}

CopyResult CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  // Non-blocking open so that a pipe without a writer cannot hang the editor before the type
  // check refuses it.
  Descriptor in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (in.get() < 0 || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return CopyResult::kFailed;
  }
  const int flags = ::fcntl(in.get(), F_GETFL);
  if (flags < 0 || ::fcntl(in.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return CopyResult::kFailed;

  // O_EXCL makes "already there" and "create" one step: an existing file (or a link of that
  // name) is never replaced, not even when it is the source itself under another spelling.
  Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) return errno == EEXIST ? CopyResult::kExists : CopyResult::kFailed;
  const bool copied = CopyContents(in.get(), out.get());
  if (!out.Close() || !copied) {
    ::unlink(to.c_str());
    return CopyResult::kFailed;
  }
  return CopyResult::kCopied;
}

bool UseTextureImage(Model& model, int part, const std::string& chosen, Host& host) {
  if (part < 0 || part >= UsablePartCount(model)) return false;
  const std::string name = TextureFileNameOf(chosen);
  // Model files name their textures in CP932, as the tree stores node names; the file here keeps
  // its own name, which StoredFilePath finds from the CP932 one. A name without a CP932 form is
  // stored as it is.
  std::string stored_name;
  if (!Utf8ToCp932(name, &stored_name)) stored_name = name;
  if (name.empty() || stored_name.size() >= static_cast<size_t>(kTextureFileSize)) return false;

  Part& record = model.parts[part];
  record.texture_file = stored_name;
  const std::string stored = model.model_dir + name;
  const bool copy =
      !SamePlaceIgnoringCase(chosen, stored) &&
      host.Question(kCopyTextureQuestion, Buttons::kYesNo, MessageIcon::kNone) == Answer::kYes;
  WaitCursor wait(host);
  // A file of that name already in the model's directory is kept and used as it is.
  if (copy) CopyFileNoOverwrite(chosen, stored);
  LoadTexture(record, stored, nullptr);
  return true;
}

}  // namespace vorna
