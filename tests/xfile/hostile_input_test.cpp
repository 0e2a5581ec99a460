// Inputs written to break a reader: each must end in a clean failure or a bounded success,
// quickly and without touching memory it does not own (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "formats/xfile/reader.h"
#include "sample_documents.h"

namespace vorna::xfile {
namespace {

std::string Text(const std::string& body) { return "xof 0303txt 0032\n" + body; }

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(HostileInputTest, CountsAndSizesBeyondTheDataFailCleanly) {
  struct Case {
    const char* what;
    std::string file;
    ErrorKind kind;
  };
  const Case cases[] = {
      {"vertex count beyond the data", Text("Mesh { 4294967295; 0;0;0;; }"), ErrorKind::kBadData},
      {"face count beyond the data", Text("Mesh { 1; 0;0;0;; 4000000000; 3;0,0,0;; }"),
       ErrorKind::kBadData},
      {"corner count beyond the data", Text("Mesh { 1; 0;0;0;; 1; 4294967295; 0; }"),
       ErrorKind::kBadData},
      {"declared array of 1.6e19 values",
       Text("template Huge { <00000000-0000-0000-0000-000000000001> "
            "array FLOAT a[4000000000][4000000000]; } Huge { 1; }"),
       ErrorKind::kBadData},
      {"fixed sizes multiplying past 64 bits",
       Text("template A { <00000000-0000-0000-0000-00000000000A> array FLOAT a[65536]; }"
            "template B { <00000000-0000-0000-0000-00000000000B> array A b[65536][65536]; }"
            "template C { <00000000-0000-0000-0000-00000000000C> array B c[65536][65536]; }"
            "C { 1; }"),
       ErrorKind::kBadData},
      {"binary list of 4 billion floats",
       std::string("xof 0303bin 0032\x01\x00\x06\x00\x00\x00Vector\x0a\x00\x07\x00\xff\xff\xff\xff",
                   36),
       ErrorKind::kTruncated},
      {"unterminated string", Text("TextureFilename { \"" + std::string(10000, 'a')),
       ErrorKind::kTruncated},
      {"unclosed objects", Text(Repeat("Frame {", 100)), ErrorKind::kTruncated},
      {"objects nested 600 deep", Text(Repeat("Frame {", 600) + Repeat("}", 600)),
       ErrorKind::kLimit},
      {"unknown object never closed", Text("Mystery { { { \"}\" }"), ErrorKind::kTruncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read(c.file);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_LE(r.error.offset, c.file.size());
  }
}

TEST(HostileInputTest, ArraysOfEmptyStructuresCostNothing) {
  ReadResult r =
      Read(Text("template Empty { <00000000-0000-0000-0000-0000000000E0> }"
                "template Many { <00000000-0000-0000-0000-0000000000E1> DWORD n; array Empty e[n]; "
                "array Empty f[4294967295][4294967295]; DWORD after; }"
                "Many { 4294967295; 7; }"));
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  const DataObject& many = *r.document.objects()[0];
  EXPECT_EQ(many["e"].size(), 4294967295u);
  EXPECT_TRUE(many["f"].Numbers().empty());
  EXPECT_EQ(many["after"].Dword(), 7u);
  EXPECT_EQ(many.numbers().size(), 2u);
}

// Objects deeper than the limit fail (see above); templates nested in templates may be read
// recursively, so deep chains are refused when declared.
TEST(HostileInputTest, TemplateDepthIsBounded) {
  std::string chain = "template T0 { <00000000-0000-0000-0000-000000000000> DWORD n; }";
  for (int i = 1; i <= 40; ++i) {
    chain += "template T" + std::to_string(i) + " { <00000000-0000-0000-0000-0000000001" +
             (i < 10 ? "0" : "") + std::to_string(i) + "> T" + std::to_string(i - 1) + " inner; }";
  }
  ReadResult r = Read(Text(chain + " T31 { 5; } T40 { 5; }"));
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  EXPECT_TRUE(r.document.FindTemplate("T31")->layout.usable);
  EXPECT_FALSE(r.document.FindTemplate("T32")->layout.usable);
  ASSERT_EQ(r.document.objects().size(), 1u);
  EXPECT_EQ(r.document.objects()[0]->template_name(), "T31");
}

TEST(HostileInputTest, EveryTruncationFailsCleanly) {
  for (const samples::EncodedSample& sample : samples::EncodedSamples()) {
    const std::string& file = sample.bytes;
    const bool compressed = sample.encoding == Encoding::kCompressedBinary ||
                            sample.encoding == Encoding::kCompressedText;
    for (std::size_t n = 0; n < file.size(); ++n) {
      ReadResult r = Read(std::string_view(file).substr(0, n));
      if (r.ok()) continue;  // a cut between objects leaves a valid file
      if (!compressed || !r.error.in_decompressed) {
        ASSERT_LE(r.error.offset, n) << r.error.Describe();
      }
      ASSERT_FALSE(r.error.message.empty());
      ASSERT_TRUE(r.document.objects().empty());
    }
  }
}

}  // namespace
}  // namespace vorna::xfile
