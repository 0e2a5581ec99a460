// Names inside models (nodes, anims, texture files) are CP932 bytes, as files written on the
// original platform hold them; messages, terminals and this system's file names are UTF-8.
// These conversions are the one place where the two meet.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorna {

bool IsValidUtf8(std::string_view text);

// The UTF-8 text of CP932 `bytes`; a byte sequence CP932 has no reading for becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// A stored name as UTF-8: as it is when it already is UTF-8 (files written here), else read as
// CP932.
std::string StoredNameAsUtf8(std::string_view name);

// `utf8` as CP932 bytes. False, leaving `bytes` untouched, when some character has no CP932 form
// or the text is not UTF-8.
bool Utf8ToCp932(std::string_view utf8, std::string* bytes);

// The longest prefix of CP932 `bytes` of at most `max_bytes` bytes that does not split a
// two-byte character.
std::string ClampCp932(std::string_view bytes, size_t max_bytes);

}  // namespace vorna
