#include "formats/xfile/guid.h"

#include "io/little_endian.h"

namespace vorna::xfile {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `text[at]`; false on a non-hex character.
bool ReadHex(std::string_view text, std::size_t at, int digits, std::uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    int d = HexDigit(text[at + static_cast<std::size_t>(i)]);
    if (d < 0) return false;
    value = (value << 4) | static_cast<std::uint64_t>(d);
  }
  return true;
}

}  // namespace

std::optional<Guid> Guid::Parse(std::string_view text) {
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' ||
      text[23] != '-') {
    return std::nullopt;
  }
  Guid g;
  std::uint64_t v = 0;
  if (!ReadHex(text, 0, 8, v)) return std::nullopt;
  g.data1 = static_cast<std::uint32_t>(v);
  if (!ReadHex(text, 9, 4, v)) return std::nullopt;
  g.data2 = static_cast<std::uint16_t>(v);
  if (!ReadHex(text, 14, 4, v)) return std::nullopt;
  g.data3 = static_cast<std::uint16_t>(v);
  static constexpr std::size_t kByteAt[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kByteAt[i], 2, v)) return std::nullopt;
    g.data4[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v);
  }
  return g;
}

std::string Guid::ToString() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(36);
  auto put = [&](std::uint64_t v, int digits) {
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
      out.push_back(kHex[(v >> shift) & 15]);
  };
  put(data1, 8);
  out.push_back('-');
  put(data2, 4);
  out.push_back('-');
  put(data3, 4);
  out.push_back('-');
  put(data4[0], 2);
  put(data4[1], 2);
  out.push_back('-');
  for (int i = 2; i < 8; ++i) put(data4[static_cast<std::size_t>(i)], 2);
  return out;
}

Guid Guid::FromBytes(const std::uint8_t* bytes) {
  Guid g;
  g.data1 = LoadU32(bytes);
  g.data2 = LoadU16(bytes + 4);
  g.data3 = LoadU16(bytes + 6);
  for (std::size_t i = 0; i < 8; ++i) g.data4[i] = bytes[8 + i];
  return g;
}

void Guid::AppendBytes(std::string& out) const {
  AppendU32(out, data1);
  AppendU16(out, data2);
  AppendU16(out, data3);
  for (std::uint8_t b : data4) out.push_back(static_cast<char>(b));
}

std::size_t GuidHash::operator()(const Guid& g) const {
  std::uint64_t h = g.data1;
  h = h * 0x9E3779B97F4A7C15ULL ^ (static_cast<std::uint64_t>(g.data2) << 16 | g.data3);
  for (std::uint8_t b : g.data4) h = h * 0x100000001B3ULL ^ b;
  return static_cast<std::size_t>(h);
}

}  // namespace vorna::xfile
