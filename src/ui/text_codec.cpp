#include "ui/text_codec.h"

#include "model/name_text.h"

namespace vorna {

QString FromCp932(std::string_view bytes) {
  const std::string utf8 = Cp932ToUtf8(bytes);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool ToCp932(const QString& text, std::string* bytes) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())), bytes);
}

bool FitsCp932(const QString& text) {
  std::string ignored;
  return ToCp932(text, &ignored);
}

QValidator::State Cp932Validator::validate(QString& input, int&) const {
  std::string bytes;
  if (!ToCp932(input, &bytes)) return Invalid;
  return bytes.size() <= max_bytes_ ? Acceptable : Invalid;
}

}  // namespace vorna
