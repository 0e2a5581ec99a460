// Locale-independent number scanning and printing for the line-oriented model formats. Scanning
// follows the scanf conversions the formats were defined with ("%d", "%f", "%s": leading white
// space skipped, stop at the first field that does not convert); printing gives exactly what
// printf's "%d" and "%f" give in the C locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorna {

// A cursor over one line of text.
class LineScanner {
 public:
  explicit LineScanner(std::string_view line) : text_(line) {}

  // "%d": optional sign and decimal digits. Values outside 32 bits saturate. On failure the
  // target is untouched and every later call fails too, as a scanf conversion would stop.
  bool Int(int32_t* value);
  // "%f": a decimal or special ("inf", "nan") floating-point number with optional sign.
  bool Float(float* value);
  // "%s": the next run of non-white-space bytes, at most `max_bytes` of it kept.
  bool Word(std::string* value, size_t max_bytes);

 private:
  void SkipSpace();
  std::string_view text_;
  size_t pos_ = 0;
  bool failed_ = false;
};

// Appends printf("%d") of `value`.
void AppendInt(std::string& out, int64_t value);
// Appends printf("%f") of `value` (promoted to double, six decimals, "inf"/"nan" spelled as
// glibc does).
void AppendFloat(std::string& out, float value);

// Splits a whole file into lines: each ends at '\n' (removed) with one '\r' before it removed
// too; the last line may end at the end of the buffer.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  bool Next(std::string_view* line);
  // The byte offset of the next line.
  size_t position() const { return pos_; }
  // How many lines the text holds in all (counting a final unterminated one).
  static size_t CountLines(std::string_view text);

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace vorna
