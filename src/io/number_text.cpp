#include "io/number_text.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vorna {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view SkipSpaces(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  return text.substr(i);
}

}  // namespace

void AppendFixed(std::string& out, double value, int decimals) {
  // Enough for the largest double in fixed notation and the decimals any caller asks for.
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  out.append(buffer, result.ptr);
}

std::string FormatFixed(double value, int decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

std::string FormatFixed6(double value) {
  std::string text = FormatFixed(value, 6);
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  return text;
}

std::string FormatWholeNumber(int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

WholeNumberScan ScanWholeNumber(std::string_view text) {
  size_t p = 0;
  while (p < text.size() && IsSpace(text[p])) ++p;
  bool negative = false;
  if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
    negative = text[p] == '-';
    ++p;
  }
  const size_t digits = p;
  // Kept just beyond 32 bits while reading on, so that the saturation below sees any excess.
  int64_t magnitude = 0;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    if (magnitude <= (int64_t{1} << 40)) magnitude = magnitude * 10 + (text[p] - '0');
  }
  if (p == digits) return {};
  const int64_t value = negative ? -magnitude : magnitude;
  constexpr int64_t kLow = std::numeric_limits<int32_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int32_t>::max();
  return {static_cast<int32_t>(value < kLow ? kLow : value > kHigh ? kHigh : value), p};
}

int ParseWholeNumber(std::string_view text) { return ScanWholeNumber(text).value; }

std::optional<int> ParseWholeNumberExactly(std::string_view text) {
  if (text.empty() || IsSpace(text[0]) || text[0] == '+') return std::nullopt;
  const WholeNumberScan scan = ScanWholeNumber(text);
  if (scan.end != text.size()) return std::nullopt;
  return scan.value;
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
