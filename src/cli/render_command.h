// vorna-cli render: one frame of a model, drawn as the editor draws it, written as an image.
#pragma once

#include <string>
#include <vector>

namespace vorna {

// `vorna-cli render IN OUT [OPTIONS]`; returns the exit status of cli/commands.h.
int RunRender(const std::vector<std::string>& args);

}  // namespace vorna
