// Object names for a .x writer. Names keep their bytes wherever the encoding can carry them: the
// binary encodings carry any bytes; in text a name is one word, so white space, punctuation and
// quotes (every byte that ends a word in our reader or in other common readers) are replaced.
// Names are CP932 bytes: a two-byte character with such a byte is replaced whole, so that the
// replacement never turns it into another character. Some readers match references ignoring
// letter case: a writer maps each name once and uses the result everywhere the object is named
// (its header, references to it, SkinWeights strings).
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace vorna::xfile {

// Whether `c` starts a two-byte CP932 character.
constexpr bool IsCp932Lead(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Whether byte `c` may stand inside a name of the text encoding.
bool IsTextNameByte(char c);

// Whether the text reader reads all of `name` as one word: every byte IsTextNameByte takes,
// except that a '[' or ']' may be the second byte of a CP932 character.
bool IsTextWordBytes(std::string_view name);

class NameTable {
 public:
  explicit NameTable(bool text = true) : text_(text) {}

  // `raw` as a name of this table's encoding: a NUL (and in text every byte IsTextNameByte
  // refuses, with the character it belongs to) turned into '_'; in text also a '_' in front of a
  // digit, '.', '#' or "//" at its start and after a keyword; "_" for an empty name. Then "_2",
  // "_3", ... appended until it differs from every name this table gave before, ignoring the
  // case of ASCII letters.
  std::string Unique(std::string_view raw);

 private:
  bool text_;
  std::unordered_set<std::string> used_;  // ASCII letters in lower case
};

}  // namespace vorna::xfile
