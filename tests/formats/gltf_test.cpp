// glTF export and import between themselves; standard skinning, the validator and Assimp check
// the export in tests/interop.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

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

using Corner = std::tuple<float, float, float>;

// Per Part with faces: its name and the positions of its triangles' corners, in order.
std::vector<std::pair<std::string, std::vector<Corner>>> Triangles(const Model& model) {
  std::vector<std::pair<std::string, std::vector<Corner>>> parts;
  for (int p = 0; p < model.parts_count; ++p) {
    if (model.PartFaceCount(p) == 0) continue;
    auto& [name, corners] = parts.emplace_back(model.node_name[p], std::vector<Corner>{});
    for (uint32_t f = model.parts[p].first_face; f < model.parts[p + 1].first_face; ++f) {
      const Face& face = model.faces[f];
      const int fan = face.IsTriangle() ? 1 : 2;
      for (int t = 0; t < fan; ++t) {
        for (const uint32_t k : {face.corner[0], face.corner[t + 1], face.corner[t + 2]}) {
          const Vec3 v = model.positions[model.parts[p].first_vertex + k];
          corners.emplace_back(v.x, v.y, v.z);
        }
      }
    }
  }
  return parts;
}

TEST(GltfTest, ExportThenImportGivesTheRestModelBack) {
  test::TempDir dir;
  auto model = test::Character(3);
  model->node_name[1] = "\x8f\xe3\x98\x72";  // CP932 "上腕"
  model->parts[1].material.power = 20.0f;
  model->parts[2].material.diffuse.a = 0.5f;
  for (const char* name : {"character.glb", "character.gltf"}) {
    SCOPED_TRACE(name);
    GltfExportOptions options;
    options.binary = std::string(name).ends_with(".glb");
    std::string error;
    ASSERT_TRUE(ExportGltf(*model, dir.File(name), options, &error)) << error;
    auto back = test::NewModel();
    ScriptedHost host;
    ReadError read_error;
    ASSERT_TRUE(ImportGltf(*back, dir.File(name), host, {}, &read_error)) << read_error.Describe();
    EXPECT_EQ(Triangles(*back), Triangles(*model));
    EXPECT_EQ(back->unit_count(), 0);
    EXPECT_EQ(back->parts[2].material.diffuse, model->parts[2].material.diffuse);
    EXPECT_NEAR(back->parts[1].material.power, 20.0f, 1e-3f);
    EXPECT_TRUE(host.Texts().empty());
  }
}

// A wrap-around Part drawn across the seam: corners more than half a turn below the largest u
// of their triangle are written once more, one turn on.
TEST(GltfTest, WrapAroundSeamGetsItsOwnVertices) {
  test::TempDir dir;
  auto model = test::Character(1);
  model->parts[0].texture_map_flag = 2;
  const float u[4] = {0.9f, 0.1f, 0.2f, 0.8f};
  for (int k = 0; k < 4; ++k) model->tex_u[k] = u[k];
  const std::string path = dir.File("wrap.glb");
  ASSERT_TRUE(ExportGltf(*model, path, {}));
  auto back = test::NewModel();
  ScriptedHost host;
  ReadOptions options;
  options.load_textures = false;
  ASSERT_TRUE(ImportGltf(*back, path, host, options));
  std::multiset<float> written(back->tex_u.begin(), back->tex_u.begin() + back->PartVertexCount(0));
  // (0, 1, 2) wraps 1 and 2, (0, 2, 3) wraps 2: no triangle uses 1 and 2 unwrapped.
  EXPECT_EQ(written, (std::multiset<float>{0.9f, 1.1f, 1.2f, 0.8f}));
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

// A small valid document, then each damage in turn: the reader refuses cleanly.
TEST(GltfTest, DamagedFilesAreRefused) {
  const std::string positions = "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";  // 3 x VEC3
  auto document = [&](const std::string& accessor, const std::string& view,
                      const std::string& extra) {
    return R"({"asset":{"version":"2.0"},"nodes":[{"mesh":0}],"meshes":[{"primitives":[)"
           R"({"attributes":{"POSITION":0})" +
           extra + R"(}]}],"accessors":[)" + accessor + R"(],"bufferViews":[)" + view +
           R"(],"buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
           positions + R"("}]})";
  };
  const std::string good_accessor =
      R"({"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"})";
  const std::string good_view = R"({"buffer":0,"byteLength":36})";
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(Parse(*model, document(good_accessor, good_view, ""), host));
  EXPECT_EQ(model->total_face_count, 1);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"count past the view",
       document(R"({"bufferView":0,"componentType":5126,"count":4,"type":"VEC3"})", good_view, "")},
      {"offset past the view",
       document(R"({"bufferView":0,"byteOffset":4,"componentType":5126,"count":3,"type":"VEC3"})",
                good_view, "")},
      {"huge count",
       document(
           R"({"bufferView":0,"componentType":5126,"count":4611686018427387904,"type":"VEC3"})",
           good_view, "")},
      {"view past the buffer",
       document(good_accessor, R"({"buffer":0,"byteOffset":8,"byteLength":36})", "")},
      {"stride overflow",
       document(good_accessor, R"({"buffer":0,"byteLength":36,"byteStride":18446744073709551615})",
                "")},
      {"integer positions",
       document(R"({"bufferView":0,"componentType":5125,"count":3,"type":"VEC3"})", good_view, "")},
      {"index past the vertices",
       document(
           good_accessor + R"(,{"bufferView":1,"componentType":5121,"count":3,"type":"SCALAR"})",
           good_view + R"(,{"buffer":0,"byteOffset":28,"byteLength":3})", R"(,"indices":1)")},
      {"missing accessor", document(good_accessor, good_view, R"(,"indices":7)")},
      {"not JSON", "{\"asset\":"},
      {"truncated binary", std::string("glTF\x02\0\0\0\xff\0\0\0", 12)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadError error;
    EXPECT_FALSE(Parse(*model, c.bytes, host, &error));
    EXPECT_FALSE(error.message.empty());
    EXPECT_EQ(model->parts_count, 0);
    EXPECT_EQ(model->parts_count, 0);
  }
}

TEST(GltfTest, PointsAndLinesAreLeftOutWithOneMessage) {
  const std::string positions = "AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA";
  const std::string bytes =
      R"({"asset":{"version":"2.0"},"nodes":[{"mesh":0}],"meshes":[{"primitives":[)"
      R"({"attributes":{"POSITION":0},"mode":0},{"attributes":{"POSITION":0},"mode":1},)"
      R"({"attributes":{"POSITION":0},"mode":6}]}],)"
      R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"}],)"
      R"("bufferViews":[{"buffer":0,"byteLength":36}],)"
      R"("buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
      positions + R"("}]})";
  auto model = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(Parse(*model, bytes, host));
  EXPECT_EQ(model->total_face_count, 1);
  EXPECT_EQ(host.Texts(),
            (std::vector<std::string>{"点と線のプリミティブ2個は読み込みませんでした"}));
}

}  // namespace
}  // namespace vorna
