#include "model/name_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

namespace vorna {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// One conversion descriptor per call: iconv keeps shift state, and names are short.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`. A sequence without a conversion is replaced by `replacement`, or ends
  // the conversion with false when `replacement` is null.
  bool Run(std::string_view in, std::string* out, const std::string_view* replacement) {
    std::string input(in);
    char* in_ptr = input.data();
    size_t in_left = input.size();
    char buffer[256];
    while (in_left > 0) {
      char* out_ptr = buffer;
      size_t out_left = sizeof buffer;
      const size_t result = ::iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left);
      out->append(buffer, static_cast<size_t>(out_ptr - buffer));
      if (result == static_cast<size_t>(-1) && errno != E2BIG) {
        if (replacement == nullptr) return false;
        out->append(*replacement);
        // EINVAL (a lead byte at the very end) and EILSEQ alike: skip one byte.
        ++in_ptr;
        --in_left;
      }
    }
    return true;
  }

 private:
  iconv_t cd_;
};

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int extra;
    uint32_t code;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= text.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) out += kReplacement;
    return out;
  }
  std::string out;
  converter.Run(bytes, &out, &kReplacement);
  return out;
}

std::string StoredNameAsUtf8(std::string_view name) {
  return IsValidUtf8(name) ? std::string(name) : Cp932ToUtf8(name);
}

bool Utf8ToCp932(std::string_view utf8, std::string* bytes) {
  if (!IsValidUtf8(utf8)) return false;
  Converter converter("CP932", "UTF-8");
  std::string converted;
  if (!converter.ok() || !converter.Run(utf8, &converted, nullptr)) return false;
  *bytes = std::move(converted);
  return true;
}

std::string ClampCp932(std::string_view bytes, size_t max_bytes) {
  size_t end = 0;
  while (end < bytes.size()) {
    const size_t width =
        IsLeadByte(static_cast<unsigned char>(bytes[end])) && end + 1 < bytes.size() ? 2 : 1;
    if (end + width > max_bytes) break;
    end += width;
  }
  return std::string(bytes.substr(0, end));
}

}  // namespace vorna
