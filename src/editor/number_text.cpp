#include "editor/number_text.h"

#include <charconv>
#include <climits>
#include <cmath>

namespace vorna {

namespace {

std::string_view SkipSpaces(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                             text[i] == '\r' || text[i] == '\v' || text[i] == '\f')) {
    ++i;
  }
  return text.substr(i);
}

}  // namespace

std::string FormatWholeNumber(int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FormatFixed6(double value) {
  char buffer[400];  // enough for the largest double in fixed notation
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return "0.000000";
  std::string text(buffer, result.ptr);
  // A value that rounds to zero shows without a sign: "-0.000000" in a proposed move reads as a
  // fault to the user.
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

int ParseWholeNumber(std::string_view text) {
  text = SkipSpaces(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

double ParseDecimal(std::string_view text, double fallback) {
  text = SkipSpaces(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  // from_chars takes no sign of its own here: "--1" must not read as a number.
  if (text.empty() || text[0] == '-') return fallback;
  double value = 0.0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::invalid_argument) return fallback;
  if (result.ec == std::errc::result_out_of_range || !std::isfinite(value)) return fallback;
  return negative ? -value : value;
}

}  // namespace vorna
