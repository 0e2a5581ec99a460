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

// Whether byte `c` may stand inside a name of the text encoding.
bool IsTextNameByte(char c);

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
