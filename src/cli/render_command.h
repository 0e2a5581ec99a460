// vorna-cli render: one frame of a model, drawn as the editor draws it, written as an image.
#pragma once

#include <string>
#include <vector>

#include "io/read_options.h"
#include "model/host.h"
#include "model/model.h"
#include "render/camera.h"

namespace vorna {

// Loads `path` into `model` as the editor opens a file for showing (the unit markers follow a
// fitted model's size), asking `host` the fit question. False with the one-line reason, as the
// editor words it, in `error`.
bool LoadModelToDraw(const std::string& path, Model& model, RenderContext& context, Host& host,
                     std::string* error, const ReadOptions& options = {});

// `vorna-cli render IN OUT [OPTIONS]`; returns the exit status of cli/commands.h.
int RunRender(const std::vector<std::string>& args);

}  // namespace vorna
