// vorna-cli thumbnail: the picture a file manager shows for a model file.
#pragma once

#include <string>
#include <vector>

#include "images/image.h"
#include "model/model.h"
#include "render/camera.h"

namespace vorna {

// `vorna-cli thumbnail [--size N] IN OUT.png`; returns the exit status of cli/commands.h. Quiet
// on success; on any failure exactly one line on stderr and no OUT written.
int RunThumbnail(const std::vector<std::string>& args);

// The model in `model` (loaded, any Motion) drawn as the editor's still front view of Motion 1
// with materials and textures, on a transparent background, fitted into a side x side square
// with a small margin: RGBA, straight alpha, edges smoothed. Changes the model's pose, size and
// position. Empty when nothing is drawn (no faces) or the device cannot be created.
Image DrawModelThumbnail(RenderContext& context, Model& model, int side);

}  // namespace vorna
