#include "formats/texture_files.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <string_view>
#include <vector>

#include "images/encode.h"
#include "io/atomic_file.h"

namespace vorna {

bool WriteTextureFiles(const Model& model, const std::string& directory, WriteError* error) {
  std::vector<std::string> written;
  assert(model.parts_count >= 0 && static_cast<size_t>(model.parts_count) <= model.parts.size());
  for (int p = 0; p < model.parts_count; ++p) {
    const Part& part = model.parts[p];
    if (!part.texture_embedded || part.texture == nullptr || part.texture_file.empty()) continue;
    if (std::find(written.begin(), written.end(), part.texture_file) != written.end()) continue;
    written.push_back(part.texture_file);
    const std::string path = directory + part.texture_file;
    std::vector<uint8_t> png;
    if (!EncodePngWithAlpha(part.texture->levels().front(), &png)) {
      return Fail(error, WriteErrorKind::kModel, "cannot encode the texture", path);
    }
    const std::string_view bytes(reinterpret_cast<const char*>(png.data()), png.size());
    if (!WriteFileAtomically(path, bytes, {}, error)) return false;
  }
  return true;
}

}  // namespace vorna
