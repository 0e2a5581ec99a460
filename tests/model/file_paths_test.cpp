#include "model/file_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "io/atomic_file.h"
#include "support/test_support.h"

namespace vorna {
namespace {

TEST(AtomicFileTest, ReplacesOnlyOnCommit) {
  test::TempDir dir;
  const std::string path = dir.File("out.txt");
  test::WriteFile(path, "old");
  {
    AtomicFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Write("new"));
    EXPECT_EQ(test::ReadFile(path), "old");  // abandoned without Commit
  }
  EXPECT_EQ(test::ReadFile(path), "old");
  bool created = false;
  EXPECT_TRUE(WriteFileAtomically(path, "new", &created));
  EXPECT_TRUE(created);
  EXPECT_EQ(test::ReadFile(path), "new");
  EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/dir/x"), "y", &created));
  EXPECT_FALSE(created);
  // No temporary is left behind.
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1);
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

}  // namespace
}  // namespace vorna
