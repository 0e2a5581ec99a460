#include "cli/text_encoding.h"

#include "model/name_text.h"

namespace vorna {

std::string DisplayText(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  return Cp932ToUtf8(text);
}

}  // namespace vorna
