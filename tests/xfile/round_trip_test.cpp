#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "formats/xfile/names.h"
#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "sample_documents.h"
#include "support/test_support.h"

namespace vorna::xfile {
namespace {

// Same objects, names, GUIDs, values (within `tolerance`), strings and references.
void ExpectSameObject(const DataObject& a, const DataObject& b, double tolerance) {
  SCOPED_TRACE(a.template_name() + " '" + a.name() + "'");
  EXPECT_EQ(a.template_name(), b.template_name());
  EXPECT_EQ(a.name(), b.name());
  EXPECT_EQ(a.guid(), b.guid());
  ASSERT_EQ(a.numbers().size(), b.numbers().size());
  for (std::size_t i = 0; i < a.numbers().size(); ++i) {
    EXPECT_NEAR(a.numbers()[i], b.numbers()[i], tolerance) << "number " << i;
  }
  EXPECT_EQ(a.strings(), b.strings());
  ASSERT_EQ(a.children().size(), b.children().size());
  for (std::size_t i = 0; i < a.children().size(); ++i) {
    const Child& ca = a.children()[i];
    const Child& cb = b.children()[i];
    ASSERT_EQ(ca.reference, cb.reference);
    ASSERT_NE(cb.object, nullptr);
    if (ca.reference) {
      EXPECT_EQ(ca.object->name(), cb.object->name());
      EXPECT_EQ(ca.object->template_name(), cb.object->template_name());
    } else {
      ExpectSameObject(*ca.object, *cb.object, tolerance);
    }
  }
}

void ExpectSameDocument(const Document& a, const Document& b, double tolerance) {
  ASSERT_EQ(a.objects().size(), b.objects().size());
  for (std::size_t i = 0; i < a.objects().size(); ++i) {
    ExpectSameObject(*a.objects()[i], *b.objects()[i], tolerance);
  }
}

struct EncodingCase {
  Encoding encoding;
  const char* header;
  double tolerance;  // text keeps six decimals
};

class RoundTripTest : public ::testing::TestWithParam<EncodingCase> {};

TEST_P(RoundTripTest, DocumentsReadBackAsWritten) {
  const EncodingCase& c = GetParam();
  for (bool skinned : {true, false}) {
    SCOPED_TRACE(skinned ? "skinned mesh" : "custom templates");
    Document original = skinned ? samples::SkinnedDocument() : samples::CustomDocument();
    WriteOptions options;
    options.encoding = c.encoding;
    options.declare = skinned ? samples::SkinnedTemplates() : samples::CustomTemplates();
    WriteResult written = Write(original, options);
    ASSERT_TRUE(written.ok()) << written.error.Describe();
    EXPECT_EQ(written.bytes.substr(0, 16), c.header);
    ReadResult read = Read(written.bytes);
    ASSERT_TRUE(read.ok()) << read.error.Describe();
    EXPECT_TRUE(read.document.warnings().empty()) << read.document.warnings()[0].text;
    EXPECT_EQ(read.document.header().encoding, c.encoding);
    EXPECT_EQ(read.document.templates().declared().size(), options.declare.size());
    ExpectSameDocument(original, read.document, c.tolerance);
    ASSERT_FALSE(HasFailure());  // the objects looked up below are there
    if (skinned) continue;
    // Two-dimensional arrays, string arrays in structures, a variable-size member after an array
    // of variable-size structures, and an empty array are found where the template puts them.
    const DataObject& grid = *read.document.FindObject("Cells");
    EXPECT_EQ(grid["cells"].size(), 6u);  // [rows][columns]
    EXPECT_EQ(grid["cells"][2].Int(), -32768);
    EXPECT_EQ(grid["tags"][1]["values"][1].String(), "{g}");
    std::string keys;
    for (const Value& tag : grid["tags"]) keys += tag["key"].String();
    EXPECT_EQ(keys, "ae");
    const DataObject& line = *read.document.FindObject("Line");
    EXPECT_EQ(line["closing"]["faceVertexIndices"][1].Number(), 5);
    EXPECT_EQ(line["faces"][1]["faceVertexIndices"][0].Number(), 9);
    const DataObject& empty = *line.FirstChild("Polyline");
    EXPECT_TRUE(empty["faces"].begin() == empty["faces"].end());
    EXPECT_EQ(empty["closing"]["nFaceVertexIndices"].Dword(), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, RoundTripTest,
    ::testing::Values(EncodingCase{Encoding::kText, "xof 0303txt 0032", 1e-6},
                      EncodingCase{Encoding::kBinary, "xof 0303bin 0032", 1e-7},
                      EncodingCase{Encoding::kCompressedBinary, "xof 0303bzip0032", 1e-7},
                      EncodingCase{Encoding::kCompressedText, "xof 0303tzip0032", 1e-6}));

TEST(TextWriterTest, UsesTheCanonicalSeparators) {
  Document d;
  DataObject& mesh = samples::Add(d, "Mesh", "Tri");
  for (double v : {3.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 1.0, 3.0, 0.0, 1.0, 2.0}) {
    mesh.AddNumber(v);
  }
  DataObject& key = samples::Add(d, "AnimationKey");
  for (double v : {0.0, 2.0, 0.0, 4.0, 1.0, 0.0, 0.0, 0.0, 160.0, 4.0, 0.8, 0.0, 0.6, 0.0}) {
    key.AddNumber(v);
  }
  // Fixed point whatever the size.
  DataObject& floats = samples::Add(d, "FloatKeys");
  for (double v : {5.0, 1e-7, 123456.0, 0.0, 0.0, -0.5}) floats.AddNumber(v);
  WriteResult w = Write(d);
  ASSERT_TRUE(w.ok()) << w.error.Describe();
  EXPECT_EQ(test::ReferenceFileDifference(w.bytes, "xfile/separators.x"), "");
}

// Each case builds a document the writer must refuse, naming the object at fault.
TEST(WriterTest, RefusesWhatWouldNotReadBack) {
  struct Case {
    const char* what;
    void (*build)(Document&);
    Encoding encoding;
    const char* message;
  };
  const Case cases[] = {
      {"name with a space in text", [](Document& d) { samples::Add(d, "Frame", "Left Arm"); },
       Encoding::kText, "object name \"Left Arm\""},
      {"string with a quote in text",
       [](Document& d) { samples::Add(d, "TextureFilename").AddString("a\"b.png"); },
       Encoding::kText, "double quote"},
      {"infinite number in binary",
       [](Document& d) { samples::Add(d, "FloatKeys").AddNumber(-double{INFINITY}); },
       Encoding::kBinary, "FloatKeys: a number that is not finite"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Document d;
    c.build(d);
    WriteOptions options;
    options.encoding = c.encoding;
    WriteResult w = Write(d, options);
    EXPECT_EQ(w.error.kind, ErrorKind::kBadData);
    EXPECT_NE(w.error.message.find(c.message), std::string::npos) << w.error.message;
    EXPECT_TRUE(w.bytes.empty());
  }
}

TEST(NameTableTest, KeepsEveryByteTheEncodingCarries) {
  // CP932 "bone": the second bytes of its first two characters are '{' and '['.
  const char* const kBone = "\x83\x7B\x81\x5B\x83\x93";
  struct Case {
    bool text;
    std::string raw;
    std::string expected;
  } cases[] = {
      {true, "Frame_Arm", "Frame_Arm"},
      {true, "Left Arm.L-1", "Left_Arm.L-1"},
      {true, kBone, "__\x81\x5B\x83\x93"},  // whole characters; a '[' trail reads back
      {true, "a\"b;c{d}", "a_b_c_d_"},
      {true, "1st", "_1st"},
      {true, "dword", "dword_"},
      {true, "frame_arm", "frame_arm_2"},  // differs from Frame_Arm only in case
      {true, "Frame_Arm", "Frame_Arm_3"},
      {true, "\x83\x41", "\x83\x41"},  // CP932 A and DI differ only in a trail byte's case
      {false, kBone, kBone},
      {false, std::string("a\0b", 3), "a_b"},
  };
  NameTable text(true), binary(false);
  for (const Case& c : cases) {
    EXPECT_EQ((c.text ? text : binary).Unique(c.raw), c.expected) << c.raw;
  }
}

}  // namespace
}  // namespace vorna::xfile
