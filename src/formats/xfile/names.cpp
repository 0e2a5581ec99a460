#include "formats/xfile/names.h"

#include "formats/xfile/templates.h"

namespace vorna::xfile {
namespace {

// The length of the CP932 character at `i`: two for a lead byte that has a byte after it.
size_t CharLength(std::string_view text, size_t i) {
  return IsCp932Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

bool IsKeyword(std::string_view name) {
  return EqualsIgnoreCase(name, "template") || EqualsIgnoreCase(name, "array") ||
         PrimitiveFromKeyword(name) != Primitive::kNone;
}

// A word starting like this reads as a number or a comment, or not as a word at all.
bool NeedsLeadingUnderscore(std::string_view name) {
  const char c = name[0];
  return (c >= '0' && c <= '9') || c == '.' || c == '#' || name.starts_with("//");
}

// The key two names collide on: ASCII letters in lower case, the second byte of a two-byte
// character left alone (it may be a letter's code).
std::string CollisionKey(std::string_view name) {
  std::string key(name);
  for (size_t i = 0; i < key.size(); i += CharLength(key, i)) {
    if (key[i] >= 'A' && key[i] <= 'Z') key[i] = static_cast<char>(key[i] - 'A' + 'a');
  }
  return key;
}

}  // namespace

bool IsTextNameByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u <= ' ' || u == 0x7F) return false;
  return std::string_view("{}[]()<>,;\"").find(c) == std::string_view::npos;
}

bool IsTextWordBytes(std::string_view name) {
  for (size_t i = 0; i < name.size(); i += CharLength(name, i)) {
    if (!IsTextNameByte(name[i])) return false;
    if (CharLength(name, i) == 2 && name[i + 1] != '[' && name[i + 1] != ']' &&
        !IsTextNameByte(name[i + 1])) {
      return false;
    }
  }
  return true;
}

std::string NameTable::Unique(std::string_view raw) {
  std::string base;
  for (size_t i = 0; i < raw.size();) {
    const size_t length = CharLength(raw, i);
    bool keep = true;
    for (size_t k = i; k < i + length; ++k) {
      // Text readers take a bracket as the second byte of a two-byte character (ours pairs it
      // with its lead byte; others end words only at white space and ",;\"{}").
      const bool bracket_trail = k > i && (raw[k] == '[' || raw[k] == ']');
      keep = keep && raw[k] != '\0' && (!text_ || bracket_trail || IsTextNameByte(raw[k]));
    }
    if (keep) {
      base.append(raw.substr(i, length));
    } else {
      base.append(length, '_');
    }
    i += length;
  }
  if (base.empty()) base.push_back('_');
  if (text_) {
    if (NeedsLeadingUnderscore(base)) base.insert(base.begin(), '_');
    if (IsKeyword(base)) base.push_back('_');
  }
  std::string name = base;
  for (unsigned n = 2; used_.count(CollisionKey(name)) != 0; ++n) {
    name = base + "_" + std::to_string(n);
  }
  used_.insert(CollisionKey(name));
  return name;
}

}  // namespace vorna::xfile
