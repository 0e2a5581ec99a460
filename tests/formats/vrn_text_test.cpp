#include "formats/vrn_text.h"

#include <gtest/gtest.h>

#include "formats/model_file_fixtures.h"
#include "formats/tagged_text.h"
#include "support/model_fixtures.h"

namespace vorna {
namespace {

using test::TwoPartModel;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string out;
  for (const char* line : lines) {
    if (!out.empty()) out += "\r\n";
    out += line;
  }
  return out;
}

TEST(VrnTextTest, WritesTheExactFile) {
  auto model = TwoPartModel();
  const std::string bytes = FormatTaggedText(*model, SaveOptions{}, TextVariant::kVrn);
  // Header with the Anim clamped to the one Motion, then Part Q first (drawing order).
  const std::string head =
      Lines({"<version>", "1.8", "</version>", "<parts_count>", "2", "</parts_count>",
             "<motion_count>", "1", "</motion_count>", "<unit_count>", "2", "</unit_count>",
             "<anim_count>", "1", "</anim_count>", "<anim_data>", "0 0 1 walk", "</anim_data>"});
  ASSERT_EQ(bytes.substr(0, head.size()), head);
  EXPECT_EQ(model->anims[0].last_motion, 0);
  const size_t q = bytes.find(Lines({"<parts_name>", "Q", "</parts_name>"}));
  const size_t p = bytes.find(Lines({"<parts_name>", "P", "</parts_name>"}));
  ASSERT_NE(q, std::string::npos);
  ASSERT_NE(p, std::string::npos);
  EXPECT_LT(q, p);
  for (const std::string& block : {
           Lines({"<diffuse>", "1.000000 0.800000 0.800000 0.800000", "</diffuse>"}),
           Lines({"<specular>", "1.000000 0.250000 0.500000 0.750000", "</specular>"}),
           Lines({"<texture_map_param>", "0 1.000000 1.000000 0.000000 0.000000",
                  "</texture_map_param>"}),
           Lines({"<vertices>",
                  "3.000000 0.500000 -1.250000 0.000000 0.000000 -1.000000 0.375000 1.000000 "
                  "0.000000"}),
           Lines({"<faces>", "0 1 2 3", "</faces>"}),
           Lines({"<texture_file>", "skin.png", "</texture_file>"}),
           Lines({"<faces>", "0 1 2 -1", "</faces>"}),
           std::string("0.000000 0.500000 -1.250000 0.000000 0.000000 -1.000000 0.000000 "
                       "1.000000 0.500000"),
       }) {
    EXPECT_NE(bytes.find(block), std::string::npos) << block;
  }
  // The Units close the file in breadth-first order: A, then B.
  const std::string units = Lines(
      {"<unit>", "<basis>", "2 0.000000 2.000000 0.000000 A 0 0 0 20",
       "1 0.000000 1.000000 0.000000 0 0 90 B 1 10 0 20", "</basis>",
       "<parent>\r\n0\r\n3\r\n0\r\n2\r\n</parent>", "<angle>\r\n-10 20 30\r\n45\r\n</angle>",
       "<translation>\r\n0.500000 0.000000 0.000000",
       "0.000000 0.000000 0.000000\r\n</translation>", "<scale>\r\n1.000000 1.000000 1.000000",
       "1.000000 1.000000 1.000000\r\n</scale>", "</unit>"});
  ASSERT_GE(bytes.size(), units.size());
  EXPECT_EQ(bytes.substr(bytes.size() - units.size()), units);
}

TEST(VrnTextTest, ReadsLfOnlyFilesAndExponents) {
  std::string bytes = FormatTaggedText(*TwoPartModel(), SaveOptions{}, TextVariant::kVrn);
  std::string lf;
  for (char c : bytes) {
    if (c != '\r') lf.push_back(c);
  }
  // Numbers in exponent form, as other tools write them.
  const std::string first = "3.000000 0.500000 -1.250000 ";
  lf.replace(lf.find(first), first.size(), "3e0 5E-1 -125e-2 ");
  auto model = test::NewModel();
  ScriptedHost host;
  ReadError error;
  ASSERT_TRUE(ParseTaggedText(*model, lf, "", TextVariant::kVrn, {false}, host, &error))
      << error.Describe();
  EXPECT_EQ(model->positions[0], (Vec3{3, 0.5f, -1.25f}));
  EXPECT_EQ(model->normals[0], (Vec3{0, 0, -1}));
  EXPECT_TRUE(host.entries.empty());
}

// Refusals of broken text files are rows of the refusal table in vrn_binary_test.cpp.

}  // namespace
}  // namespace vorna
