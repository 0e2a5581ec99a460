// 128-bit identifiers of templates and data objects.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorna::xfile {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
  bool IsNull() const { return *this == Guid{}; }

  // "3D82AB44-62DA-11CF-AB39-0020AF71E433" (36 characters, no brackets, any letter case).
  static std::optional<Guid> Parse(std::string_view text);
  // Upper-case form of Parse's input.
  std::string ToString() const;

  // The 16 bytes of the binary encoding: Data1, Data2, Data3 little-endian, then Data4.
  static Guid FromBytes(const std::uint8_t* bytes);
  void AppendBytes(std::string& out) const;
};

struct GuidHash {
  std::size_t operator()(const Guid& g) const;
};

}  // namespace vorna::xfile
