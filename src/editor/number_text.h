// Numbers as the editing dialogs show and read them, independent of the process locale: "%f"
// with six decimals, whole numbers read as a C program's atoi would, decimals as atof would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorna {

// `value` as "%f" prints it in the C locale ("1.000000", "-0.500000", "inf", "nan"), except that
// a value that rounds to zero has no sign.
std::string FormatFixed6(double value);

// `value` in decimal digits with a leading '-' when negative, as every dialog shows a whole
// number.
std::string FormatWholeNumber(int64_t value);

// The leading whole number of `text` (after spaces, an optional sign, the digits); 0 when there
// is none. Values beyond the int range are clamped.
int ParseWholeNumber(std::string_view text);

// The leading decimal number of `text` (after spaces, an optional sign); `fallback` when there is
// none or when it is not finite.
double ParseDecimal(std::string_view text, double fallback = 0.0);

}  // namespace vorna
