#include "ui/text_codec.h"

#include <iconv.h>

#include <cerrno>

namespace vorna {
namespace {

// One conversion descriptor per call: iconv keeps shift state, and the widgets convert short
// names only.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
  ~Converter() {
    if (ok()) ::iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `in`; a sequence without a conversion is passed to `on_invalid`, which
  // returns false to give up. Returns false when it gave up.
  template <typename OnInvalid>
  bool Run(std::string_view in, std::string* out, OnInvalid on_invalid) {
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
        if (!on_invalid(out)) return false;
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

QString FromCp932(std::string_view bytes) {
  std::string utf8;
  Converter converter("UTF-8", "CP932");
  if (!converter.ok()) return QString(static_cast<int>(bytes.size()), QChar(0xFFFD));
  converter.Run(bytes, &utf8, [](std::string* out) {
    out->append("\xEF\xBF\xBD");
    return true;
  });
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool ToCp932(const QString& text, std::string* bytes) {
  const QByteArray utf8 = text.toUtf8();
  std::string converted;
  Converter converter("CP932", "UTF-8");
  if (!converter.ok()) return false;
  if (!converter.Run(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())),
                     &converted, [](std::string*) { return false; })) {
    return false;
  }
  *bytes = std::move(converted);
  return true;
}

bool FitsCp932(const QString& text) {
  std::string ignored;
  return ToCp932(text, &ignored);
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

QValidator::State Cp932Validator::validate(QString& input, int&) const {
  std::string bytes;
  if (!ToCp932(input, &bytes)) return Invalid;
  return bytes.size() <= max_bytes_ ? Acceptable : Invalid;
}

}  // namespace vorna
