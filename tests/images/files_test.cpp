#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "image_builders.h"
#include "images/decode.h"
#include "images/encode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

int EntriesIn(const std::string& directory) {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++n;
  return n;
}

TEST(SaveImageFileTest, ReplacesAtomicallyAndKeepsTheOldFileOnFailure) {
  test::TempDir dir;
  const std::string path = dir.File("view.tif");
  test::WriteFile(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(SaveImageFile(test::Gradient(4, 4), *FindEncoder("image/tiff"), path));
  EXPECT_EQ(test::ReadFile(path).substr(0, 3), "II*");
  struct stat info;
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);

  test::WriteFile(path, "old");
  EXPECT_FALSE(SaveImageFile(Image{}, *FindEncoder("image/tiff"), path));  // nothing to encode
  EXPECT_EQ(test::ReadFile(path), "old");
  EXPECT_FALSE(
      SaveImageFile(test::Gradient(4, 4), *FindEncoder("image/bmp"), dir.File("missing/view.bmp")));
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_FALSE(SaveImageFile(test::Gradient(4, 4), *FindEncoder("image/bmp"), dir.File("folder")));
  EXPECT_EQ(EntriesIn(dir.path()), 2);  // view.tif and folder: no temporaries
}

TEST(DecodeImageFileTest, FailsQuietlyForWhatIsNotAnImageFile) {
  test::TempDir dir;
  test::WriteFile(dir.File("empty.png"), "");
  test::WriteFile(dir.File("text.bmp"), "not a bitmap at all");
  ASSERT_EQ(::mkfifo(dir.File("fifo.png").c_str(), 0600), 0);  // must not wait for a writer
  for (const std::string& path : {dir.path(), dir.File("missing.png"), dir.File("empty.png"),
                                  dir.File("text.bmp"), dir.File("fifo.png"), std::string()}) {
    Image image;
    EXPECT_FALSE(DecodeImageFile(path, &image)) << path;
    EXPECT_TRUE(image.empty());
  }
}

}  // namespace
}  // namespace vorna
