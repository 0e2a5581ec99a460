// Choosing a Part's texture image without the file dialog: the dialog's filters, the extension
// added to a typed name, the offer to copy the image beside the model (never over a file that is
// already there) and the load from the model's directory.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// One entry of the image open dialog's filter list (filter index 1 to 6).
struct TextureImageFilter {
  std::string filter_text;     // "PNGファイル (*.png)"
  std::string patterns;        // "*.png", several separated by ';'
  std::string_view extension;  // ".png" added to a name without a dot; empty for 1 and 6
};

// Every image format that is read, gathered in the first entry; JPEG, PNG, BMP and DDS on their
// own; then every file.
std::vector<TextureImageFilter> TextureImageFilters();

// The path to use for the name chosen with filter index `filter_index` (1-based): the filter's
// extension is added when the file name has no '.' at all (filters 2 to 5 only); otherwise the
// name is kept. Empty for an empty name or a filter index outside 1..6.
std::string TextureImagePath(const std::string& chosen, int filter_index);

// The name a chosen image is stored under: its file name, after the last '/' or '\\'.
std::string TextureFileNameOf(const std::string& chosen);

inline constexpr std::string_view kCopyTextureQuestion =
    "テクスチャファイルを実行ファイルのディレクトリにコピーしますか？";

enum class CopyResult { kCopied, kExists, kFailed };

// Copies the regular file `from` to `to` unless `to` already exists (kExists, nothing touched).
// A failed copy leaves no partial file behind. Anything but a regular file (a directory, a
// device, a pipe) is refused without being read.
CopyResult CopyFileNoOverwrite(const std::string& from, const std::string& to);

// Uses the image at `chosen` (a full path) for Part `part`: its file name, in CP932 when it has a
// CP932 form, becomes the Part's texture_file; when `chosen` is not model_dir + that name (both
// made absolute and compared ignoring case, as stored names are), the host is asked whether to copy
// it there, and on Yes it is copied unless a file of that name is already there (then that file is
// used, silently). Then the texture is loaded from model_dir + texture_file (copy and load under
// the wait cursor), so an image outside the model's directory that was not copied leaves the Part
// untextured. False, changing nothing, for a Part that does not exist or a name that cannot be
// stored (empty, or kTextureFileSize bytes or more).
bool UseTextureImage(Model& model, int part, const std::string& chosen, Host& host);

}  // namespace vorna
