// Little-endian encoding for the binary model formats: 32-bit integers, IEEE single-precision
// reals and raw bytes, with no padding, whatever the host's byte order. Nothing is ever read or
// written as the memory image of a struct.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vorna {

inline uint32_t DecodeU32(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
         (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}
inline int32_t DecodeI32(const char* p) { return static_cast<int32_t>(DecodeU32(p)); }
inline float DecodeF32(const char* p) { return std::bit_cast<float>(DecodeU32(p)); }

inline void EncodeU32(char* p, uint32_t value) {
  for (int k = 0; k < 4; ++k) p[k] = static_cast<char>((value >> (8 * k)) & 0xFFu);
}

// Appends to a byte string.
class ByteWriter {
 public:
  explicit ByteWriter(std::string& out) : out_(out) {}

  void U32(uint32_t value) {
    char b[4];
    EncodeU32(b, value);
    out_.append(b, 4);
  }
  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void F32(float value) { U32(std::bit_cast<uint32_t>(value)); }
  void U8(uint8_t value) { out_.push_back(static_cast<char>(value)); }
  void Bytes(std::string_view bytes) { out_.append(bytes); }
  // A length-prefixed string: u32 length including the terminator, the bytes, one zero byte.
  void String(std::string_view text) {
    U32(static_cast<uint32_t>(text.size() + 1));
    out_.append(text);
    out_.push_back('\0');
  }

  size_t size() const { return out_.size(); }
  // Overwrites four bytes written earlier (a size known only once its data is written).
  void PatchU32(size_t offset, uint32_t value) { EncodeU32(out_.data() + offset, value); }

 private:
  std::string& out_;
};

// A cursor over untrusted bytes. Every read checks what is left first; a read that does not fit
// changes neither its target nor the position and returns false.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : bytes_(bytes) {}

  size_t remaining() const { return bytes_.size() - pos_; }
  size_t position() const { return pos_; }

  bool U32(uint32_t* value) {
    if (remaining() < 4) return false;
    *value = DecodeU32(bytes_.data() + pos_);
    pos_ += 4;
    return true;
  }
  bool I32(int32_t* value) {
    uint32_t raw;
    if (!U32(&raw)) return false;
    *value = static_cast<int32_t>(raw);
    return true;
  }
  bool F32(float* value) {
    uint32_t raw;
    if (!U32(&raw)) return false;
    *value = std::bit_cast<float>(raw);
    return true;
  }
  bool U8(uint8_t* value) {
    if (remaining() < 1) return false;
    *value = static_cast<uint8_t>(bytes_[pos_++]);
    return true;
  }
  bool Bytes(size_t count, std::string_view* out) {
    if (remaining() < count) return false;
    *out = bytes_.substr(pos_, count);
    pos_ += count;
    return true;
  }
  bool Skip(size_t count) {
    if (remaining() < count) return false;
    pos_ += count;
    return true;
  }
  // Up to `count` whole elements of `element_size` bytes that are still there: the caller decodes
  // them from the returned pointer. Advances past them.
  size_t Take(size_t count, size_t element_size, const char** data) {
    const size_t available = std::min(count, remaining() / element_size);
    *data = bytes_.data() + pos_;
    pos_ += available * element_size;
    return available;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

}  // namespace vorna
