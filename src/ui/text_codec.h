// Names stored in models (nodes, anims, texture files) are CP932 bytes, as files written on the
// original platform hold them; widgets show and edit UTF-16 text. The conversion happens only
// here, at the widget, so that a name the user does not edit keeps its bytes exactly.
#pragma once

#include <QString>
#include <QValidator>
#include <string>
#include <string_view>

#include "model/name_text.h"

namespace vorna {

// The text of CP932 `bytes`; a byte sequence CP932 has no reading for shows as U+FFFD.
QString FromCp932(std::string_view bytes);

// `text` as CP932 bytes. Returns false, leaving `bytes` untouched, when some character has no
// CP932 form (it could not be stored in a model file).
bool ToCp932(const QString& text, std::string* bytes);

// True when every character of `text` has a CP932 form.
bool FitsCp932(const QString& text);

// Accepts only text a model can store: CP932 characters, at most `max_bytes` bytes of them.
class Cp932Validator : public QValidator {
 public:
  Cp932Validator(size_t max_bytes, QObject* parent) : QValidator(parent), max_bytes_(max_bytes) {}
  State validate(QString& input, int& position) const override;

 private:
  size_t max_bytes_;
};

}  // namespace vorna
