#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"

namespace vorna::xfile {
namespace {

std::string Text(const std::string& body) { return "xof 0303txt 0032\n" + body; }
ReadResult ReadText(const std::string& body) { return Read(Text(body)); }

bool HasWarning(const Document& d, const std::string& part) {
  for (const Warning& w : d.warnings()) {
    if (w.text.find(part) != std::string::npos) return true;
  }
  return false;
}

TEST(TextReaderTest, SeparatorsAreOptionalAndInterchangeable) {
  const char* variants[] = {
      "Mesh { 3; 0.0;0.0;0.0;, 1.0;0.0;0.0;, 0.0;1.0;0.0;; 1; 3;0,1,2;; }",
      "Mesh { 3 0 0 0 1 0 0 0 1 0 1 3 0 1 2 }",
      "Mesh {\r\n3;\r\n0;0;0;,\r\n1;0;0;,\r\n0;1;0;;\r\n1;\r\n3;0,1,2;,\r\n}",
      "Mesh { 3; // vertices\n 0;0;0;, # origin\n 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }",
  };
  for (const char* text : variants) {
    SCOPED_TRACE(text);
    ReadResult r = ReadText(text);
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_EQ(r.document.objects()[0]->numbers(),
              (std::vector<double>{3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 3, 0, 1, 2}));
  }
}

TEST(TextReaderTest, ReadsTheNumberSpellingsOfRealFiles) {
  struct Case {
    const char* text;
    double value;
    bool warns;
  };
  const Case floats[] = {
      {"1", 1, false},        {"-0.500000", -0.5, false}, {"1e-05", 1e-05f, false},
      {"-.25", -0.25, false}, {"1.#IND00", 0, true},      {"1e60", 0, true},
      {"0.1", 0.1f, false},
  };
  for (const Case& c : floats) {
    SCOPED_TRACE(c.text);
    ReadResult r = ReadText(std::string("FloatKeys { 1; ") + c.text + "; }");
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_EQ((*r.document.objects()[0])["values"][0].Number(), c.value);
    EXPECT_EQ(!r.document.warnings().empty(), c.warns);
  }
  const Case integers[] = {
      {"7", 7, false},  {"+7", 7, false},   {"-1", 4294967295.0, false},
      {"2.9", 2, true}, {"1e2", 100, true}, {"99999999999999999999", 0, true},
  };
  for (const Case& c : integers) {
    SCOPED_TRACE(c.text);
    ReadResult r = ReadText(std::string("AnimTicksPerSecond { ") + c.text + "; }");
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_EQ(r.document.objects()[0]->numbers()[0], c.value);
    EXPECT_EQ(!r.document.warnings().empty(), c.warns);
  }
}

TEST(TextReaderTest, SkipsObjectsOfTemplatesThatCannotDescribeData) {
  struct Case {
    const char* declaration;
    const char* problem;
  };
  const Case cases[] = {
      {"DWORD n; array DWORD a[m];", "sized by unknown member m"},
      {"FLOAT n; array DWORD a[n];", "not a single integer"},
      {"UNICODE text;", "unsupported type UNICODE"},
      {"T31 deep;", "templates nested too deeply"},
  };
  std::string chain;  // T31 holds T30 ... holds T0 holds a DWORD: as deep as allowed
  for (int i = 0; i < 32; ++i) {
    const std::string n = std::to_string(i);
    chain += "template T" + n + " { <00000000-0000-0000-0000-0000000001" + (i < 10 ? "0" : "") + n +
             "> " + (i == 0 ? "DWORD" : "T") + (i == 0 ? "" : std::to_string(i - 1)) + " a; } ";
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.declaration);
    ReadResult r = ReadText(chain + "template Self { <00000000-0000-0000-0000-0000000000C1> " +
                            c.declaration + " } Self { 1; }");
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_TRUE(r.document.objects().empty());
    EXPECT_TRUE(HasWarning(r.document, "objects of unusable template Self skipped"));
    EXPECT_TRUE(HasWarning(r.document, c.problem));
  }
}

TEST(TextReaderTest, ResolvesReferencesToObjectsDefinedBefore) {
  ReadResult r = ReadText(R"(
Material Red { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }
Material Red { 0.5;0;0;1;; 0; 0;0;0;; 0;0;0;; }
Material Blue { <12345678-0000-0000-0000-000000000001> 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }
{ Blue }
Frame Holder {
 { Red }
 { <12345678-0000-0000-0000-000000000001> }
 { Whatever <12345678-0000-0000-0000-000000000001> }
 { RED }
 { Green }
 { Holder }
 Frame Inner { { Holder } }
 { Inner }
}
Material Green { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; }
)");
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  const auto& objects = r.document.objects();
  const DataObject* second_red = objects[1];
  const DataObject* blue = objects[2];
  const DataObject& holder = *objects[3];
  const DataObject* inner = holder.children()[6].object;
  const DataObject* expected[] = {second_red, blue,    blue,    second_red,
                                  nullptr,    nullptr, nullptr, inner};
  ASSERT_EQ(holder.children().size(), 8u);
  for (std::size_t i = 0; i < holder.children().size(); ++i) {
    SCOPED_TRACE(i);
    if (i == 6) {
      EXPECT_FALSE(holder.children()[i].reference);
      // The reference inside Inner to the frame that holds it stays unresolved: no cycles.
      ASSERT_EQ(holder.children()[i].object->children().size(), 1u);
      EXPECT_EQ(holder.children()[i].object->children()[0].object, nullptr);
      continue;
    }
    EXPECT_TRUE(holder.children()[i].reference);
    EXPECT_EQ(holder.children()[i].object, expected[i]);
  }
  EXPECT_EQ(holder.children()[4].name, "Green");
  EXPECT_TRUE(HasWarning(r.document, "reference to Green, which is not defined before it"));
  EXPECT_TRUE(HasWarning(r.document, "a reference outside any object was ignored"));
  EXPECT_EQ(r.document.FindAll(*Guid::Parse("3d82ab4d-62da-11cf-ab39-0020af71e433")).size(), 4u);
}

TEST(HeaderTest, AcceptsTheKnownVariantsAndRefusesTheRest) {
  struct Case {
    std::string file;
    ErrorKind kind;
    int minor;
    int float_bits;
    std::string text;  // part of the error, or the one warning ("": none)
  };
  const Case cases[] = {
      {"xof 0303txt 0032", ErrorKind::kNone, 3, 32, ""},
      {"xof 0302txt 0064\n", ErrorKind::kNone, 2, 64, ""},
      // Text numbers ignore the float size; other versions are read as 0303 is.
      {"xof 0303txt 0000\n", ErrorKind::kNone, 3, 32, "float size 0000 ignored in a text file"},
      {"xof 0102txt 0032", ErrorKind::kNone, 2, 32, "version 0102 read like 0303"},
      {"xof 0303bin 0016", ErrorKind::kUnsupported, 0, 0, "float size \"0016\" is neither"},
      {"xof 0303\x1F \x7F~0032", ErrorKind::kUnsupported, 0, 0, "encoding \"? ?~\" is not"},
      {"xof 03a3txt 0032", ErrorKind::kNotThisFormat, 0, 0, "bad version \"03a3\""},
      {"XOF 0303txt 0032", ErrorKind::kNotThisFormat, 0, 0, "does not start with \"xof \""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ReadResult r = Read(c.file);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    if (c.kind != ErrorKind::kNone) {
      EXPECT_NE(r.error.message.find(c.text), std::string::npos) << r.error.message;
      continue;
    }
    EXPECT_EQ(r.document.header().minor, c.minor);
    EXPECT_EQ(r.document.header().float_bits, c.float_bits);
    EXPECT_TRUE(r.document.objects().empty());
    std::vector<std::string> warnings;
    for (const Warning& w : r.document.warnings()) warnings.push_back(w.text);
    EXPECT_EQ(warnings, c.text.empty() ? std::vector<std::string>{} : std::vector{c.text});
  }
}

TEST(TextReaderTest, MalformedInputFailsWithKindOffsetAndLine) {
  struct Case {
    const char* body;  // on line 2, after the 17-byte header line
    ErrorKind kind;
    std::uint64_t offset;
  };
  const Case cases[] = {
      {"Frame A {", ErrorKind::kTruncated, 26},
      {"Vector { 1; 2; }", ErrorKind::kBadData, 32},
      {"Vector { 1; 2; 3x; }", ErrorKind::kBadData, 33},
      {"TextureFilename { \"a.png; }", ErrorKind::kTruncated, 35},
      {"TextureFilename { 5; }", ErrorKind::kBadData, 35},
      {"Frame A B {}", ErrorKind::kSyntax, 25},
      {"template T { <00000000-0000-0000-0000-000000000001> array DWORD a; }", ErrorKind::kSyntax,
       82},
      {"template T { <00000000-0000-0000-0000-000000000001> DWORD a", ErrorKind::kTruncated, 76},
      {"template T { <0000000g-0000-0000-0000-000000000001> DWORD a; }", ErrorKind::kSyntax, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    ReadResult r = ReadText(c.body);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_EQ(r.error.offset, c.offset) << r.error.Describe();
    EXPECT_EQ(r.error.line, 2u);
    EXPECT_TRUE(r.document.objects().empty());
  }
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// Inputs written to break a reader: each must end in a clean failure or a bounded success,
// quickly and without touching memory it does not own (the sanitizer build checks the latter).
TEST(HostileInputTest, CountsAndSizesBeyondTheDataFailCleanly) {
  struct Case {
    const char* what;
    std::string file;
    ErrorKind kind;
  };
  const Case cases[] = {
      {"declared array of 1.6e19 values",
       Text("template Huge { <00000000-0000-0000-0000-000000000001> "
            "array FLOAT a[4000000000][4000000000]; } Huge { 1; }"),
       ErrorKind::kBadData},
      {"binary list of 4 billion floats",
       std::string("xof 0303bin 0032\x01\x00\x06\x00\x00\x00Vector\x0a\x00\x07\x00\xff\xff\xff\xff",
                   36),
       ErrorKind::kTruncated},
      {"objects nested 600 deep", Text(Repeat("Frame {", 600) + Repeat("}", 600)),
       ErrorKind::kLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read(c.file);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_LE(r.error.offset, c.file.size());
  }
}

}  // namespace
}  // namespace vorna::xfile
