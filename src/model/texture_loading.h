// Loading a Part's texture from an image file.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "model/model.h"

namespace vorna {

// Textures decoded during one model load, by resolved path, so that Parts naming the same file
// share one texture and each file is decoded once. Failures are remembered too.
class TextureCache {
 public:
  std::shared_ptr<const Texture> Get(const std::string& path);

 private:
  std::map<std::string, std::shared_ptr<const Texture>> textures_;
};

// The image file at `path` (resolved as stored names are) as a texture with its full mip chain,
// or null when it cannot be decoded (missing file, a directory, an undecodable image). `cache`
// may be null.
std::shared_ptr<const Texture> LoadTextureFile(const std::string& path, TextureCache* cache);

// Releases the Part's texture, then loads `path` (resolved as stored names are) with its full mip
// chain. On success texture_rect = 0, 0, width, height; on failure (missing file, a directory,
// an undecodable image) the Part has no texture and texture_rect is all zeros. `cache` may be
// null.
bool LoadTexture(Part& part, const std::string& path, TextureCache* cache);

}  // namespace vorna
