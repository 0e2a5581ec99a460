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
