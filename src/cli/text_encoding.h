// Names stored in models are raw bytes (older files hold CP932); a terminal wants UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vorna {

// `text` itself when it is valid UTF-8, else its CP932 reading converted to UTF-8; bytes that
// neither reading accepts become U+FFFD.
std::string DisplayText(std::string_view text);

}  // namespace vorna
