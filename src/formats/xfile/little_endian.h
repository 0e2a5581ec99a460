// Little-endian encoding of the binary .x token stream and the compressed block headers,
// independent of the host's byte order.
#pragma once

#include <bit>
#include <cstdint>
#include <string>

namespace vorna::xfile {

inline std::uint16_t LoadU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t LoadU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t LoadU64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) |
         (static_cast<std::uint64_t>(LoadU32(p + 4)) << 32);
}

inline float LoadF32(const std::uint8_t* p) { return std::bit_cast<float>(LoadU32(p)); }
inline double LoadF64(const std::uint8_t* p) { return std::bit_cast<double>(LoadU64(p)); }

inline void AppendU16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

inline void AppendU32(std::string& out, std::uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>((v >> 8) & 0xFF));
  out.push_back(static_cast<char>((v >> 16) & 0xFF));
  out.push_back(static_cast<char>(v >> 24));
}

inline void AppendF32(std::string& out, float v) {
  AppendU32(out, std::bit_cast<std::uint32_t>(v));
}

}  // namespace vorna::xfile
