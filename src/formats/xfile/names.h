// Object names that every .x reader accepts. Some readers take only [A-Za-z_][A-Za-z0-9_]*, at
// most 31 characters, never a keyword in any letter case, and match references case-sensitively
// while others ignore case: a writer maps each name once and uses the result everywhere the
// object is named (its header, references to it, SkinWeights strings).
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

namespace vorna::xfile {

class NameTable {
 public:
  static constexpr std::size_t kMaxLength = 31;

  // `raw` with every other byte turned into '_', a '_' in front of a leading digit (or of an
  // empty name), cut to kMaxLength, '_' after a keyword, then "_2", "_3", ... until it differs
  // from every name this table gave before, ignoring letter case.
  std::string Unique(std::string_view raw);

 private:
  std::unordered_set<std::string> used_;  // lower-case
};

}  // namespace vorna::xfile
