#include "model/texture_loading.h"

#include "images/decode.h"
#include "model/file_paths.h"

namespace vorna {

namespace {

std::shared_ptr<const Texture> Decode(const std::string& resolved) {
  Image image;
  if (!FileExists(resolved) || !DecodeImageFile(resolved, &image)) return nullptr;
  return Texture::FromImage(std::move(image));
}

}  // namespace

std::shared_ptr<const Texture> TextureCache::Get(const std::string& path) {
  auto it = textures_.find(path);
  if (it != textures_.end()) return it->second;
  auto texture = Decode(path);
  textures_.emplace(path, texture);
  return texture;
}

std::shared_ptr<const Texture> LoadTextureFile(const std::string& path, TextureCache* cache) {
  const std::string resolved = ResolveFileName(path);
  return cache != nullptr ? cache->Get(resolved) : Decode(resolved);
}

bool LoadTexture(Part& part, const std::string& path, TextureCache* cache) {
  part.texture.reset();
  part.texture_rect = {0, 0, 0, 0};
  part.texture = LoadTextureFile(path, cache);
  if (part.texture == nullptr) return false;
  part.texture_rect = {0, 0, part.texture->width(), part.texture->height()};
  return true;
}

}  // namespace vorna
