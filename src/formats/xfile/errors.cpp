#include "formats/xfile/errors.h"

namespace vorna::xfile {

void WarningList::Add(std::string text, std::uint64_t offset) {
  for (Warning& known : entries_) {
    if (known.text == text) {
      if (known.count < UINT32_MAX) ++known.count;
      return;
    }
  }
  if (entries_.size() < kMaxDistinct) entries_.push_back({std::move(text), offset, 1});
}

}  // namespace vorna::xfile
