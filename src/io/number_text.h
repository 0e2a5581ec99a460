// Numbers as text, independent of the process locale (the editor sets it from the environment,
// and a decimal comma must never reach a model file or a dialog): fixed decimals as printf's
// "%.*f" prints them in the C locale, whole numbers read as scanf's "%d" and atoi read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorna {

// Appends printf("%.*f", decimals, value) as the C locale prints it: "1.500", "-0.250", and
// "inf", "-inf", "nan", "-nan" spelled as glibc spells them.
void AppendFixed(std::string& out, double value, int decimals);
std::string FormatFixed(double value, int decimals);

// FormatFixed(value, 6), except that a value that rounds to zero has no sign: "-0.000000" in a
// proposed move reads as a fault to the user.
std::string FormatFixed6(double value);

// `value` in decimal digits with a leading '-' when negative, as every dialog shows a whole
// number.
std::string FormatWholeNumber(int64_t value);

struct WholeNumberScan {
  int32_t value = 0;
  size_t end = 0;  // where the digits stop; 0 when `text` holds no number
};

// The whole number at the start of `text` as "%d" reads it: white space skipped, an optional
// sign, the digits. Values beyond 32 bits saturate.
WholeNumberScan ScanWholeNumber(std::string_view text);

// The leading whole number of `text` as atoi reads it (ScanWholeNumber's value); 0 when there is
// none.
int ParseWholeNumber(std::string_view text);

// `text` as a whole number when it is nothing else: an optional '-' and digits, no spaces, no
// '+'. Values beyond 32 bits saturate (a caller's range check refuses them).
std::optional<int> ParseWholeNumberExactly(std::string_view text);

// The leading decimal number of `text` (after spaces, an optional sign); `fallback` when there is
// none or when it is not finite.
double ParseDecimal(std::string_view text, double fallback = 0.0);

}  // namespace vorna
