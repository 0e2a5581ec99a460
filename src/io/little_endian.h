// Little-endian integers and IEEE reals for every binary format (models, images, .x), whatever
// the host's byte order. Nothing is ever read or written as the memory image of a struct.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vorna {

// Loads from at least 2, 4 or 8 readable bytes at `p` (any alignment).
inline std::uint16_t LoadU16(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}
inline std::uint32_t LoadU32(const void* p) {
  const auto* b = static_cast<const unsigned char*>(p);
  return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
         (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}
inline std::uint64_t LoadU64(const void* p) {
  return static_cast<std::uint64_t>(LoadU32(p)) |
         (static_cast<std::uint64_t>(LoadU32(static_cast<const unsigned char*>(p) + 4)) << 32);
}
inline std::int32_t LoadI32(const void* p) { return static_cast<std::int32_t>(LoadU32(p)); }
inline float LoadF32(const void* p) { return std::bit_cast<float>(LoadU32(p)); }
inline double LoadF64(const void* p) { return std::bit_cast<double>(LoadU64(p)); }

inline void StoreU32(void* p, std::uint32_t value) {
  auto* b = static_cast<unsigned char*>(p);
  for (int k = 0; k < 4; ++k) b[k] = static_cast<unsigned char>(value >> (8 * k));
}

// Appends to any byte container with push_back (std::string, std::vector<uint8_t>).
template <typename Bytes>
void AppendU16(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<typename Bytes::value_type>(value & 0xFFu));
  out.push_back(static_cast<typename Bytes::value_type>(value >> 8));
}
template <typename Bytes>
void AppendU32(Bytes& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k) {
    out.push_back(static_cast<typename Bytes::value_type>((value >> (8 * k)) & 0xFFu));
  }
}
template <typename Bytes>
void AppendF32(Bytes& out, float value) {
  AppendU32(out, std::bit_cast<std::uint32_t>(value));
}

// Appends records to a byte string.
class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : out_(out) {}

  void U32(std::uint32_t value) { AppendU32(out_, value); }
  void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
  void F32(float value) { U32(std::bit_cast<std::uint32_t>(value)); }
  void F64(double value) {
    const auto raw = std::bit_cast<std::uint64_t>(value);
    U32(static_cast<std::uint32_t>(raw));
    U32(static_cast<std::uint32_t>(raw >> 32));
  }
  void U8(std::uint8_t value) { out_.push_back(static_cast<char>(value)); }
  // `count` 32-bit values (u32, i32 or f32) that lie one after another at `values`: the data of a
  // vector of them, or of arrays of them.
  void Words32(const void* values, std::size_t count) {
    if constexpr (std::endian::native == std::endian::little) {
      out_.append(static_cast<const char*>(values), count * 4);
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t value;
        std::memcpy(&value, static_cast<const char*>(values) + i * 4, 4);
        U32(value);
      }
    }
  }
  void Bytes(std::string_view bytes) { out_.append(bytes); }
  // A length-prefixed string: u32 length including the terminator, the bytes, one zero byte.
  void String(std::string_view text) {
    U32(static_cast<std::uint32_t>(text.size() + 1));
    out_.append(text);
    out_.push_back('\0');
  }

  std::size_t size() const { return out_.size(); }
  // Overwrites four bytes written earlier (a size known only once its data is written).
  void PatchU32(std::size_t offset, std::uint32_t value) { StoreU32(out_.data() + offset, value); }

 private:
  std::string& out_;
};

// A cursor over untrusted bytes. Every read checks what is left first; a read that does not fit
// changes neither its target nor the position and returns false.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t remaining() const { return bytes_.size() - pos_; }
  std::size_t position() const { return pos_; }

  bool U32(std::uint32_t* value) {
    if (remaining() < 4) return false;
    *value = LoadU32(bytes_.data() + pos_);
    pos_ += 4;
    return true;
  }
  bool I32(std::int32_t* value) {
    std::uint32_t raw;
    if (!U32(&raw)) return false;
    *value = static_cast<std::int32_t>(raw);
    return true;
  }
  bool F32(float* value) {
    std::uint32_t raw;
    if (!U32(&raw)) return false;
    *value = std::bit_cast<float>(raw);
    return true;
  }
  bool F64(double* value) {
    if (remaining() < 8) return false;
    *value = LoadF64(bytes_.data() + pos_);
    pos_ += 8;
    return true;
  }
  bool U8(std::uint8_t* value) {
    if (remaining() < 1) return false;
    *value = static_cast<std::uint8_t>(bytes_[pos_++]);
    return true;
  }
  // `count` 32-bit values into `values` (laid out as ByteWriter::Words32 takes them), or nothing
  // and false when fewer are left.
  bool Words32(void* values, std::size_t count) {
    if (count > remaining() / 4) return false;
    if constexpr (std::endian::native == std::endian::little) {
      if (count > 0) std::memcpy(values, bytes_.data() + pos_, count * 4);
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = LoadU32(bytes_.data() + pos_ + i * 4);
        std::memcpy(static_cast<char*>(values) + i * 4, &value, 4);
      }
    }
    pos_ += count * 4;
    return true;
  }
  bool Bytes(std::size_t count, std::string_view* out) {
    if (remaining() < count) return false;
    *out = bytes_.substr(pos_, count);
    pos_ += count;
    return true;
  }
  bool Skip(std::size_t count) {
    if (remaining() < count) return false;
    pos_ += count;
    return true;
  }
  // Up to `count` whole elements of `element_size` bytes that are still there: the caller decodes
  // them from the returned pointer. Advances past them.
  std::size_t Take(std::size_t count, std::size_t element_size, const char** data) {
    const std::size_t available = std::min(count, remaining() / element_size);
    *data = bytes_.data() + pos_;
    pos_ += available * element_size;
    return available;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

}  // namespace vorna
