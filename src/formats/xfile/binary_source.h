// Internal to the codec: the binary encoding. Numbers come in integer and float lists that run
// across member and structure boundaries, so data reading keeps a cursor in the current list
// and takes one element per numeric member. Every count is checked against the bytes left.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/xfile/diagnostics.h"
#include "formats/xfile/tokens.h"
#include "io/little_endian.h"

namespace vorna::xfile {

enum BinaryTokenCode : std::uint16_t {
  kTokName = 1,
  kTokString = 2,
  kTokInteger = 3,
  kTokGuid = 5,
  kTokIntegerList = 6,
  kTokFloatList = 7,
  kTokOBrace = 10,
  kTokCBrace = 11,
  kTokOParen = 12,
  kTokCParen = 13,
  kTokOBracket = 14,
  kTokCBracket = 15,
  kTokOAngle = 16,
  kTokCAngle = 17,
  kTokDot = 18,
  kTokComma = 19,
  kTokSemicolon = 20,
  kTokTemplate = 31,
  kTokWord = 40,
  kTokDword = 41,
  kTokFloat = 42,
  kTokDouble = 43,
  kTokChar = 44,
  kTokUchar = 45,
  kTokSword = 46,
  kTokSdword = 47,
  kTokVoid = 48,
  kTokLpstr = 49,
  kTokUnicode = 50,
  kTokCstring = 51,
  kTokArray = 52,
};

class BinarySource {
 public:
  // `file` is the whole (decompressed) file; tokens start right after its 16-byte header.
  BinarySource(std::span<const std::uint8_t> file, int float_bits, Diagnostics& diagnostics)
      : begin_(file.data()),
        p_(file.data() + 16),
        end_(file.data() + file.size()),
        float_size_(float_bits == 64 ? 8 : 4),
        diagnostics_(diagnostics) {}

  std::uint64_t Offset() const { return static_cast<std::uint64_t>(p_ - begin_); }

  bool Next(Token& t) {
    t = Token();
    t.offset = Offset();
    if (p_ == end_) return true;
    if (Left() < 2) return Truncated("a token", t.offset);
    std::uint16_t code = LoadU16(p_);
    p_ += 2;
    switch (code) {
      case kTokName:
      case kTokString: {
        if (Left() < 4) return Truncated("a name or string", t.offset);
        std::uint32_t n = LoadU32(p_);
        p_ += 4;
        if (n > Left()) return Truncated("a name or string", t.offset);
        t.kind = code == kTokName ? TokenKind::kName : TokenKind::kString;
        t.text = std::string_view(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return true;
      }
      case kTokInteger:
        if (Left() < 4) return Truncated("an integer", t.offset);
        t.kind = TokenKind::kInteger;
        t.integer = LoadU32(p_);
        p_ += 4;
        return true;
      case kTokGuid:
        if (Left() < 16) return Truncated("a GUID", t.offset);
        t.kind = TokenKind::kGuid;
        t.guid = Guid::FromBytes(p_);
        p_ += 16;
        return true;
      case kTokIntegerList:
      case kTokFloatList: {
        if (Left() < 4) return Truncated("a number list", t.offset);
        std::uint32_t n = LoadU32(p_);
        p_ += 4;
        std::uint64_t size = code == kTokIntegerList ? 4 : static_cast<std::uint64_t>(float_size_);
        if (n > Left() / size) return Truncated("a number list", t.offset);
        t.kind = code == kTokIntegerList ? TokenKind::kIntegerList : TokenKind::kFloatList;
        t.integer = n;
        t.text = std::string_view(reinterpret_cast<const char*>(p_), n * size);
        p_ += n * size;
        return true;
      }
      case kTokOBrace:
        return Kind(t, TokenKind::kOBrace);
      case kTokCBrace:
        return Kind(t, TokenKind::kCBrace);
      case kTokOParen:
        return Kind(t, TokenKind::kOParen);
      case kTokCParen:
        return Kind(t, TokenKind::kCParen);
      case kTokOBracket:
        return Kind(t, TokenKind::kOBracket);
      case kTokCBracket:
        return Kind(t, TokenKind::kCBracket);
      case kTokOAngle:
        return Kind(t, TokenKind::kOAngle);
      case kTokCAngle:
        return Kind(t, TokenKind::kCAngle);
      case kTokDot:
        return Kind(t, TokenKind::kDot);
      case kTokComma:
        return Kind(t, TokenKind::kComma);
      case kTokSemicolon:
        return Kind(t, TokenKind::kSemicolon);
      case kTokTemplate:
        return Kind(t, TokenKind::kTemplate);
      case kTokArray:
        return Kind(t, TokenKind::kArray);
      case kTokWord:
        return Type(t, Primitive::kWord);
      case kTokDword:
        return Type(t, Primitive::kDword);
      case kTokFloat:
        return Type(t, Primitive::kFloat);
      case kTokDouble:
        return Type(t, Primitive::kDouble);
      case kTokChar:
        return Type(t, Primitive::kChar);
      case kTokUchar:
        return Type(t, Primitive::kUchar);
      case kTokSword:
        return Type(t, Primitive::kSword);
      case kTokSdword:
        return Type(t, Primitive::kSdword);
      case kTokVoid:
        return Type(t, Primitive::kVoid);
      case kTokLpstr:
        return Type(t, Primitive::kString);
      case kTokUnicode:
        return Type(t, Primitive::kUnicode);
      case kTokCstring:
        return Type(t, Primitive::kCstring);
      case 0:
        // Some writers pad files with zero bytes.
        if (AllZero(p_ - 2)) {
          diagnostics_.Warn("zero bytes at the end of the file", t.offset);
          p_ = end_;
          return true;
        }
        break;
      default:
        break;
    }
    return diagnostics_.Fail(ErrorKind::kSyntax, "unknown token code " + std::to_string(code),
                             t.offset);
  }

  bool Peek(Token& t) {
    const std::uint8_t* saved = p_;
    bool ok = Next(t);
    p_ = saved;
    return ok;
  }

  bool ReadNumber(Primitive type, double& out) {
    if (list_left_ == 0 && !StartList(out, type)) return false;
    if (list_left_ == 0) return true;  // StartList delivered a lone INTEGER
    --list_left_;
    bool changed = false;
    if (list_floats_) {
      double v = float_size_ == 4 ? static_cast<double>(LoadF32(list_)) : LoadF64(list_);
      list_ += float_size_;
      if (IsFloatPrimitive(type)) {
        out = NormalizeFloat(type, v, changed);
      } else {
        diagnostics_.Warn("a float list supplies an integer member", Offset());
        out = FloatToInteger(type, v, changed);
      }
    } else {
      std::uint32_t v = LoadU32(list_);
      list_ += 4;
      if (IsFloatPrimitive(type)) {
        diagnostics_.Warn("an integer list supplies a float member", Offset());
        out = NormalizeFloat(type, static_cast<double>(v), changed);
      } else {
        out = NormalizeInteger(type, static_cast<std::int64_t>(v));
      }
    }
    if (changed) diagnostics_.Warn("an infinite or invalid number was read as 0", Offset());
    return true;
  }

  bool ReadString(std::string_view& out) {
    if (list_left_ != 0) {
      return diagnostics_.Fail(ErrorKind::kBadData, "expected a string, found numbers", Offset());
    }
    for (;;) {
      Token t;
      if (!Next(t)) return false;
      switch (t.kind) {
        case TokenKind::kComma:
        case TokenKind::kSemicolon:
          continue;
        case TokenKind::kString:
          out = t.text;
          return true;
        case TokenKind::kEnd:
          return Truncated("an object's data", Offset());
        default:
          return diagnostics_.Fail(ErrorKind::kBadData, "expected a string, found " + Describe(t),
                                   t.offset);
      }
    }
  }

  // Whether the rest of the file (and of the current list) could hold this many more values,
  // checked before anything is allocated for them. A number takes 4 bytes at least, a string 6.
  bool CanHold(std::uint64_t numbers, std::uint64_t strings) const {
    std::uint64_t left = Left() + static_cast<std::uint64_t>(list_left_) * 4;
    if (numbers > left / 4 || strings > left / 6) return false;
    return numbers * 4 + strings * 6 <= left;
  }

  // The most numbers the rest of the file (and of the current list) could hold.
  std::uint64_t MaxNumbers() const { return Left() / 4 + list_left_; }

  // Values left in the current list when an object's data are complete belong to nothing.
  void EndData(std::string_view template_name) {
    if (list_left_ != 0) {
      diagnostics_.Warn("values after the data of a " + std::string(template_name) + " ignored",
                        Offset());
      list_left_ = 0;
    }
  }

 private:
  std::uint64_t Left() const { return static_cast<std::uint64_t>(end_ - p_); }

  bool Kind(Token& t, TokenKind kind) {
    t.kind = kind;
    return true;
  }

  bool Type(Token& t, Primitive p) {
    t.kind = TokenKind::kPrimitive;
    t.primitive = p;
    return true;
  }

  bool Truncated(const char* what, std::uint64_t offset) {
    return diagnostics_.Fail(ErrorKind::kTruncated, std::string("the file ends inside ") + what,
                             offset);
  }

  bool AllZero(const std::uint8_t* from) const {
    for (const std::uint8_t* q = from; q != end_; ++q) {
      if (*q != 0) return false;
    }
    return true;
  }

  // Finds the next list (or lone integer) for a numeric member, skipping separators.
  bool StartList(double& out, Primitive type) {
    for (;;) {
      Token t;
      if (!Next(t)) return false;
      switch (t.kind) {
        case TokenKind::kComma:
        case TokenKind::kSemicolon:
          continue;
        case TokenKind::kIntegerList:
        case TokenKind::kFloatList:
          if (t.integer == 0) continue;
          list_ = reinterpret_cast<const std::uint8_t*>(t.text.data());
          list_left_ = t.integer;
          list_floats_ = t.kind == TokenKind::kFloatList;
          return true;
        case TokenKind::kInteger:
          if (IsFloatPrimitive(type)) {
            bool changed = false;
            out = NormalizeFloat(type, static_cast<double>(t.integer), changed);
          } else {
            out = NormalizeInteger(type, static_cast<std::int64_t>(t.integer));
          }
          return true;
        case TokenKind::kEnd:
          return Truncated("an object's data", Offset());
        default:
          return diagnostics_.Fail(ErrorKind::kBadData, "expected a number, found " + Describe(t),
                                   t.offset);
      }
    }
  }

  const std::uint8_t* begin_;
  const std::uint8_t* p_;
  const std::uint8_t* end_;
  int float_size_;
  Diagnostics& diagnostics_;
  const std::uint8_t* list_ = nullptr;
  std::uint32_t list_left_ = 0;
  bool list_floats_ = false;
};

}  // namespace vorna::xfile
