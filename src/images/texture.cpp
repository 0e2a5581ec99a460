#include <exception>
#include <utility>

#include "images/image.h"
#include "images/scale.h"

namespace vorna {

std::shared_ptr<const Texture> Texture::FromImage(Image image) {
  if (!image.valid()) return nullptr;
  try {
    auto texture = std::shared_ptr<Texture>(new Texture());
    texture->levels_.push_back(std::move(image));
    while (texture->levels_.back().width > 1 || texture->levels_.back().height > 1) {
      texture->levels_.push_back(HalveImage(texture->levels_.back()));
    }
    return texture;
  } catch (const std::exception&) {
    return nullptr;
  }
}

}  // namespace vorna
