// The reading choices every vorna-cli command that loads a model takes: whether skeletons come in
// (--skeleton, --no-skeleton; each format's own default otherwise) and how densely other tools'
// animations are sampled (--import-interval SECONDS).
#pragma once

#include <string>
#include <vector>

#include "io/read_options.h"

namespace vorna {

// The options' lines for a command's --help.
extern const char* const kImportOptionsHelp;

// When args[i] is one of the options, takes it (and its value, moving i past it) into `options`
// and returns true; `problem` is then set when the value is unusable. False for any other word.
bool TakeImportOption(const std::vector<std::string>& args, size_t& i, ReadOptions& options,
                      std::string* problem);

}  // namespace vorna
