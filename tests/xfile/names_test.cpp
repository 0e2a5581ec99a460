#include "formats/xfile/names.h"

#include <gtest/gtest.h>

#include <string>

namespace vorna::xfile {
namespace {

TEST(NameTableTest, MakesNamesEveryReaderAccepts) {
  NameTable table;
  const std::pair<std::string, std::string> cases[] = {
      {"Frame_Arm", "Frame_Arm"},
      {"Left Arm.L-1", "Left_Arm_L_1"},
      {"\x8D\xB6\x98\x72", "___r"},  // Shift-JIS bytes; the last one is an ASCII r
      {"1st", "_1st"},
      {"", "_"},
      {"dword", "dword_"},
      {"Template", "Template_"},
      {std::string(40, 'a'), std::string(31, 'a')},
      {"frame_arm", "frame_arm_2"},  // differs from Frame_Arm only in case
      {"Frame_Arm", "Frame_Arm_3"},
      {std::string(40, 'A'), std::string(29, 'A') + "_2"},
  };
  for (const auto& [raw, expected] : cases) {
    EXPECT_EQ(table.Unique(raw), expected) << raw;
  }
}

}  // namespace
}  // namespace vorna::xfile
