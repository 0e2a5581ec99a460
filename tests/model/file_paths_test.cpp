#include "model/file_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include "io/atomic_file.h"
#include "model/texture_loading.h"
#include "support/test_support.h"

namespace vorna {
namespace {

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

TEST(FilePathsTest, AFailedTextureLoadLeavesNoTextureAndAnEmptyRect) {
  test::TempDir dir;
  test::WriteFile(dir.File("broken.png"), "not an image");
  Part part;
  part.texture_rect = {1, 2, 3, 4};
  TextureCache cache;
  EXPECT_FALSE(LoadTexture(part, dir.File("broken.png"), &cache));
  EXPECT_EQ(part.texture, nullptr);
  EXPECT_EQ(part.texture_rect, (std::array<int32_t, 4>{0, 0, 0, 0}));
  EXPECT_FALSE(LoadTexture(part, dir.path(), &cache));  // an empty name names the directory
  EXPECT_FALSE(LoadTexture(part, dir.File("missing.png"), nullptr));
}

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

}  // namespace
}  // namespace vorna
