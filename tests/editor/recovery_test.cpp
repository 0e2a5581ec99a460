#include "editor/recovery.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>

#include "formats/gltf_export.h"
#include "formats/model_file_fixtures.h"
#include "model/file_paths.h"
#include "model/model_check.h"
#include "support/test_support.h"

namespace vorna {
namespace {

// Every member of the Model but the Parts' textures, which are compared by their pixels.
auto Members(const Model& m) {
  return std::tie(m.parts_count, m.node_count, m.motion_count, m.anim_count, m.total_vertex_count,
                  m.total_face_count, m.total_center, m.total_corner_min, m.total_corner_max,
                  m.texture_all, m.all_triangles, m.modified, m.loaded_type, m.model_dir,
                  m.model_file_name, m.current_motion, m.current_anim, m.selected_unit, m.positions,
                  m.normals, m.tex_u, m.tex_v, m.blend, m.faces, m.units, m.node_name, m.parent,
                  m.draw_order, m.motions, m.anims, m.forest);
}

void ExpectSameModel(const Model& restored, const Model& original) {
  EXPECT_TRUE(Members(restored) == Members(original));
  ASSERT_EQ(restored.parts.size(), original.parts.size());
  for (size_t p = 0; p < original.parts.size(); ++p) {
    Part a = restored.parts[p];
    Part b = original.parts[p];
    ASSERT_EQ(a.texture == nullptr, b.texture == nullptr) << p;
    if (b.texture != nullptr) {
      const Image& got = a.texture->levels().front();
      const Image& want = b.texture->levels().front();
      EXPECT_TRUE(got.width == want.width && got.height == want.height && got.rgba == want.rgba);
    }
    a.texture = b.texture = nullptr;
    EXPECT_EQ(a, b) << p;
  }
}

// What a load leaves that the files do not say, set to values a load would not give.
void Touch(Model& model) {
  model.units[0].basis_type = 1;
  model.motions[0].angle[1][0] = 33;  // a tilt-axis Unit's unused angles are kept too
  model.motions[0].angle[2][0] = -7;
  model.units[200].basis_position = {1, 2, 3};  // a free slot's leftovers
  model.forest.at(model.parts_count).ticked = true;
  model.forest.Select(0);
  model.current_motion = std::max(model.motion_count - 1, 0);
  model.modified = 1;
}

std::unique_ptr<Model> Read(const std::string& path) {
  auto model = test::NewModel();
  ScriptedHost host;
  EXPECT_TRUE(ReadModelFile(*model, path, host, {}, nullptr)) << path;
  return model;
}

TEST(RecoveryCopyTest, HoldsEverythingAndSavesTheSameBytes) {
  test::TempDir dir;
  auto character = Read(VORNA_SOURCE_DIR "/samples/character.vrn");
  ASSERT_TRUE(ExportGltf(*character, dir.File("character.glb"), true));
  std::unique_ptr<Model> models[] = {test::TwoPartModel(), test::SampleWalker(),
                                     std::move(character), Read(dir.File("character.glb"))};
  EXPECT_TRUE(models[3]->parts[0].texture_embedded && models[3]->parts[0].texture != nullptr);
  for (auto& original : models) {
    Touch(*original);
    const std::string bytes = EncodeRecoveryCopy(*original, 1700000000);
    auto restored = test::NewModel();
    RecoveryHeader header;
    ReadError error;
    ASSERT_TRUE(DecodeRecoveryCopy(bytes, *restored, &header, &error)) << error.Describe();
    EXPECT_EQ(header.written_at, 1700000000);
    EXPECT_EQ(header.model_file_name, original->model_file_name);
    ExpectSameModel(*restored, *original);
    // Parts that shared a texture still share one.
    for (size_t p = 1; p < original->parts.size(); ++p) {
      EXPECT_EQ(restored->parts[p].texture == restored->parts[0].texture,
                original->parts[p].texture == original->parts[0].texture);
    }
    EXPECT_EQ(test::Fingerprint(*restored), test::Fingerprint(*original));
  }
}

TEST(RecoveryCopyTest, DamagedCopiesAreRefusedWhole) {
  auto model = test::TwoPartModel();
  const std::string bytes = EncodeRecoveryCopy(*model, 5);
  auto restored = test::NewModel();
  for (size_t length = 0; length < bytes.size(); length += 1 + length / 8) {
    ASSERT_FALSE(DecodeRecoveryCopy(bytes.substr(0, length), *restored, nullptr, nullptr))
        << length;
    ASSERT_EQ(restored->parts_count, 0);
  }
  // Counts and indices out of range, wherever they are.
  for (size_t at = 16; at + 4 <= bytes.size(); at += 101) {
    std::string damaged = bytes;
    damaged.replace(at, 4, "\xff\xff\xff\x7f");
    if (DecodeRecoveryCopy(damaged, *restored, nullptr, nullptr)) {
      EXPECT_TRUE(CheckModel(*restored, nullptr)) << at;
    }
  }
  // A count beyond its most, where the copy has room for that many: the texture count, found as
  // the first byte a copy with one texture writes otherwise.
  model->parts[0].texture = Texture::FromImage(Image{1, 1, {1, 2, 3, 4}});
  const std::string textured = EncodeRecoveryCopy(*model, 5);
  const size_t at =
      std::mismatch(bytes.begin(), bytes.end(), textured.begin()).first - bytes.begin();
  std::string too_many = bytes;
  too_many.replace(at, 4, std::string("\x01\x01\0\0", 4));  // 257 textures
  EXPECT_FALSE(DecodeRecoveryCopy(too_many, *restored, nullptr, nullptr));
  RecoveryHeader header;
  EXPECT_FALSE(DecodeRecoveryHeader("VORNA-RECOVERY", &header));
  EXPECT_TRUE(DecodeRecoveryHeader(bytes, &header));
}

TEST(RecoveryTest, TheScheduleWaitsAMinuteOrNotAtAllAfterALongStep) {
  RecoverySchedule schedule;
  EXPECT_FALSE(schedule.DueIn(0));
  schedule.Changed(1000, true, 0);
  EXPECT_EQ(schedule.DueIn(1000), RecoverySchedule::kIntervalMs);
  schedule.Changed(31000, true, 500);  // the oldest change sets the time
  EXPECT_EQ(schedule.DueIn(31000), 30000);
  schedule.Changed(32000, true, RecoverySchedule::kLongStepMs);
  EXPECT_EQ(schedule.DueIn(32000), 0);
  schedule.WriteStarted();
  EXPECT_FALSE(schedule.DueIn(32000));
  // Failures are told once, and the next try waits another interval.
  EXPECT_TRUE(schedule.WriteEnded(false, 40000));
  EXPECT_EQ(schedule.DueIn(40000), RecoverySchedule::kIntervalMs);
  schedule.WriteStarted();
  EXPECT_FALSE(schedule.WriteEnded(false, 100000));
  schedule.WriteStarted();
  EXPECT_FALSE(schedule.WriteEnded(true, 160000));
  schedule.Changed(170000, true, 0);
  schedule.WriteStarted();
  EXPECT_TRUE(schedule.WriteEnded(false, 171000));
  // Saved: nothing waits.
  schedule.Changed(172000, false, 0);
  EXPECT_FALSE(schedule.DueIn(172000));
}

TEST(RecoveryTest, OnlyCopiesNewerThanTheirFileAreOffered) {
  EXPECT_EQ(RecoveryFolder("/state", "/home/u"), "/state/vorna");
  EXPECT_EQ(RecoveryFolder("relative", "/home/u"), "/home/u/.local/state/vorna");
  EXPECT_EQ(RecoveryFolder("", ""), "");

  test::TempDir dir;
  const std::string copy = RecoveryCopyPath(dir.File("state/vorna"), "k");
  auto model = test::TwoPartModel();
  model->model_dir = dir.path();
  model->model_file_name = "two.vrn";
  test::WriteFile(dir.File("two.vrn"), "saved");
  const utimbuf saved_at{1000, 1000};
  ASSERT_EQ(::utime(dir.File("two.vrn").c_str(), &saved_at), 0);
  const struct {
    int64_t written_at;
    bool file_there;
    bool offered;
  } cases[] = {{1001, true, true}, {999, true, false}, {999, false, true}};
  for (const auto& c : cases) {
    if (!c.file_there) std::remove(dir.File("two.vrn").c_str());
    std::string why;
    ASSERT_TRUE(WriteRecoveryCopy(copy, *model, c.written_at, &why)) << why;
    const std::optional<RecoveryHeader> found = FindRecoveryCopy(copy);
    EXPECT_EQ(found.has_value(), c.offered) << c.written_at;
    EXPECT_EQ(FileExists(copy), c.offered);
    if (found) {
      EXPECT_NE(RecoveryQuestion(*found).find("two.vrn"), std::string::npos);
    }
  }
  struct stat folder {};
  ASSERT_EQ(::stat(dir.File("state/vorna").c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);

  // Restored, it is the file's unsaved state; a copy that is no copy is removed.
  auto restored = test::NewModel();
  ASSERT_TRUE(RestoreRecoveryCopy(copy, *restored, nullptr));
  EXPECT_EQ(restored->modified, 1);
  EXPECT_EQ(restored->model_dir + restored->model_file_name, dir.File("two.vrn"));
  test::WriteFile(copy, "not a copy");
  EXPECT_FALSE(FindRecoveryCopy(copy));
  EXPECT_FALSE(FileExists(copy));
}

}  // namespace
}  // namespace vorna
