#include "model/file_paths.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "io/atomic_file.h"
#include "io/descriptor.h"
#include "model/name_text.h"
#include "support/test_support.h"

namespace vorna {
namespace {

TEST(AtomicFileTest, ReplacesOnlyOnCommit) {
  test::TempDir dir;
  const std::string path = dir.File("out.txt");
  test::WriteFile(path, "old");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(path) && file.Write("new") && file.Open(path));  // drops the first
  }
  EXPECT_EQ(test::ReadFile(path), "old");  // abandoned without Commit
  bool created = false;
  EXPECT_TRUE(WriteFileAtomically(path, "new", &created));
  EXPECT_TRUE(created);
  EXPECT_EQ(test::ReadFile(path), "new");
  EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/dir/x"), "y", &created));
  EXPECT_FALSE(created);
  std::filesystem::create_directory(dir.File("taken"));  // the rename onto it fails
  EXPECT_FALSE(WriteFileAtomically(dir.File("taken"), "y", &created));
  const Descriptor full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  EXPECT_FALSE(WriteAll(full.get(), "x"));  // a full disk fails the write, no endless retry
  // No temporary is left behind.
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 2);
}

TEST(FilePathsTest, StoredNamesResolveDespiteBackslashesAndLetterCase) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("Textures").c_str(), 0755), 0);
  test::WriteFile(dir.File("Textures/Skin.PNG"), "x");
  EXPECT_EQ(ResolveFileName(dir.path() + "textures\\skin.png"), dir.File("Textures/Skin.PNG"));
  EXPECT_EQ(ResolveFileName(dir.path() + "Textures/Skin.PNG"), dir.File("Textures/Skin.PNG"));
  EXPECT_TRUE(FileExists(dir.path() + "TEXTURES\\SKIN.png"));
  EXPECT_FALSE(FileExists(dir.path() + "textures\\other.png"));
  EXPECT_FALSE(FileExists(dir.path() + "textures"));  // a directory is no file
  EXPECT_FALSE(FileExists(""));
}

// Only the file name has an extension; a folder's dot or a name without one has none.
TEST(PathPartsTest, SplitsFolderStemAndExtension) {
  struct Case {
    const char* path;
    const char* folder;
    const char* stem;
    const char* extension;
  };
  for (const Case& c :
       {Case{"/m/v1.2/walker.vrn", "/m/v1.2/", "walker", ".vrn"},
        Case{"v1.2/walker", "v1.2/", "walker", ""}, Case{"a.tar.gz", "", "a.tar", ".gz"},
        Case{"name.", "", "name", "."}, Case{".x", "", "", ".x"}, Case{"dir/", "dir/", "", ""},
        Case{"", "", "", ""}}) {
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.folder, c.folder) << c.path;
    EXPECT_EQ(parts.stem, c.stem) << c.path;
    EXPECT_EQ(parts.extension, c.extension) << c.path;
  }
  EXPECT_EQ(DirectoryOf("/m/a.b"), "/m/");
  EXPECT_EQ(FileNameOf("/m/a.b"), "a.b");
  EXPECT_EQ(WithoutExtension("/m.d/a.b"), "/m.d/a");
}

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
  // Half-width katakana take one byte each; 0x8160 is the full-width tilde, not the wave dash.
  ASSERT_TRUE(Utf8ToCp932("ﾆｭｯﾄ～", &bytes));
  EXPECT_EQ(bytes, "\xC6\xAD\xAF\xC4\x81\x60");
  EXPECT_EQ(Cp932ToUtf8(bytes), "ﾆｭｯﾄ～");

  // Clamped names keep whole characters.
  const std::string name = "ab" + kHyouCp932 + kHyouCp932;
  EXPECT_EQ(ClampCp932(name, 3), "ab");
  EXPECT_EQ(ClampCp932(name, 4), "ab" + kHyouCp932);
  EXPECT_EQ(ClampCp932(name, 63), name);

  EXPECT_TRUE(IsValidUtf8("表"));
  EXPECT_FALSE(IsValidUtf8(kHyouCp932));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));      // an overlong form
}

}  // namespace
}  // namespace vorna
