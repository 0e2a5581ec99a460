#include "formats/helper_import.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <string>
#include <tuple>

#include "animation/skeleton_import.h"
#include "formats/registry.h"
#include "formats/scene_stream_fixture.h"
#include "images/encode.h"
#include "support/test_support.h"

namespace vorna {
namespace {

constexpr const char* kFake = VORNA_FAKE_HELPER_PATH;

// The fake helper answers "<dir>/<name>" with the bytes of "<dir>/<name>.stream".
std::string ModelWithStream(const test::TempDir& dir, const std::string& name,
                            const StreamedScene& scene) {
  test::WriteFile(dir.File(name), "whatever the library would read");
  test::WriteFile(dir.File(name + ".stream"), WriteSceneStream(scene));
  return dir.File(name);
}

// One square of two triangles on a joint that turns, and a second square held still.
StreamedScene TurningSquare() {
  StreamedScene s;
  SceneDescription& d = s.scene;
  d.nodes.resize(2);
  d.nodes[0].name = "hip";
  d.nodes[1].name = "knee";
  d.nodes[1].parent = 0;
  d.nodes[1].rest.translation = {0.0, 1.0, 0.0};
  SceneMesh mesh;
  mesh.positions = {{0, 1, 0}, {1, 1, 0}, {1, 2, 0}, {0, 2, 0}};
  mesh.triangles = {0, 1, 2, 0, 2, 3};
  mesh.bones = {{1, kSceneIdentity}};
  mesh.bones[0].inverse_bind[13] = -1.0;
  mesh.influence_start = {0, 1, 2, 3, 4};
  mesh.influences = {{0, 1.0f}, {0, 1.0f}, {0, 1.0f}, {0, 1.0f}};
  d.meshes.push_back(mesh);
  SceneMesh still;
  still.node = 0;
  still.positions = {{0, 0, 0}, {1, 0, 0}, {1, -1, 0}};
  still.triangles = {0, 2, 1};
  d.meshes.push_back(still);
  SceneChannel turn;
  turn.node = 1;
  turn.times = {0.0f, 1.0f};
  turn.values = {0, 0, 0, 1, 0, 0, std::sqrt(0.5f), std::sqrt(0.5f)};
  d.animations.push_back({"bend", {turn}, {}, {}, false});
  return s;
}

// Meshes without skin or animation take the mesh builder's linear path: the same Model as the
// skeletal import makes of them.
TEST(HelperImportTest, PlainMeshesComeOutAsTheSkeletalImportMakesThem) {
  StreamedScene s = TurningSquare();
  s.scene.animations.clear();
  SceneMesh& skinned = s.scene.meshes[0];
  skinned.bones.clear();
  skinned.node = 1;
  skinned.material = 1;
  skinned.normals.assign(4, {0.6f, 0.0f, 0.8f});
  skinned.uvs = {{0, 0}, {1, 0}, {1, 1}, {0.5f, 1}};
  s.scene.nodes[0].rest = {{1, 2, 3}, {0, std::sqrt(0.5), 0, std::sqrt(0.5)}, {2, 2, 2}};
  s.scene.materials.resize(3);
  s.scene.materials[1].name = "肌";
  s.scene.meshes.push_back(SceneMesh{});  // no triangles: nothing
  test::TempDir dir;
  auto fast = std::make_unique<Model>(), general = std::make_unique<Model>();
  ScriptedHost host;
  ASSERT_TRUE(
      ImportWithHelper(*fast, ModelWithStream(dir, "plain.obj", s), host, {}, kFake, {}, nullptr));
  ASSERT_TRUE(BuildModelFromScene(s.scene, {}, *general, host));
  ASSERT_EQ(fast->parts_count, general->parts_count);
  ASSERT_EQ(fast->total_vertex_count, general->total_vertex_count);
  ASSERT_EQ(fast->total_face_count, general->total_face_count);
  for (int p = 0; p <= fast->parts_count; ++p) {
    EXPECT_EQ(fast->parts[p].first_vertex, general->parts[p].first_vertex);
    EXPECT_EQ(fast->node_name[p], general->node_name[p]);
  }
  for (int v = 0; v < fast->total_vertex_count; ++v) {
    EXPECT_LT(Length(fast->positions[v] - general->positions[v]), 1e-5f) << v;
    EXPECT_LT(Length(fast->normals[v] - general->normals[v]), 1e-5f) << v;
    EXPECT_EQ(fast->tex_u[v], general->tex_u[v]);
    EXPECT_EQ(fast->tex_v[v], general->tex_v[v]);
  }
  for (int f = 0; f < fast->total_face_count; ++f) EXPECT_EQ(fast->faces[f], general->faces[f]);
}

TEST(HelperImportTest, TexturesComeFromBesideTheModelOrFromInsideIt) {
  test::TempDir dir;
  Image red{2, 2, std::vector<uint8_t>(16, 0)};
  for (int i = 0; i < 4; ++i) red.rgba[i * 4] = red.rgba[i * 4 + 3] = 255;
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodePng(red, &png));
  test::WriteFile(dir.File("skin.png"), std::string(png.begin(), png.end()));
  StreamedScene s = TurningSquare();
  s.images.resize(2);
  s.images[0].encoded = png;
  s.images[1] = {{}, 1, 3, std::vector<uint8_t>(12, 200)};
  s.scene.materials.resize(5);
  s.scene.materials[0].look.texture_file = "C:\\Users\\someone\\art\\skin.png";
  s.scene.materials[1].look.texture_file = "textures/missing.png";
  s.material_image = {-1, -1, 0, 1, 2};  // the last beyond the images: none
  for (int m = 0; m < 5; ++m) {
    SceneMesh& mesh = s.scene.meshes.emplace_back(s.scene.meshes[1]);
    mesh.material = m;
  }
  const std::string path = ModelWithStream(dir, "hero.dae", s);
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ReadError error;
  ReadOptions options;
  options.load_textures = true;
  ASSERT_TRUE(ImportWithHelper(*model, path, host, options, kFake, {}, &error)) << error.Describe();
  // Five materials, then the default one's Parts without a Unit and on the knee.
  ASSERT_EQ(model->parts_count, 7);
  // File name, embedded, width and height; a folder of the author's machine is dropped.
  const std::tuple<std::string, bool, int, int> expected[] = {{"skin.png", false, 2, 2},
                                                              {"textures/missing.png", false, 0, 0},
                                                              {"hero-1.png", true, 2, 2},
                                                              {"hero-2.png", true, 1, 3},
                                                              {"", false, 0, 0}};
  for (int p = 0; p < 5; ++p) {
    const Part& part = model->parts[p];
    EXPECT_EQ(std::tuple(part.texture_file, part.texture_embedded, part.texture_rect[2],
                         part.texture_rect[3]),
              expected[p]);
  }
  // Saved in a format that names textures, the images from inside the file are written beside it.
  ASSERT_TRUE(SaveModel(*model, dir.File("hero.vrn"), ModelFormat::kVrnText, {}, host));
  EXPECT_EQ(test::ReadFile(dir.File("hero-1.png")).substr(1, 3), "PNG");
  EXPECT_EQ(test::ReadFile(dir.File("hero-2.png")).substr(1, 3), "PNG");
}

TEST(HelperImportTest, WhateverTheHelperDoesEndsAsAReadError) {
  test::TempDir dir;
  // Generous in time, so that only the sleeping helper meets the deadline on a busy machine.
  ChildLimits tight;
  tight.timeout_ms = 20'000;
  tight.output_bytes = 1 << 20;
  tight.cpu_seconds = 1;
  tight.address_space = std::uint64_t{64} << 20;
  ChildLimits short_wait = tight;
  short_wait.timeout_ms = 300;
  struct Case {
    std::string helper;
    const char* file;
    ReadErrorKind kind;
    std::string message;
    bool short_wait = false;
  };
  const Case cases[] = {
      {kFake, "abort.fbx", ReadErrorKind::kBadData,
       "the import helper crashed on the file (signal SIGABRT)"},
      {kFake, "sleep.fbx", ReadErrorKind::kLimit, "the import took longer than 0.3 s", true},
      {kFake, "spin.fbx", ReadErrorKind::kLimit, "the import ran out of processor time"},
      {kFake, "hog.fbx", ReadErrorKind::kOutOfMemory, "out of memory"},
      {kFake, "flood.fbx", ReadErrorKind::kLimit, "the model is larger than VORNA can hold"},
      {kFake, "refuse.fbx", ReadErrorKind::kBadData, "this is no model"},
      {kFake, "garbage.fbx", ReadErrorKind::kBadData,
       "the import helper's output is broken (not a scene stream)"},
      {kFake, "nostream.fbx", ReadErrorKind::kBadData, "the import helper failed (exit status 1)"},
      {"", "any.fbx", ReadErrorKind::kUnsupported,
       "the import helper vorna-import is not installed"},
      {dir.File("nothing"), "any.fbx", ReadErrorKind::kUnsupported,
       "the import helper vorna-import cannot be started"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    test::WriteFile(dir.File(c.file), "x");
    auto model = std::make_unique<Model>();
    model->parts_count = 3;  // left over from an earlier model
    ScriptedHost host;
    ReadError error;
    EXPECT_FALSE(ImportWithHelper(*model, dir.File(c.file), host, {}, c.helper,
                                  c.short_wait ? short_wait : tight, &error));
    EXPECT_EQ(error.kind, c.kind);
    EXPECT_EQ(error.message, c.message);
    EXPECT_EQ(model->parts_count, 0);
  }
}

TEST(HelperImportTest, EachFamilyIsRecognisedByItsFirstBytes) {
  using F = ModelFormat;
  // The plain heads of each family are the upright files' of the vorna-cli cases.
  const std::pair<F, std::string_view> fitting[] = {{F::kFbx, "Kaydara FBX Binary  \0"},
                                                    {F::kCollada, "PK\x03\x04zae"},
                                                    {F::kSmd, "// exported\n  version 1\nnodes"},
                                                    {F::kMd5, "\nMD5Version 10"},
                                                    {F::kPly, "ply\r\nformat ascii"}};
  for (const auto& [family, head] : fitting) EXPECT_TRUE(StartsLikeFamily(family, head)) << head;
  const std::pair<F, std::string_view> other[] = {{F::kFbx, "Kaydara"},
                                                  {F::kCollada, "<?xml version=\"1.0\"?><svg>"},
                                                  {F::kMilkshape, "MS3D00000"},
                                                  {F::kSmd, "nodes\nversion 1"},
                                                  {F::kMd5, "MD5Versio"},
                                                  {F::kPly, "plyx\n"},
                                                  {F::k3ds, "M"}};
  for (const auto& [family, head] : other) EXPECT_FALSE(StartsLikeFamily(family, head)) << head;
  // A file refused by its content, a folder and a pipe never reach the helper (which aborts).
  test::TempDir dir;
  test::WriteFile(dir.File("abort.ms3d"), "MS3D0");
  std::filesystem::create_directory(dir.File("abort.dae"));
  ASSERT_EQ(::mkfifo(dir.File("abort.fbx").c_str(), 0600), 0);
  ::setenv("VORNA_IMPORT_HELPER", kFake, 1);
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  const std::pair<F, const char*> refused[] = {
      {F::kMilkshape, "abort.ms3d"}, {F::kCollada, "abort.dae"}, {F::kObj, "abort.fbx"}};
  for (const auto& [family, name] : refused) {
    ReadError error;
    EXPECT_FALSE(ImportAs(family, *model, dir.File(name), host, {}, &error));
    EXPECT_EQ(error.kind, name == std::string("abort.ms3d") ? ReadErrorKind::kNotThisFormat
                                                            : ReadErrorKind::kIo);
  }
  ::unsetenv("VORNA_IMPORT_HELPER");
}

TEST(HelperImportTest, AStopEndsTheReadAsCancelled) {
  test::TempDir dir;
  test::WriteFile(dir.File("sleep.fbx"), "x");
  auto model = std::make_unique<Model>();
  ScriptedHost host;
  ReadOptions options;
  int asked = 0;
  options.progress = [&](std::uint64_t, std::uint64_t) { return ++asked < 2; };
  ReadError error;
  EXPECT_FALSE(ImportWithHelper(*model, dir.File("sleep.fbx"), host, options, kFake, {}, &error));
  EXPECT_EQ(error.kind, ReadErrorKind::kCancelled);
}

}  // namespace
}  // namespace vorna
