// Internal to the codec: the text encoding, as tokens for the structure and as numbers and
// strings for member data. Separators between values are optional and interchangeable, as
// written by the many exporters that got them wrong; comments run from "//" or "#" to the end of
// the line; numbers are read independently of the process locale.
#pragma once

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "formats/xfile/diagnostics.h"
#include "formats/xfile/names.h"
#include "formats/xfile/tokens.h"

namespace vorna::xfile {

namespace text_chars {

constexpr std::array<bool, 256> MakeTable(std::string_view members) {
  std::array<bool, 256> table{};
  for (char c : members) table[static_cast<unsigned char>(c)] = true;
  return table;
}
// NUL counts as white space: some writers pad text files with zero bytes.
inline constexpr std::array<bool, 256> kSpace = MakeTable(std::string_view{" \t\r\n\v\f\0", 7});
inline constexpr std::array<bool, 256> kDelimiter =
    MakeTable(std::string_view{" \t\r\n\v\f\0{}[]()<>,;\"", 18});
inline constexpr std::array<bool, 256> kSeparator =
    MakeTable(std::string_view{" \t\r\n\v\f\0,;", 9});

}  // namespace text_chars

class TextSource {
 public:
  // `file` is the whole (decompressed) file; reading starts after its 16-byte header.
  TextSource(std::span<const std::uint8_t> file, Diagnostics& diagnostics)
      : begin_(reinterpret_cast<const char*>(file.data())),
        p_(begin_ + 16),
        end_(begin_ + file.size()),
        diagnostics_(diagnostics) {}

  std::uint64_t Offset() const { return static_cast<std::uint64_t>(p_ - begin_); }

  bool Next(Token& t) {
    SkipSpace();
    t = Token();
    t.offset = Offset();
    if (p_ == end_) return true;
    char c = *p_;
    switch (c) {
      case '{':
        return Punct(t, TokenKind::kOBrace);
      case '}':
        return Punct(t, TokenKind::kCBrace);
      case '[':
        return Punct(t, TokenKind::kOBracket);
      case ']':
        return Punct(t, TokenKind::kCBracket);
      case '(':
        return Punct(t, TokenKind::kOParen);
      case ')':
        return Punct(t, TokenKind::kCParen);
      case ',':
        return Punct(t, TokenKind::kComma);
      case ';':
        return Punct(t, TokenKind::kSemicolon);
      case '>':
        return Punct(t, TokenKind::kCAngle);
      case '<':
        return Angle(t);
      case '"': {
        std::string_view text;
        if (!QuotedString(text)) return false;
        t.kind = TokenKind::kString;
        t.text = text;
        return true;
      }
      case '.':
        if (p_ + 1 == end_ || !IsDigit(p_[1])) return Punct(t, TokenKind::kDot);
        break;
      default:
        break;
    }
    const char* start = p_;
    while (p_ != end_ && !IsDelimiter(*p_)) {
      // A CP932 character whose second byte is '[' or ']' (the long vowel mark among them)
      // stays in the word: Japanese names hold them, and no syntax puts a bracket straight
      // after such a byte.
      if (IsCp932Lead(static_cast<unsigned char>(*p_)) && p_ + 1 != end_ &&
          (p_[1] == '[' || p_[1] == ']')) {
        ++p_;
      }
      ++p_;
    }
    ClassifyWord(std::string_view(start, static_cast<std::size_t>(p_ - start)), t);
    return true;
  }

  bool Peek(Token& t) {
    const char* saved = p_;
    bool ok = Next(t);
    p_ = saved;
    return ok;
  }

  bool ReadNumber(Primitive type, double& out) {
    SkipSeparators();
    if (p_ == end_) {
      return diagnostics_.Fail(ErrorKind::kTruncated, "the file ends inside an object's data",
                               Offset());
    }
    const char* start = p_;
    if (IsIntegerPrimitive(type)) {
      // Plain decimal integers are by far the most common: read them without from_chars.
      const char* q = p_;
      bool negative = *q == '-';
      if (*q == '-' || *q == '+') ++q;
      const char* digits = q;
      std::uint64_t v = 0;
      while (q != end_ && IsDigit(*q) && q - digits < 18)
        v = v * 10 + static_cast<unsigned>(*q++ - '0');
      if (q != digits && (q == end_ || IsValueEnd(*q))) {
        p_ = q;
        std::int64_t signed_value = static_cast<std::int64_t>(v);
        out = NormalizeInteger(type, negative ? -signed_value : signed_value);
        return true;
      }
      double d = 0;
      if (!ParseDouble(start, d)) return false;
      diagnostics_.Warn("a number that is not a plain integer was read for an integer member",
                        Offset());
      bool changed = false;
      out = FloatToInteger(type, d, changed);
      if (changed) diagnostics_.Warn("an integer out of range was read as 0", Offset());
      return true;
    }
    double d = 0;
    if (type == Primitive::kFloat) {
      const char* from = *p_ == '+' ? p_ + 1 : p_;
      float f = 0;
      auto [ptr, ec] = std::from_chars(from, end_, f);
      if (ec == std::errc() && (ptr == end_ || IsValueEnd(*ptr))) {
        // The common case, already at single precision.
        p_ = ptr;
        bool changed = false;
        out = NormalizeFloat(type, f, changed);
        if (changed) diagnostics_.Warn("an infinite or invalid number was read as 0", Offset());
        return true;
      }
    }
    if (!ParseDouble(start, d)) return false;
    bool changed = false;
    out = NormalizeFloat(type, d, changed);
    if (changed) diagnostics_.Warn("an infinite or invalid number was read as 0", Offset());
    return true;
  }

  bool ReadString(std::string_view& out) {
    SkipSeparators();
    if (p_ == end_) {
      return diagnostics_.Fail(ErrorKind::kTruncated, "the file ends inside an object's data",
                               Offset());
    }
    if (*p_ != '"') {
      return diagnostics_.Fail(ErrorKind::kBadData, "expected a string in quotes", Offset());
    }
    return QuotedString(out);
  }

  // Whether the rest of the file could hold this many more values (each needs a byte at least,
  // a string two), checked before anything is allocated for them.
  bool CanHold(std::uint64_t numbers, std::uint64_t strings) const {
    std::uint64_t left = static_cast<std::uint64_t>(end_ - p_);
    if (numbers > left || strings > left / 2) return false;
    return numbers + 2 * strings <= left;
  }

  // The most numbers the rest of the file could hold.
  std::uint64_t MaxNumbers() const { return static_cast<std::uint64_t>(end_ - p_); }

  // Text has no value lists that could run past an object's data.
  void EndData(std::string_view) {}

 private:
  static constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

  static bool IsSpace(char c) { return text_chars::kSpace[static_cast<unsigned char>(c)]; }
  static bool IsDelimiter(char c) { return text_chars::kDelimiter[static_cast<unsigned char>(c)]; }
  // What may follow a number: a delimiter or a "//" comment. A '#' right after a number is the
  // spelling some C runtimes give NaN and infinity, not a comment.
  static bool IsValueEnd(char c) { return IsDelimiter(c) || c == '/'; }

  bool Punct(Token& t, TokenKind kind) {
    t.kind = kind;
    ++p_;
    return true;
  }

  void SkipLine() {
    const void* nl = std::memchr(p_, '\n', static_cast<std::size_t>(end_ - p_));
    p_ = nl != nullptr ? static_cast<const char*>(nl) + 1 : end_;
  }

  void SkipSpace() {
    while (p_ != end_) {
      char c = *p_;
      if (IsSpace(c)) {
        ++p_;
      } else if (c == '#' || (c == '/' && p_ + 1 != end_ && p_[1] == '/')) {
        SkipLine();
      } else {
        return;
      }
    }
  }

  void SkipSeparators() {
    while (p_ != end_) {
      char c = *p_;
      if (text_chars::kSeparator[static_cast<unsigned char>(c)]) {
        ++p_;
      } else if (c == '#' || (c == '/' && p_ + 1 != end_ && p_[1] == '/')) {
        SkipLine();
      } else {
        return;
      }
    }
  }

  bool QuotedString(std::string_view& out) {
    const char* start = p_ + 1;
    const void* close = std::memchr(start, '"', static_cast<std::size_t>(end_ - start));
    if (close == nullptr) {
      return diagnostics_.Fail(ErrorKind::kTruncated, "a string is not closed", Offset());
    }
    const char* stop = static_cast<const char*>(close);
    out = std::string_view(start, static_cast<std::size_t>(stop - start));
    p_ = stop + 1;
    return true;
  }

  // '<' starts a GUID when 36 GUID characters and '>' follow (spaces allowed around them).
  bool Angle(Token& t) {
    const char* q = p_ + 1;
    while (q != end_ && (*q == ' ' || *q == '\t')) ++q;
    if (end_ - q >= 36) {
      if (auto guid = Guid::Parse(std::string_view(q, 36))) {
        const char* r = q + 36;
        while (r != end_ && (*r == ' ' || *r == '\t')) ++r;
        if (r != end_ && *r == '>') {
          t.kind = TokenKind::kGuid;
          t.guid = *guid;
          p_ = r + 1;
          return true;
        }
      }
    }
    return Punct(t, TokenKind::kOAngle);
  }

  void ClassifyWord(std::string_view w, Token& t) {
    t.word = true;
    t.text = w;
    char c = w[0];
    bool numeric =
        IsDigit(c) || (w.size() > 1 && (c == '-' || c == '+' || c == '.') &&
                       (IsDigit(w[1]) || (w[1] == '.' && w.size() > 2 && IsDigit(w[2]))));
    if (numeric) {
      t.kind = TokenKind::kNumber;
      if (w.size() <= 10) {
        std::uint64_t v = 0;
        bool digits = true;
        for (char d : w) {
          if (!IsDigit(d)) {
            digits = false;
            break;
          }
          v = v * 10 + static_cast<unsigned>(d - '0');
        }
        if (digits && v <= UINT32_MAX) {
          t.kind = TokenKind::kInteger;
          t.integer = static_cast<std::uint32_t>(v);
        }
      }
      return;
    }
    if (EqualsIgnoreCase(w, "template")) {
      t.kind = TokenKind::kTemplate;
    } else if (EqualsIgnoreCase(w, "array")) {
      t.kind = TokenKind::kArray;
    } else if (Primitive p = PrimitiveFromKeyword(w); p != Primitive::kNone) {
      t.kind = TokenKind::kPrimitive;
      t.primitive = p;
    } else {
      t.kind = TokenKind::kName;
    }
  }

  // Any decimal number at `start` (sign, fraction, exponent). Old files hold some C runtimes'
  // spellings of NaN and infinity ("1.#IND00", "-1.#QNAN0", "1.#INF00"): they read as NaN, made 0
  // later.
  bool ParseDouble(const char* start, double& out) {
    const char* from = *start == '+' ? start + 1 : start;
    auto [ptr, ec] = std::from_chars(from, end_, out);
    if (ec == std::errc::result_out_of_range) {
      out = std::numeric_limits<double>::quiet_NaN();
    } else if (ec != std::errc()) {
      return diagnostics_.Fail(ErrorKind::kBadData, "expected a number",
                               static_cast<std::uint64_t>(start - begin_));
    }
    if (ptr != end_ && *ptr == '#') {
      while (ptr != end_ && !IsDelimiter(*ptr)) ++ptr;
      out = std::numeric_limits<double>::quiet_NaN();
    } else if (ptr != end_ && !IsValueEnd(*ptr)) {
      return diagnostics_.Fail(ErrorKind::kBadData, "a number is followed by other characters",
                               static_cast<std::uint64_t>(ptr - begin_));
    }
    p_ = ptr;
    return true;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
  Diagnostics& diagnostics_;
};

}  // namespace vorna::xfile
