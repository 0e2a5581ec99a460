#include "formats/xfile/names.h"

#include "formats/xfile/templates.h"

namespace vorna::xfile {
namespace {

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsKeyword(std::string_view name) {
  return EqualsIgnoreCase(name, "template") || EqualsIgnoreCase(name, "array") ||
         PrimitiveFromKeyword(name) != Primitive::kNone;
}

}  // namespace

std::string NameTable::Unique(std::string_view raw) {
  std::string base;
  for (char c : raw) base.push_back(IsNameCharacter(c) ? c : '_');
  if (base.empty() || (base[0] >= '0' && base[0] <= '9')) base.insert(base.begin(), '_');
  if (base.size() > kMaxLength) base.resize(kMaxLength);
  if (IsKeyword(base)) base.push_back('_');
  std::string name = base;
  for (unsigned n = 2; used_.count(AsciiLower(name)) != 0; ++n) {
    std::string suffix(1, '_');
    suffix += std::to_string(n);
    name = base.substr(0, kMaxLength - suffix.size()) + suffix;
  }
  used_.insert(AsciiLower(name));
  return name;
}

}  // namespace vorna::xfile
