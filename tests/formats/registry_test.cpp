#include "formats/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "formats/dxf.h"
#include "formats/model_file_fixtures.h"
#include "formats/tagged_text.h"
#include "formats/vrn_binary.h"
#include "formats/x_export_fixture.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// A text polygon file (the one format without a writer): Part "Q", one degenerate triangle.
constexpr char kTextPolygon[] =
    "<polygon_mesh>\n<string string=\"Q\"/>\n<vertex>\n<position vec3=\"0 0 0\"/>\n</vertex>\n"
    "<face>\n<vertex_number int=\"0\"/>\n<vertex_number int=\"0\"/>\n"
    "<vertex_number int=\"0\"/>\n</face>\n</polygon_mesh>\n";

TEST(RegistryTest, DialogsListTheTypesInTheirOwnWords) {
  std::string filters;
  for (const std::string& line : OpenDialogFilters()) filters += "open: " + line + "\n";
  for (const std::string& line : SaveDialogFilters()) filters += "save: " + line + "\n";
  EXPECT_EQ(test::ReferenceFileDifference(filters, "formats/dialog_filters.txt"), "");
  // Every row is reachable from the dialogs, and each index leads back to its row.
  for (const FormatRow& row : FormatRows()) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(OpenFilterRow(OpenFilterIndex(row.format))->open_label, row.open_label);
    if (row.write == nullptr) continue;
    const FormatRow* saved = SaveFilterRow(SaveFilterIndex(row.format));
    ASSERT_NE(saved, nullptr);
    EXPECT_TRUE(saved->format == row.format || saved->binary_form == row.format);
    EXPECT_EQ(RowByCliName(row.cli_name), &row);
  }
  EXPECT_EQ(OpenFilterRow(1), nullptr);
  EXPECT_EQ(OpenFilterRow(static_cast<int>(OpenDialogFilters().size())), nullptr);
  EXPECT_EQ(SaveFilterRow(7), nullptr);
  // A model read from a .gltf file is written back as .gltf, from a .glb as .glb.
  EXPECT_EQ(RowOfLoaded(8, "a.GLTF")->format, ModelFormat::kGltf);
  EXPECT_EQ(RowOfLoaded(8, "a.glb")->format, ModelFormat::kGlb);
  EXPECT_EQ(RowOfLoaded(kLoadedNone, "a.vrn"), nullptr);
  EXPECT_EQ(WritableRowForPath("/m.d/a.txt"), nullptr);  // text polygons have no writer
  EXPECT_EQ(WritableRowForPath("a.Vr2")->format, ModelFormat::kVr2Text);
}

TEST(RegistryTest, ExtensionPicksTheReadersAndTheFallback) {
  test::TempDir dir;
  auto model = test::TwoPartModel();
  const std::string text = FormatTaggedText(*model, {}, TextVariant::kVrn);
  const std::string vrn_binary = FormatKeyedBinary(*model, {}, BinaryVariant::kVrn);
  const std::string vr2_text = FormatTaggedText(*model, {}, TextVariant::kVr2);
  const std::string vr2_binary = FormatKeyedBinary(*model, {}, BinaryVariant::kVr2);
  const std::string dxf = FormatDxf(*model);
  const std::string polygon = kTextPolygon;
  struct Case {
    const char* name;
    const std::string* bytes;  // nullptr: no file
    int32_t loaded_type;       // as `info --json` prints it; kLoadedNone: the read fails
    // The registry's own refusals; a reader's refusal is the reader's to describe.
    ReadErrorKind kind = ReadErrorKind::kNone;
    bool untouched = false;  // refused before any reader ran: the Model is as it was
  };
  const Case cases[] = {
      {"text.vrn", &text, 1},
      {"binary.vrn", &vrn_binary, 2},
      {"text.vr2", &vr2_text, 6},
      {"binary.Vr2", &vr2_binary, 7},
      {"vrn_binary_named.vr2", &vrn_binary, kLoadedNone},
      {"vr2_binary_named.vrn", &vr2_binary, kLoadedNone},
      {"shape.DXF", &dxf, 3},
      {"mesh.txt", &polygon, 4},
      {"no_extension", &text, kLoadedNone, ReadErrorKind::kNotThisFormat, true},
      {"unknown.vrm", &text, kLoadedNone, ReadErrorKind::kNotThisFormat, true},
      {"vrn_named.txt", &text, kLoadedNone},
      {"missing.vrn", nullptr, kLoadedNone, ReadErrorKind::kIo, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.bytes != nullptr) test::WriteFile(dir.File(c.name), *c.bytes);
    auto loaded = test::NewModel();
    loaded->node_name[0] = "before";
    ScriptedHost host;
    ReadError error;
    const bool ok = ReadModelFile(*loaded, dir.File(c.name), host, {false}, &error);
    EXPECT_EQ(ok, c.loaded_type != kLoadedNone) << error.Describe();
    if (c.kind != ReadErrorKind::kNone) {
      EXPECT_EQ(error.kind, c.kind);
    }
    EXPECT_EQ(error.ok(), ok);
    EXPECT_EQ(loaded->loaded_type, c.loaded_type);
    EXPECT_EQ(loaded->node_name[0] == "before", c.untouched);
    EXPECT_EQ(loaded->node_name[0] == "Q", ok);
  }
}

// Each triangle's corner positions (quads split along their first diagonal), sorted: the same
// geometry gives the same list whatever Parts, vertex numbering or face order a format keeps.
std::vector<std::array<float, 9>> Triangles(const Model& model) {
  std::vector<std::array<float, 9>> triangles;
  for (int p = 0; p < model.parts_count; ++p) {
    for (uint32_t f = model.parts[p].first_face; f < model.parts[p + 1].first_face; ++f) {
      const Face& face = model.faces[f];
      for (int t = 0; t < (face.IsTriangle() ? 1 : 2); ++t) {
        std::array<float, 9>& corners = triangles.emplace_back();
        int k = 0;
        for (const uint32_t c : {face.corner[0], face.corner[t + 1], face.corner[t + 2]}) {
          const Vec3 v = model.positions[model.parts[p].first_vertex + c];
          for (const float x : {v.x, v.y, v.z}) corners[k++] = x;
        }
      }
    }
  }
  std::sort(triangles.begin(), triangles.end());
  return triangles;
}

// Every writer leaves exactly the formatted model and points the title at it. Where no file can
// be created, or a folder stands in the way of the rename, it shows nothing and says what failed
// and where; the title stays where no file could be created.
TEST(RegistryTest, EveryWriterSavesWhatItsRowReadsBackOrSaysWhatFailed) {
  test::TempDir dir;
  for (const FormatRow& row : FormatRows()) {
    SCOPED_TRACE(row.name);
    const std::string name = std::string(row.cli_name) + "." + row.extensions[0];
    auto model = test::Character(3);
    ScriptedHost host;
    WriteError error;
    EXPECT_EQ(SaveModel(*model, dir.File(name), row.format, {}, host, &error),
              row.write != nullptr);
    if (row.write == nullptr) {  // no file
      EXPECT_EQ(error.kind, WriteErrorKind::kNoWriter);
      EXPECT_TRUE(test::ReadFile(dir.File(name)).empty());
      continue;
    }
    auto back = test::NewModel();
    ReadError read_error;
    ASSERT_TRUE(ReadModelFile(*back, dir.File(name), host, {false}, &read_error))
        << read_error.Describe();
    EXPECT_EQ(RowOfLoaded(back->loaded_type, name), &row);
    EXPECT_EQ(Triangles(*back), Triangles(*model));

    // A NaN never reaches a format without a spelling for it: the save is refused before any
    // file is made. The binary VRN and VR2 forms keep the bits as they are.
    auto nan = test::Character(3);
    nan->positions[2].y = std::nanf("");
    const bool keeps_bits =
        row.format == ModelFormat::kVrnBinary || row.format == ModelFormat::kVr2Binary;
    EXPECT_EQ(SaveModel(*nan, dir.File("nan_" + name), row.format, {}, host, &error), keeps_bits);
    EXPECT_EQ(error.message.find("finite") != std::string::npos, !keeps_bits) << error.message;
    EXPECT_EQ(std::filesystem::exists(dir.File("nan_" + name)), keeps_bits);

    auto other = test::TwoPartModel();
    const std::string missing = dir.File("no/dir/" + name);
    EXPECT_FALSE(SaveModel(*other, missing, row.format, {}, host, &error));
    EXPECT_EQ(error.kind, WriteErrorKind::kCreate);
    EXPECT_EQ(error.path.rfind(dir.File("no/dir/"), 0), 0u) << error.path;  // or its .bin
    EXPECT_EQ(other->model_file_name, "");
    const std::string blocked = dir.File("blocked_" + name);
    ASSERT_EQ(::mkdir(blocked.c_str(), 0755), 0);
    EXPECT_FALSE(SaveModel(*other, blocked, row.format, {}, host, &error));
    EXPECT_EQ(error.kind, WriteErrorKind::kWrite);
    EXPECT_EQ(error.path, blocked);
    EXPECT_TRUE(host.entries.empty());
    EXPECT_EQ(host.wait_depth, 0);
    if (row.format > ModelFormat::kDxf) continue;

    const auto vrn = static_cast<test::VrnFile>(row.format);  // the same order
    EXPECT_EQ(model->model_file_name, name);
    EXPECT_EQ(model->model_dir, dir.path());
    EXPECT_EQ(test::ReadFile(dir.File(name)),
              row.format == ModelFormat::kDxf ? FormatDxf(*model) : test::FormatVrn(*model, vrn));
  }
}

std::set<std::string> Listing(const std::string& directory) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.insert(entry.path().filename());
  }
  return names;
}

// A save into another folder copies the texture files the model names there, so that the
// stored names keep working; it never replaces another file of such a name, and says what it
// copied.
TEST(RegistryTest, SavesIntoAnotherFolderTakeTheTexturesAlong) {
  test::TempDir dir;
  std::filesystem::create_directories(dir.File("from/maps"));
  test::WriteFile(dir.File("from/body.png"), "body");
  test::WriteFile(dir.File("from/maps/arm.png"), "arm");
  ScriptedHost host;
  const auto character = [&] {
    auto model = test::Character(1);
    model->model_dir = dir.File("from/");
    model->parts[1].texture_file = model->parts[2].texture_file = "maps/arm.png";
    return model;  // hat.png is missing: nothing to copy
  };
  for (const FormatRow& row : FormatRows()) {
    if (!row.names_textures) continue;
    SCOPED_TRACE(row.name);
    const std::string to = dir.File(std::string(row.cli_name) + "/");
    std::filesystem::create_directories(to);
    BesideReport report;
    ASSERT_TRUE(SaveModel(*character(), to + "m." + row.extensions[0], row.format,
                          {.beside = &report}, host));
    EXPECT_EQ(report.copied, (std::vector<std::string>{"body.png", "maps/arm.png"}));
    EXPECT_EQ(test::ReadFile(to + "maps/arm.png"), "arm");
  }
  std::filesystem::create_directories(dir.File("taken/maps"));
  test::WriteFile(dir.File("taken/maps/arm.png"), "another arm");
  WriteError error;
  EXPECT_FALSE(
      SaveModel(*character(), dir.File("taken/m.vrn"), ModelFormat::kVrnText, {}, host, &error));
  EXPECT_EQ(error.kind, WriteErrorKind::kTaken);
  EXPECT_EQ(error.path, dir.File("taken/maps/arm.png"));
  EXPECT_EQ(Listing(dir.File("taken")), (std::set<std::string>{"maps"}));
  EXPECT_EQ(test::ReadFile(dir.File("taken/maps/arm.png")), "another arm");
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
  test::WriteFile(files.back().first, kTextPolygon);
  ASSERT_EQ(files.size() + 9, FormatRows().size());  // and the import helper's, tested there
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
