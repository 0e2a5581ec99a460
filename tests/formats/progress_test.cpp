// Reading and saving every format with a progress callback: a stop ends the work cleanly, and
// the reports come to the total.
#include <dirent.h>
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "formats/model_file_fixtures.h"
#include "formats/registry.h"
#include "model/host.h"
#include "support/test_support.h"

namespace vorna {
namespace {

std::set<std::string> Listing(const std::string& directory) {
  std::set<std::string> names;
  DIR* dir = opendir(directory.c_str());
  while (dirent* entry = readdir(dir)) names.insert(entry->d_name);
  closedir(dir);
  return names;
}

// One file per readable format (per encoding of those with two), written by our writers; the
// text polygon file, which has no writer, by hand.
std::vector<std::string> FilesOfEveryFormat(const test::TempDir& dir) {
  std::vector<std::string> paths;
  ScriptedHost host;
  for (const FormatRow& row : FormatRows()) {
    if (row.write == nullptr) continue;
    const std::string path = dir.File(std::string(row.cli_name) + "." + row.extensions[0]);
    auto model = test::SampleWalker();
    EXPECT_TRUE(SaveModel(*model, path, row.format, SaveOptions{}, host)) << row.name;
    paths.push_back(path);
  }
  paths.push_back(dir.File("mesh.txt"));
  std::string mesh = "<polygon_mesh>\n";
  for (const char* xyz : {"0 0 0", "1 0 0", "0 1 0"}) {
    mesh += std::string("<vertex>\n<position vec3=\"") + xyz + "\"/>\n</vertex>\n";
  }
  mesh += "<face>\n";
  for (const char* k : {"0", "1", "2"}) mesh += std::string("<vertex_number int=\"") + k + "\"/>\n";
  test::WriteFile(paths.back(), mesh + "</face>\n</polygon_mesh>\n");
  return paths;
}

TEST(ProgressTest, EveryReaderStopsWhenToldAndOtherwiseReportsItsTotal) {
  test::TempDir dir;
  const std::vector<std::string> paths = FilesOfEveryFormat(dir);
  ASSERT_EQ(paths.size(), FormatRows().size());
  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    ScriptedHost host;
    int calls = 0;
    ReadOptions stop;
    stop.progress = [&calls](std::uint64_t, std::uint64_t) { return ++calls, false; };
    auto model = test::SampleWalker();
    ReadError error;
    EXPECT_FALSE(ReadModelFile(*model, path, host, stop, &error));
    EXPECT_EQ(error.kind, ReadErrorKind::kCancelled);
    // Asked once at the start; a stop is not a refusal, so no other reader is tried.
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(model->parts_count, 0);
    EXPECT_TRUE(model->positions.empty());
    EXPECT_EQ(model->loaded_type, kLoadedNone);

    std::uint64_t done = 0, total = 0;
    ReadOptions watch;
    watch.progress = [&](std::uint64_t d, std::uint64_t t) {
      EXPECT_LE(d, t);
      done = d, total = t;
      return true;
    };
    ASSERT_TRUE(ReadModelFile(*model, path, host, watch, &error)) << error.Describe();
    EXPECT_GT(total, 0u);
    EXPECT_EQ(done, total);
    EXPECT_GT(model->parts_count, 0);
  }
}

TEST(ProgressTest, ASaveStoppedBeforeTheRenameLeavesTheOldFile) {
  for (const FormatRow& row : FormatRows()) {
    if (row.write == nullptr) continue;
    SCOPED_TRACE(row.name);
    test::TempDir dir;
    const std::string path = dir.File(std::string("model.") + row.extensions[0]);
    test::WriteFile(path, "old bytes");
    const std::set<std::string> before = Listing(dir.path());
    // The last moment a stop is honoured: every byte written, the rename next.
    SaveOptions options;
    options.progress = [](std::uint64_t done, std::uint64_t total) { return done < total; };
    auto model = test::SampleWalker();
    model->modified = 1;
    ScriptedHost host;
    EXPECT_FALSE(SaveModel(*model, path, row.format, options, host));
    EXPECT_EQ(test::ReadFile(path), "old bytes");
    EXPECT_EQ(Listing(dir.path()), before);  // no temporary and no half of a file pair
    EXPECT_EQ(model->modified, 1);
  }
}

}  // namespace
}  // namespace vorna
