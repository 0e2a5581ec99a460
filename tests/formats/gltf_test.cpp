// glTF export and import between themselves; standard skinning, the validator and Assimp check
// the export in tests/interop.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "formats/glb_reader.h"
#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "formats/gltf_tinygltf.h"
#include "formats/registry.h"
#include "images/decode.h"
#include "images/encode.h"
#include "support/test_support.h"
#include "x_export_fixture.h"

namespace vorna {
namespace {

bool Parse(Model& model, const std::string& bytes, Host& host, ReadError* error = nullptr) {
  ReadOptions options;
  options.load_textures = false;
  return ParseGltf(
      model, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
      "/nonexistent/", "m", host, options, error);
}

TEST(GltfTest, EmbeddedTexturesAreWrittenBesideTheSavedModel) {
  test::TempDir dir;
  auto model = test::Character(1);
  Image image{2, 1, {255, 0, 0, 255, 0, 0, 255, 128}};
  std::vector<uint8_t> bmp;
  ASSERT_TRUE(EncodeBmp(image, &bmp));
  test::WriteFile(dir.File("body.bmp"), std::string(bmp.begin(), bmp.end()));
  model->model_dir = dir.path();
  model->parts[0].texture_file = "body.bmp";
  ASSERT_TRUE(ExportGltf(*model, dir.File("skin.glb"), {}));

  auto back = test::NewModel();
  ScriptedHost host;
  ReadError error;
  ASSERT_TRUE(ReadModelFile(*back, dir.File("skin.glb"), host, {}, &error)) << error.Describe();
  const Part& part = back->parts[0];
  EXPECT_EQ(part.texture_file, "skin-1.png");
  ASSERT_NE(part.texture, nullptr);
  EXPECT_TRUE(part.texture_embedded);
  ASSERT_TRUE(SaveModel(*back, dir.File("saved.vrn"), ModelFormat::kVrnText, {}, host));
  Image written;
  ASSERT_TRUE(DecodeImageFile(dir.File("skin-1.png"), &written));
  EXPECT_EQ(written.rgba, (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 255}));
}

// A model whose only Motion is its rest pose still gets one channel, as glTF asks of every
// animation; a material glowing in green alone keeps its glow.
TEST(GltfTest, StillAnimationsAndAGreenGlow) {
  test::TempDir dir;
  auto model = test::Character(1);
  model->parts[0].material.emissive = {0, 0.5f, 0, 0};
  ASSERT_TRUE(ExportGltf(*model, dir.File("still.glb"), {}));
  const tinygltf::Model g = test::ReadGlb(dir.File("still.glb"));
  ASSERT_FALSE(g.animations.empty());
  for (const tinygltf::Animation& a : g.animations) EXPECT_FALSE(a.channels.empty()) << a.name;
  EXPECT_EQ(g.materials.at(0).emissiveFactor, (std::vector<double>{0, 0.5, 0}));
}

// One buffer: three positions (0 0 0, 1 0 0, 0 1 0), then three normals.
const std::string kPositions = R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})";
const std::string kView = R"({"buffer":0,"byteLength":36})";
std::string Document(const std::string& accessors = kPositions, const std::string& views = kView,
                     const std::string& primitives = R"({"attributes":{"POSITION":0}})",
                     const std::string& node = R"({"mesh":0})") {
  return R"({"asset":{"version":"2.0"},"nodes":[)" + node + R"(],"meshes":[{"primitives":[)" +
         primitives + R"(]}],"accessors":[)" + accessors + R"(],"bufferViews":[)" + views +
         R"(],"buffers":[{"byteLength":72,"uri":"data:application/octet-stream;base64,)"
         R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAmpkZPwAAAADNzEw/AAAAAJqZGT/NzEw/)"
         R"(AAAAAAAAAAAAAIA/"}]})";
}

// A small valid document, then each damage in turn: the reader refuses cleanly.
TEST(GltfTest, DamagedFilesAreRefused) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(Parse(*model, Document(), host));
  EXPECT_EQ(model->total_face_count, 1);
  const std::string with_indices = R"({"attributes":{"POSITION":0},"indices":1})";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"count past the view",
       Document(R"({"bufferView":0,"componentType":5126,"count":4,"type":"VEC3"})")},
      {"view past the buffer",
       Document(kPositions, R"({"buffer":0,"byteOffset":40,"byteLength":36})")},
      {"view of a missing buffer", Document(kPositions, R"({"buffer":3,"byteLength":36})")},
      {"accessor without a view", Document(R"({"componentType":5126,"count":3,"type":"VEC3"})")},
      {"integer positions",
       Document(R"({"bufferView":0,"componentType":5125,"count":3,"type":"VEC3"})")},
      {"index past the vertices",
       Document(kPositions + R"(,{"bufferView":1,"componentType":5121,"count":3,"type":"SCALAR"})",
                kView + R"(,{"buffer":0,"byteOffset":28,"byteLength":3})", with_indices)},
      {"not JSON", "{\"asset\":"},
      {"truncated binary", std::string("glTF\x02\0\0\0\xff\0\0\0", 12)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadError error;
    EXPECT_FALSE(Parse(*model, c.bytes, host, &error));
    EXPECT_FALSE(error.message.empty());
    EXPECT_EQ(model->parts_count, 0);
  }
}

TEST(GltfTest, PointsAndLinesAreLeftOutWithOneMessage) {
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(Parse(*model,
                    Document(kPositions, kView,
                             R"({"attributes":{"POSITION":0},"mode":0},)"
                             R"({"attributes":{"POSITION":0},"mode":1},)"
                             R"({"attributes":{"POSITION":0},"mode":6})"),
                    host));
  EXPECT_EQ(model->total_face_count, 1);
  EXPECT_EQ(host.Texts(),
            (std::vector<std::string>{"点と線のプリミティブ2個は読み込みませんでした"}));
}

// Byte indices (2, 1, 0) after the three positions, read through the first accessor, and a node
// moved by (1, 2, 3).
TEST(GltfTest, ByteIndicesAndTheNodeTranslation) {
  const std::string bytes =
      R"({"asset":{"version":"2.0"},"nodes":[{"mesh":0,"translation":[1,2,3]}],)"
      R"("meshes":[{"primitives":[{"attributes":{"POSITION":1},"indices":0}]}],"accessors":[)"
      R"({"bufferView":1,"componentType":5121,"count":3,"type":"SCALAR"},)" +
      kPositions + R"(],"bufferViews":[)" + kView +
      R"(,{"buffer":0,"byteOffset":36,"byteLength":3}],)"
      R"("buffers":[{"byteLength":40,"uri":"data:application/octet-stream;base64,)"
      R"(AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAAAgEAAA=="}]})";
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(Parse(*model, bytes, host));
  ASSERT_EQ(model->total_face_count, 1);
  // Moved, then mirrored in z; the winding is reversed with it.
  const Vec3 expected[] = {{1, 2, -3}, {2, 2, -3}, {1, 3, -3}};
  for (int v = 0; v < 3; ++v) {
    EXPECT_EQ(model->positions[v].x, expected[v].x) << v;
    EXPECT_EQ(model->positions[v].y, expected[v].y) << v;
    EXPECT_EQ(model->positions[v].z, expected[v].z) << v;
  }
  const uint32_t* corner = model->faces[0].corner;
  EXPECT_EQ((std::vector<uint32_t>{corner[0], corner[1], corner[2]}),
            (std::vector<uint32_t>{2, 0, 1}));
}

// Normals the file gives are kept, turned by the node's inverse transpose and mirrored in z like
// the positions, even where they differ from the face's own normal.
TEST(GltfTest, GivenNormalsFollowTheNodeTransform) {
  // (0.6, 0, 0.8), (0, 0.6, 0.8) and (0, 0, 1) after halving x: (0.3, 0, 0.8), normalised by k.
  const float k = 1.0f / std::sqrt(0.09f + 0.64f);
  const struct {
    const char* rotation;  // none, a quarter turn about z, then about x
    Vec3 expected[3];
  } cases[] = {
      {"[0,0,0,1]", {{0.3f * k, 0, -0.8f * k}, {0, 0.6f, -0.8f}, {0, 0, -1}}},
      {"[0,0,0.70710678,0.70710678]", {{0, 0.3f * k, -0.8f * k}, {-0.6f, 0, -0.8f}, {0, 0, -1}}},
      {"[0.70710678,0,0,0.70710678]", {{0.3f * k, -0.8f * k, 0}, {0, -0.8f, -0.6f}, {0, -1, 0}}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rotation);
    auto model = test::NewModel();
    ScriptedHost host;
    ASSERT_TRUE(Parse(
        *model,
        Document(kPositions + R"(,{"bufferView":1,"componentType":5126,"count":3,"type":"VEC3"})",
                 kView + R"(,{"buffer":0,"byteOffset":36,"byteLength":36})",
                 R"({"attributes":{"POSITION":0,"NORMAL":1}})",
                 std::string(R"({"mesh":0,"scale":[2,1,1],"rotation":)") + c.rotation + "}"),
        host));
    for (int v = 0; v < 3; ++v) {
      EXPECT_NEAR(model->normals[v].x, c.expected[v].x, 1e-6f) << v;
      EXPECT_NEAR(model->normals[v].y, c.expected[v].y, 1e-6f) << v;
      EXPECT_NEAR(model->normals[v].z, c.expected[v].z, 1e-6f) << v;
    }
  }
}

}  // namespace
}  // namespace vorna
