// Internal to the codec: the tokens that the text and binary encodings share, so that one parser
// reads the structure (templates, objects, references) of both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/xfile/guid.h"
#include "formats/xfile/templates.h"

namespace vorna::xfile {

enum class TokenKind : std::uint8_t {
  kEnd,
  kName,
  kString,
  kInteger,
  kNumber,  // text only: a number that is not a plain unsigned 32-bit integer
  kGuid,
  kIntegerList,  // binary only
  kFloatList,    // binary only
  kOBrace,
  kCBrace,
  kOParen,
  kCParen,
  kOBracket,
  kCBracket,
  kOAngle,
  kCAngle,
  kDot,
  kComma,
  kSemicolon,
  kTemplate,
  kArray,
  kPrimitive,
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  // A text word (name, keyword or number): any of them may serve as an object's name.
  bool word = false;
  std::string_view text;  // names, strings and words
  std::uint32_t integer = 0;
  Primitive primitive = Primitive::kNone;
  Guid guid;
  std::uint64_t offset = 0;
};

inline bool IsNameLike(const Token& t) { return t.kind == TokenKind::kName || t.word; }

inline std::string Describe(const Token& t) {
  switch (t.kind) {
    case TokenKind::kEnd:
      return "the end of the file";
    case TokenKind::kName:
      return "name '" + std::string(t.text.substr(0, 64)) + "'";
    case TokenKind::kString:
      return "a string";
    case TokenKind::kInteger:
    case TokenKind::kNumber:
      return "a number";
    case TokenKind::kGuid:
      return "a GUID";
    case TokenKind::kIntegerList:
      return "an integer list";
    case TokenKind::kFloatList:
      return "a float list";
    case TokenKind::kOBrace:
      return "'{'";
    case TokenKind::kCBrace:
      return "'}'";
    case TokenKind::kOParen:
      return "'('";
    case TokenKind::kCParen:
      return "')'";
    case TokenKind::kOBracket:
      return "'['";
    case TokenKind::kCBracket:
      return "']'";
    case TokenKind::kOAngle:
      return "'<'";
    case TokenKind::kCAngle:
      return "'>'";
    case TokenKind::kDot:
      return "'.'";
    case TokenKind::kComma:
      return "','";
    case TokenKind::kSemicolon:
      return "';'";
    case TokenKind::kTemplate:
      return "'template'";
    case TokenKind::kArray:
      return "'array'";
    case TokenKind::kPrimitive:
      return "type " + std::string(PrimitiveKeyword(t.primitive));
  }
  return "a token";
}

}  // namespace vorna::xfile
