#include "model/name_text.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "model/file_paths.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// "表" in CP932 ends in the byte of '\\'; "テクスチャ" is all two-byte characters.
const std::string kHyouCp932 = "\x95\x5C";
const std::string kTextureCp932 = "\x83\x65\x83\x4E\x83\x58\x83\x60\x83\x83";

TEST(NameTextTest, ConvertsBothWaysAndMarksWhatHasNoReading) {
  EXPECT_EQ(Cp932ToUtf8(kHyouCp932 + ".png"), "表.png");
  EXPECT_EQ(Cp932ToUtf8(kTextureCp932), "テクスチャ");
  EXPECT_EQ(Cp932ToUtf8("ab\xA0"
                        "c"),
            "ab\xEF\xBF\xBD"
            "c");                                    // 0xA0 has no reading
  EXPECT_EQ(Cp932ToUtf8("a\x95"), "a\xEF\xBF\xBD");  // a lead byte at the end

  std::string bytes = "kept";
  ASSERT_TRUE(Utf8ToCp932("表テクスチャ", &bytes));
  EXPECT_EQ(bytes, kHyouCp932 + kTextureCp932);
  EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80", &bytes));  // no CP932 form
  EXPECT_FALSE(Utf8ToCp932("\xFF", &bytes));              // not UTF-8
  EXPECT_EQ(bytes, kHyouCp932 + kTextureCp932);

  EXPECT_TRUE(IsValidUtf8("表"));
  EXPECT_FALSE(IsValidUtf8(kHyouCp932));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // an overlong form
}

}  // namespace
}  // namespace vorna
