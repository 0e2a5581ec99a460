#include "formats/text_io.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "io/number_text.h"

namespace vorna {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The writers print "%f": a sign, a few digits, a point and six more. When all the digits fit in
// 24 bits, the value is the digits divided by a power of ten, both exact in a float, and that one
// correctly rounded division is the correctly rounded result. Anything else is for from_chars.
bool FastFixedPoint(const char* p, const char* end, float* value, const char** stop) {
  const bool negative = p < end && *p == '-';
  if (negative) ++p;
  constexpr int kMaxDigits = 8;
  constexpr float kPowersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f};
  uint32_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  auto is_digit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
  for (; p < end && is_digit(*p) && digits < kMaxDigits; ++p, ++digits) {
    mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
  }
  if (p < end && *p == '.') {
    ++p;
    // Six decimals, as written, converted together: "00" and the six digits read as one eight-byte
    // word hold eight digits exactly when all six are digits.
    if constexpr (std::endian::native == std::endian::little) {
      if (end - p >= 8 && digits <= 2) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        const uint64_t six = (word << 16) | 0x3030u;
        if ((((six & 0xF0F0F0F0F0F0F0F0u) |
              (((six + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) == 0x3333333333333333u) &&
            !is_digit(p[6])) {
          uint64_t v = six - 0x3030303030303030u;
          v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFu;
          v = (((v & 0x000000FF000000FFu) * (100 + (uint64_t{1000000} << 32))) +
               (((v >> 16) & 0x000000FF000000FFu) * (1 + (uint64_t{10000} << 32)))) >>
              32;
          mantissa = mantissa * 1000000 + static_cast<uint32_t>(v);
          digits += 6;
          decimals = 6;
          p += 6;
        }
      }
    }
    for (; p < end && is_digit(*p) && digits < kMaxDigits; ++p, ++digits, ++decimals) {
      mantissa = mantissa * 10 + static_cast<uint32_t>(*p - '0');
    }
  }
  if (digits == 0 || mantissa > (1u << 24)) return false;
  if (p < end && (is_digit(*p) || *p == '.' || *p == 'e' || *p == 'E')) return false;
  const float magnitude = static_cast<float>(mantissa) / kPowersOfTen[decimals];
  *value = negative ? -magnitude : magnitude;
  *stop = p;
  return true;
}

}  // namespace

void LineScanner::SkipSpace() {
  while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
}

bool LineScanner::Int(int32_t* value) {
  if (failed_) return false;
  const WholeNumberScan scan = ScanWholeNumber(text_.substr(pos_));
  if (scan.end == 0) {
    failed_ = true;
    return false;
  }
  *value = scan.value;
  pos_ += scan.end;
  return true;
}

bool LineScanner::Float(float* value) {
  if (failed_) return false;
  SkipSpace();
  const char* begin = text_.data() + pos_;
  const char* end = text_.data() + text_.size();
  if (const char* stop = nullptr; FastFixedPoint(begin, end, value, &stop)) {
    pos_ = static_cast<size_t>(stop - text_.data());
    return true;
  }
  const char* first = begin;
  if (first < end && *first == '+') {
    ++first;
    if (first < end && *first == '-') first = end;  // "+-1" is no number
  }
  float parsed = 0.0f;
  auto [ptr, ec] = std::from_chars(first, end, parsed, std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Beyond float's range: scanf gives infinity for huge magnitudes and zero for tiny ones.
    const bool negative = *first == '-';
    double wide = 0.0;
    bool huge;
    if (std::from_chars(first, ptr, wide, std::chars_format::general).ec == std::errc()) {
      huge = std::fabs(wide) > 1.0;
    } else {
      const char* e = first;
      while (e < ptr && *e != 'e' && *e != 'E') ++e;
      huge = !(e + 1 < ptr && e[1] == '-');
    }
    const float magnitude = huge ? std::numeric_limits<float>::infinity() : 0.0f;
    parsed = negative ? -magnitude : magnitude;
  } else if (ec != std::errc()) {
    failed_ = true;
    return false;
  }
  *value = parsed;
  pos_ = static_cast<size_t>(ptr - text_.data());
  return true;
}

bool LineScanner::Word(std::string* value, size_t max_bytes) {
  if (failed_) return false;
  SkipSpace();
  const size_t start = pos_;
  while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
  if (pos_ == start) {
    failed_ = true;
    return false;
  }
  value->assign(text_.substr(start, std::min(pos_ - start, max_bytes)));
  return true;
}

void AppendInt(std::string& out, int64_t value) {
  char buffer[24];
  auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, ptr);
}

void AppendFloat(std::string& out, float value) { AppendFixed(out, value, 6); }

bool LineReader::Next(std::string_view* line) {
  if (pos_ >= text_.size()) return false;
  const char* start = text_.data() + pos_;
  const void* newline = std::memchr(start, '\n', text_.size() - pos_);
  size_t length;
  if (newline == nullptr) {
    length = text_.size() - pos_;
    pos_ = text_.size();
  } else {
    length = static_cast<size_t>(static_cast<const char*>(newline) - start);
    pos_ += length + 1;
  }
  if (length > 0 && start[length - 1] == '\r') --length;
  *line = std::string_view(start, length);
  return true;
}

size_t LineReader::CountLines(std::string_view text) {
  size_t count = 0;
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    const void* newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
    ++count;
    if (newline == nullptr) break;
    p = static_cast<const char*>(newline) + 1;
  }
  return count;
}

}  // namespace vorna
