#include "formats/xfile/names.h"

#include <gtest/gtest.h>

#include <string>

namespace vorna::xfile {
namespace {

using namespace std::string_literals;

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
      {false, "a\0b"s, "a_b"},
  };
  NameTable text(true), binary(false);
  for (const Case& c : cases) {
    EXPECT_EQ((c.text ? text : binary).Unique(c.raw), c.expected) << c.raw;
  }
}

}  // namespace
}  // namespace vorna::xfile
