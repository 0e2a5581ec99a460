// Reading and saving every format with a progress callback: a stop ends the work cleanly, and
// the reports come to the total.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/model_file_fixtures.h"
#include "formats/registry.h"
#include "model/host.h"
#include "support/test_support.h"

namespace vorna {
namespace {

std::set<std::string> Listing(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename());
  }
  return names;
}

// Every readable format (each encoding of those with two) from a file our writer wrote, the
// text polygon file, which has no writer, by hand. A stop at the first report ends the read
// with the model reset, and no other reader is tried; otherwise the reports reach the total. A
// save over the file stopped at the last moment (every byte written, the rename next) leaves it
// and its folder as they were.
TEST(ProgressTest, ReadsAndSavesOfEveryFormatStopWhenToldAndOtherwiseReachTheirTotal) {
  test::TempDir dir;
  std::vector<std::pair<std::string, const FormatRow*>> files;
  ScriptedHost host;
  for (const FormatRow& row : FormatRows()) {
    if (row.write == nullptr) continue;
    files.emplace_back(dir.File(std::string(row.cli_name) + "." + row.extensions[0]), &row);
    ASSERT_TRUE(SaveModel(*test::SampleWalker(), files.back().first, row.format, {}, host));
  }
  files.emplace_back(dir.File("mesh.txt"), nullptr);
  test::WriteFile(files.back().first,
                  "<polygon_mesh>\n<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n<vertex>\n"
                  "<position vec3=\"1 0 0\"/>\n</vertex>\n<vertex>\n<position vec3=\"0 1 0\"/>\n"
                  "</vertex>\n<face>\n<vertex_number int=\"0\"/>\n<vertex_number int=\"1\"/>\n"
                  "<vertex_number int=\"2\"/>\n</face>\n</polygon_mesh>\n");
  ASSERT_EQ(files.size(), FormatRows().size());
  for (const auto& [path, writer] : files) {
    SCOPED_TRACE(path);
    int calls = 0;
    ReadOptions stop;
    stop.progress = [&calls](std::uint64_t, std::uint64_t) { return ++calls, false; };
    auto model = test::SampleWalker();
    ReadError error;
    EXPECT_FALSE(ReadModelFile(*model, path, host, stop, &error));
    EXPECT_EQ(error.kind, ReadErrorKind::kCancelled);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(model->parts_count, 0);
    EXPECT_EQ(model->loaded_type, kLoadedNone);

    std::uint64_t done = 0, total = 0;
    ReadOptions watch;
    watch.progress = [&](std::uint64_t d, std::uint64_t t) { return done = d, total = t, d <= t; };
    ASSERT_TRUE(ReadModelFile(*model, path, host, watch, &error)) << error.Describe();
    EXPECT_GT(total, 0u);
    EXPECT_EQ(done, total);

    if (writer == nullptr) continue;
    const std::string before = test::ReadFile(path);
    const std::set<std::string> listed = Listing(dir.path());
    SaveOptions last_moment;
    last_moment.progress = [](std::uint64_t d, std::uint64_t t) { return d < t; };
    model->modified = 1;
    EXPECT_FALSE(SaveModel(*model, path, writer->format, last_moment, host));
    EXPECT_EQ(test::ReadFile(path), before);
    EXPECT_EQ(Listing(dir.path()), listed);  // no temporary, no new half of a .gltf pair
    EXPECT_EQ(model->modified, 1);
  }
}

}  // namespace
}  // namespace vorna
