#include "editor/recent_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace vorna {
namespace {

using Paths = std::vector<std::string>;

TEST(RecentFilesTest, NewestFirstOnceEachAtMostTen) {
  RecentFiles recent(Paths{"/a", "", "/b", "/a"});
  EXPECT_EQ(recent.paths(), (Paths{"/a", "/b"}));
  recent.Push("/b");
  EXPECT_EQ(recent.paths(), (Paths{"/b", "/a"}));
  for (int i = 0; i < 12; ++i) recent.Push("/f" + std::to_string(i));
  ASSERT_EQ(recent.paths().size(), RecentFiles::kMaxFiles);
  EXPECT_EQ(recent.paths().front(), "/f11");
  EXPECT_EQ(recent.paths().back(), "/f2");
  // A stored list comes back in its own order.
  EXPECT_EQ(RecentFiles(recent.paths()).paths(), recent.paths());
}

TEST(RecentFilesTest, AGoneFileIsDroppedWithAMessage) {
  RecentFiles recent(Paths{"/here", "/gone"});
  auto exists = [](const std::string& path) { return path == "/here"; };
  ScriptedHost host;
  EXPECT_TRUE(recent.CheckStillThere("/here", host, exists));
  EXPECT_TRUE(host.entries.empty());
  EXPECT_FALSE(recent.CheckStillThere("/gone", host, exists));
  EXPECT_EQ(recent.paths(), Paths{"/here"});
  EXPECT_EQ(host.Texts(), Paths{RecentFileGoneMessage("/gone")});
  EXPECT_EQ(host.Texts()[0].rfind("/gone\r\n\r\nが見つかりません。", 0), 0u);
}

}  // namespace
}  // namespace vorna
