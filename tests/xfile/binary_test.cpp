#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "sample_documents.h"

namespace vorna::xfile {
namespace {

// Builds binary token streams byte by byte, little-endian.
class Bytes {
 public:
  Bytes& U16(std::uint16_t v) {
    s_.push_back(static_cast<char>(v & 0xFF));
    s_.push_back(static_cast<char>(v >> 8));
    return *this;
  }
  Bytes& U32(std::uint32_t v) { return U16(v & 0xFFFF).U16(static_cast<std::uint16_t>(v >> 16)); }
  Bytes& Raw(std::string_view raw) {
    s_ += raw;
    return *this;
  }
  Bytes& Tok(std::uint16_t code) { return U16(code); }
  Bytes& Name(std::string_view name) {
    return Tok(1).U32(static_cast<std::uint32_t>(name.size())).Raw(name);
  }
  Bytes& Str(std::string_view text) {
    return Tok(2).U32(static_cast<std::uint32_t>(text.size())).Raw(text);
  }
  Bytes& Ints(std::initializer_list<std::uint32_t> values) {
    Tok(6).U32(static_cast<std::uint32_t>(values.size()));
    for (std::uint32_t v : values) U32(v);
    return *this;
  }
  Bytes& Floats(std::initializer_list<float> values) {
    Tok(7).U32(static_cast<std::uint32_t>(values.size()));
    for (float v : values) U32(std::bit_cast<std::uint32_t>(v));
    return *this;
  }
  Bytes& Doubles(std::initializer_list<double> values) {
    Tok(7).U32(static_cast<std::uint32_t>(values.size()));
    for (double v : values) {
      std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
      U32(static_cast<std::uint32_t>(bits)).U32(static_cast<std::uint32_t>(bits >> 32));
    }
    return *this;
  }
  const std::string& str() const { return s_; }

 private:
  std::string s_;
};

constexpr std::uint16_t kOBrace = 0x0A, kCBrace = 0x0B, kOBracket = 0x0E, kCBracket = 0x0F,
                        kComma = 0x13, kSemicolon = 0x14, kGuid = 0x05, kInteger = 0x03;

TEST(BinaryWriterTest, EncodesObjectsAsTokenLists) {
  Document d;
  DataObject& red = samples::Add(d, "Material", "Red");
  for (double v : {1.0, 0.0, 0.0, 1.0, 8.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0}) red.AddNumber(v);
  DataObject& mesh = samples::Add(d, "Mesh", "Tri");
  for (double v : {3.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.5, 1.0, 3.0, 0.0, 1.0, 2.0}) {
    mesh.AddNumber(v);
  }
  DataObject& list = samples::Add(d, "MeshMaterialList", "", &mesh);
  for (double v : {1.0, 1.0, 0.0}) list.AddNumber(v);
  list.AddReference(red);
  // A string member is followed by its own separator token.
  DataObject& weights = samples::Add(d, "SkinWeights");
  weights.AddString("Bone");
  for (double v : {1.0, 7.0, 0.5}) weights.AddNumber(v);
  samples::AddIdentity(weights);
  WriteOptions options;
  options.encoding = Encoding::kBinary;
  WriteResult w = Write(d, options);
  ASSERT_TRUE(w.ok()) << w.error.Describe();
  Bytes e;
  e.Raw("xof 0303bin 0032").Name("Material").Name("Red").Tok(kOBrace);
  e.Floats({1, 0, 0, 1, 8, 0, 0, 0, 0, 0, 0}).Tok(kCBrace);
  e.Name("Mesh").Name("Tri").Tok(kOBrace).Ints({3}).Floats({0, 0, 0, 1, 0, 0, 0, 1, 0.5f});
  e.Ints({1, 3, 0, 1, 2}).Name("MeshMaterialList").Tok(kOBrace).Ints({1, 1, 0});
  e.Tok(kOBrace).Name("Red").Tok(kCBrace).Tok(kCBrace).Tok(kCBrace);
  e.Name("SkinWeights").Tok(kOBrace).Str("Bone").Tok(kSemicolon).Ints({1, 7});
  e.Floats({0.5f, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}).Tok(kCBrace);
  EXPECT_EQ(w.bytes, e.str());
}

// Numbers are taken from the lists wherever these break, converted with a warning when the list
// is of the other kind, and eight bytes wide when the header says so.
TEST(BinaryReaderTest, TakesNumbersFromListsAsTheyCome) {
  struct Case {
    const char* what;
    std::string file;
    std::vector<double> numbers;  // of all objects in turn
    std::vector<std::string> warnings;
  };
  const std::string header = "xof 0303bin 0032";
  const std::vector<double> mesh = {2, 0, 0, 0, 1, 1, 1, 1, 3, 0, 1, 1};
  const Case cases[] = {
      {"lists cut elsewhere",
       header + Bytes().Name("Mesh").Tok(kOBrace).Tok(kInteger).U32(2).Tok(kComma).str() +
           Bytes().Floats({0, 0}).Floats({}).Tok(kSemicolon).Floats({0, 1, 1, 1}).str() +
           Bytes().Ints({1, 3}).Tok(kSemicolon).Tok(kSemicolon).Ints({0}).str() +
           Bytes().Tok(kInteger).U32(1).Tok(kInteger).U32(1).Tok(kCBrace).str(),
       mesh},
      {"eight-byte floats",
       "xof 0302bin 0064" + Bytes().Name("Coords2d").Tok(kOBrace).Doubles({0.1, -2.5}).str() +
           Bytes().Tok(kCBrace).Name("AnimTicksPerSecond").Tok(kOBrace).Ints({4800}).str() +
           Bytes().Tok(kCBrace).str(),
       {0.1f, -2.5, 4800}},
      {"lists of the other kind",
       header + Bytes().Name("FloatKeys").Tok(kOBrace).Floats({2, 7}).Ints({3}).Tok(kCBrace).str() +
           Bytes().Name("Vector").Tok(kOBrace).Floats({1, 2, 3, 4}).Tok(kCBrace).str(),
       {2, 7, 3, 1, 2, 3},
       {"a float list supplies an integer member", "an integer list supplies a float member",
        "values after the data of a Vector ignored"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read(c.file);
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    std::vector<double> numbers;
    for (const DataObject* o : r.document.objects()) {
      numbers.insert(numbers.end(), o->numbers().begin(), o->numbers().end());
    }
    EXPECT_EQ(numbers, c.numbers);
    std::vector<std::string> warnings;
    for (const Warning& w : r.document.warnings()) warnings.push_back(w.text);
    EXPECT_EQ(warnings, c.warnings);
  }
}

TEST(BinaryReaderTest, MalformedStreamsFailWithKindAndOffset) {
  struct Case {
    const char* what;
    std::string body;
    ErrorKind kind;
    std::uint64_t offset;
  };
  const Case cases[] = {
      {"list longer than the file",
       Bytes().Name("Vector").Tok(kOBrace).Tok(7).U32(1000).U32(0).str(), ErrorKind::kTruncated,
       30},
      {"name longer than the file", Bytes().Tok(1).U32(0xFFFFFFFF).Raw("Mesh").str(),
       ErrorKind::kTruncated, 16},
      {"unknown token code", Bytes().Name("Frame").Tok(kOBrace).Tok(0x99).str(), ErrorKind::kSyntax,
       29},
      {"string for a number", Bytes().Name("Vector").Tok(kOBrace).Str("1").Tok(kCBrace).str(),
       ErrorKind::kBadData, 30},
      {"count larger than the data",
       Bytes().Name("FloatKeys").Tok(kOBrace).Ints({0x10000000}).Floats({1}).Tok(kCBrace).str(),
       ErrorKind::kBadData, 43},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read("xof 0303bin 0032" + c.body);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_EQ(r.error.offset, c.offset) << r.error.Describe();
  }
}

}  // namespace
}  // namespace vorna::xfile
