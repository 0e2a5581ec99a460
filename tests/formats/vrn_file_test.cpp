// The VRN family: the exact bytes of the text and binary files, what the readers refuse, and
// conversions between all four variants.
#include <gtest/gtest.h>

#include <vector>

#include "formats/model_file_fixtures.h"
#include "formats/tagged_text.h"
#include "formats/vrn_binary.h"
#include "formats/vrn_text.h"
#include "model/hierarchy.h"
#include "model/model_check.h"
#include "support/test_support.h"

namespace vorna {
namespace {

using test::TwoPartModel;

// Little-endian encoding written out byte by byte, independent of the code under test.
std::string U32(uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
          static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
}
std::string Ints(std::initializer_list<int32_t> values) {
  std::string out;
  for (int32_t i : values) out += U32(static_cast<uint32_t>(i));
  return out;
}
std::string Str(const std::string& s) {
  return U32(static_cast<uint32_t>(s.size() + 1)) + s + '\0';
}
std::string Record(const std::string& key, const std::string& data) {
  return Str(key) + U32(static_cast<uint32_t>(data.size())) + data;
}

// The whole files of the two-Part model in the four forms, checked by hand: the Anim clamped to
// the one Motion, the Parts in drawing order (Q, then P), the Units breadth-first (A, then B) at
// the end, and B's axis angles written by its axis type where A has none.
TEST(VrnFileTest, WritesTheReferenceFiles) {
  auto model = TwoPartModel();
  const std::pair<const char*, std::string> files[] = {
      {"two_parts.vrn", FormatTaggedText(*model, {}, TextVariant::kVrn)},
      {"two_parts.vr2", FormatTaggedText(*model, {}, TextVariant::kVr2)},
      {"two_parts_binary.vrn", FormatKeyedBinary(*model, {}, BinaryVariant::kVrn)},
      {"two_parts_binary.vr2", FormatKeyedBinary(*model, {}, BinaryVariant::kVr2)},
  };
  for (const auto& [name, bytes] : files) {
    EXPECT_EQ(test::ReferenceFileDifference(bytes, std::string("formats/") + name), "");
  }
  EXPECT_EQ(model->anims[0].last_motion, 0);
}

// Numbers in exponent form and tabs between them, as other tools write them. Files with LF line
// ends alone are the tagged-text seeds read by the vorna-cli cases.
TEST(VrnTextTest, ReadsExponentsAndTabs) {
  std::string bytes = FormatTaggedText(*TwoPartModel(), SaveOptions{}, TextVariant::kVrn);
  const std::string first = "3.000000 0.500000 -1.250000 ";
  bytes.replace(bytes.find(first), first.size(), "3e0\t5E-1 -125e-2 ");
  auto model = test::NewModel();
  ScriptedHost host;
  ReadError error;
  ASSERT_TRUE(ParseTaggedText(*model, bytes, "", TextVariant::kVrn, {false}, host, &error))
      << error.Describe();
  EXPECT_EQ(model->positions[0], (Vec3{3, 0.5f, -1.25f}));
  EXPECT_EQ(model->normals[0], (Vec3{0, 0, -1}));
  EXPECT_TRUE(host.entries.empty());
}

TEST(ModelFileTest, RefusesWhatItCannotRead) {
  using test::VrnFile;
  const std::string text = test::FormatVrn(*TwoPartModel(), VrnFile::kText);
  const std::string good = test::FormatVrn(*TwoPartModel(), VrnFile::kBinary);
  auto replace = [](std::string bytes, const std::string& from, const std::string& to) {
    const size_t at = bytes.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? bytes : bytes.replace(at, from.size(), to);
  };
  auto binary = [&](const std::string& from, const std::string& to) {
    return replace(good, from, to);
  };
  const char* const kVersion = "ファイル バージョンが違います";
  const char* const k256Parts = "パーツ数が256個を超えました";
  struct Case {
    const char* name;
    VrnFile file;
    std::string bytes;
    bool ok;
    const char* message;  // nullptr: no message
  };
  const Case cases[] = {
      {"text: old version", VrnFile::kText, replace(text, "\r\n1.8\r\n", "\r\n1.10\r\n"), false,
       kVersion},
      {"text: 256 parts", VrnFile::kText,
       replace(text, "<parts_count>\r\n2\r\n", "<parts_count>\r\n256\r\n"), false, k256Parts},
      {"text: huge vertex total", VrnFile::kText,
       replace(text, "<total_vertex_count>\r\n7", "<total_vertex_count>\r\n2000000000"), false,
       nullptr},
      {"text: index outside the part", VrnFile::kText,
       replace(text, "\r\n0 1 2 3\r\n", "\r\n0 1 2 4\r\n"), false, nullptr},
      {"version 1.61", VrnFile::kBinary, binary(Str("1.8"), Str("1.61")), true, nullptr},
      {"version 1.10", VrnFile::kBinary, binary(Str("1.8"), Str("1.10")), false, kVersion},
      // The records after it would read well on their own.
      {"version longer than the file", VrnFile::kBinary, binary(Str("1.8"), U32(0xFFFFFFF0)), false,
       nullptr},
      {"256 parts", VrnFile::kBinary,
       binary(Record("parts_count", U32(2)), Record("parts_count", U32(256))), false, k256Parts},
      {"vertex total beyond the file", VrnFile::kBinary,
       binary(Record("total_vertex_count", U32(7)), Record("total_vertex_count", U32(1u << 30))),
       false, nullptr},
      {"index outside its part", VrnFile::kBinary,
       binary(Ints({0, 1, 2, 3, 0, 1, 2, -1}), Ints({0, 1, 2, 4, 0, 1, 2, -1})), false, nullptr},
      {"part ranges past the totals", VrnFile::kBinary, binary(U32(4) + U32(3), U32(4) + U32(4)),
       false, nullptr},
      {"huge string length", VrnFile::kBinary, binary(Str("Q"), U32(0x7FFFFFFF) + "Q"), false,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Refusals come after parts of the file were read: nothing of it may stay.
    auto model = test::NewModel();
    ScriptedHost host;
    ReadError error;
    EXPECT_EQ(test::ParseVrn(*model, c.bytes, c.file, host, &error), c.ok);
    EXPECT_EQ(host.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    if (c.ok) continue;
    EXPECT_NE(error.kind, ReadErrorKind::kNone);
    EXPECT_EQ(model->parts_count, 0);
    EXPECT_TRUE(model->positions.empty() && model->faces.empty() && model->parts.empty());
    EXPECT_EQ(model->node_name[0], "");
  }
  // Where a text file is refused is told by its line.
  ReadError error;
  auto model = test::NewModel();
  ScriptedHost host;
  EXPECT_FALSE(test::ParseVrn(*model, cases[2].bytes, VrnFile::kText, host, &error));
  EXPECT_EQ(error.kind, ReadErrorKind::kBadData);
  EXPECT_EQ(error.line, 20u);
  // One Part fewer than refused: the most a file holds comes back whole in every variant.
  std::vector<std::string> names;
  for (int p = 0; p < kMaxParts - 1; ++p) names.push_back(std::to_string(p));
  auto most = test::Loaded(names, {}, std::vector<int>(names.size(), -1));
  AllocateVertices(*most, kMaxParts + 1);  // the last Part a triangle of three
  AllocateFaces(*most, 1);
  most->parts[kMaxParts - 1] = {.first_vertex = kMaxParts + 1, .first_face = 1};
  most->faces[0] = Face{{0, 1, 2, kNoCorner}};
  most->positions[kMaxParts - 1].x = most->positions[kMaxParts].y = 1;
  for (VrnFile file : test::kVrnFiles) {
    auto back = test::ReadBack(*most, file);
    EXPECT_EQ(back->parts_count, kMaxParts - 1);
    EXPECT_EQ(back->node_name[kMaxParts - 2], names.back());
  }
}

// Under every combination of the save options, what the options keep comes back unchanged.
TEST(ModelFileConversionTest, AllFourVariantsAgreeOnRandomModels) {
  for (uint32_t seed = 1; seed <= 48; ++seed) {
    SCOPED_TRACE(seed);
    const SaveOptions options{(seed & 1) != 0, (seed & 2) != 0, (seed & 4) != 0, (seed & 8) != 0};
    // Coordinates that the seam adjustment leaves alone survive every variant unchanged.
    auto calm = test::RandomModel(seed, 0.3125f, 0.6875f);
    const std::string expected = test::Fingerprint(*calm, options);
    for (int variant = 0; variant < 4; ++variant) {
      auto copy = test::ReadBack(*calm, test::kVrnFiles[variant], options);
      EXPECT_EQ(test::Fingerprint(*copy, options), expected) << "variant " << variant;
      // What the files do not store is derived on reading.
      EXPECT_EQ(copy->current_anim, copy->anim_count > 0 ? 0 : -1);
      EXPECT_EQ(copy->parts[0].material.ambient, copy->parts[0].material.diffuse);
      const Vec3 axis = copy->units[0].axis;
      DeriveAxis(*copy, 0);
      EXPECT_EQ(copy->units[0].axis, axis);
      // Converting the copy onwards to every other variant changes nothing either.
      auto onwards = test::ReadBack(*copy, test::kVrnFiles[(variant + 1) % 4], options);
      EXPECT_EQ(test::Fingerprint(*onwards, options), expected) << "variant " << variant;
    }
    // Across the seam the VR2 text and binary files still agree with each other, and with VRN
    // except for the coordinates the seam adjustment raised: above 1.0 they come back as 0, and
    // a 0 raised to exactly 1.0 comes back as 1.
    auto wild = test::RandomModel(seed);
    auto vrn = test::ReadBack(*wild, test::VrnFile::kBinary);
    auto vr2_text = test::ReadBack(*wild, test::VrnFile::kVr2Text);
    auto vr2_binary = test::ReadBack(*wild, test::VrnFile::kVr2Binary);
    EXPECT_EQ(test::Fingerprint(*vr2_text), test::Fingerprint(*vr2_binary));
    for (int v = 0; v < vrn->total_vertex_count; ++v) {
      for (auto field : {&Model::tex_u, &Model::tex_v}) {
        const float read = (*vr2_binary.*field)[v];
        const float before = (*vrn.*field)[v];
        EXPECT_TRUE(read == before || read == 0.0f || (before == 0.0f && read == 1.0f)) << v;
        (*vr2_binary.*field)[v] = (*vrn.*field)[v];
      }
    }
    EXPECT_EQ(test::Fingerprint(*vr2_binary), test::Fingerprint(*vrn));
  }
}

}  // namespace
}  // namespace vorna
