// The sample character that `make run` opens: a textured figure of rounded limbs whose skin
// bends smoothly at every joint, with a walk, a wave and an idle. Node and anim names are
// Japanese, stored as CP932 as a user's files hold them.
#pragma once

#include "images/image.h"
#include "model/model.h"

namespace vorna {

// The texture image's name, next to the model file.
inline constexpr char kCharacterTextureFile[] = "character_texture.png";

// Resets `model` and builds the character in it; its Parts name kCharacterTextureFile but no
// texture is loaded.
void BuildCharacterModel(Model& model);

// Paints the character's texture: skin, hair and face, shirt, trousers and shoes, one cell each.
Image PaintCharacterTexture();

}  // namespace vorna
