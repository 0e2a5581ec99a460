// glTF export and import between themselves; standard skinning, the validator and Assimp check
// the export in tests/interop.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "formats/model_file_fixtures.h"
#include "formats/registry.h"
#include "images/decode.h"
#include "images/encode.h"
#include "model/geometry_fixtures.h"
#include "support/gltf_reader.h"
#include "support/test_support.h"
#include "x_export_fixture.h"

namespace vorna {
namespace {

bool Parse(Model& model, const std::string& bytes, Host& host, ReadError* error = nullptr,
           bool load_textures = false) {
  ReadOptions options;
  options.load_textures = load_textures;
  return ParseGltf(
      model, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
      "/nonexistent/", "m", host, options, error);
}

// test::Character(1) in `dir`, its first Part's texture a 2×1 BMP "body.bmp" there.
std::unique_ptr<Model> CharacterWithBodyBmp(const test::TempDir& dir) {
  std::vector<uint8_t> bmp;
  EXPECT_TRUE(EncodeBmp(Image{2, 1, {255, 0, 0, 255, 0, 0, 255, 128}}, &bmp));
  test::WriteFile(dir.File("body.bmp"), std::string(bmp.begin(), bmp.end()));
  auto model = test::Character(1);
  model->model_dir = dir.path();
  model->parts[0].texture_file = "body.bmp";
  return model;
}

TEST(GltfTest, EmbeddedTexturesAreWrittenBesideTheSavedModel) {
  test::TempDir dir;
  auto model = CharacterWithBodyBmp(dir);
  ASSERT_TRUE(ExportGltf(*model, dir.File("skin.glb"), true));

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
// animation; a material glowing in one colour alone keeps its glow. Our colours are what the
// screen shows, glTF's factors linear light (sRGB 0.5 is 0.214041, 0.25 is 0.050876).
TEST(GltfTest, StillAnimationsAndGlowsOfOneColour) {
  test::TempDir dir;
  auto model = test::Character(1);
  model->parts[0].material.emissive = {0, 0.5f, 0, 0};
  model->parts[3].material.emissive = {0, 0, 0.25f, 0};
  model->parts[4].material.emissive = {1, 0, 0, 0};
  ASSERT_TRUE(ExportGltf(*model, dir.File("still.glb"), true));
  const tinygltf::Model g = test::ReadGltf(dir.File("still.glb"));
  ASSERT_FALSE(g.animations.empty());
  for (const tinygltf::Animation& a : g.animations) EXPECT_FALSE(a.channels.empty()) << a.name;
  ASSERT_EQ(g.materials.size(), 5u);  // one per Part
  EXPECT_NEAR(g.materials[0].emissiveFactor[1], 0.214041, 1e-6);
  EXPECT_NEAR(g.materials[3].emissiveFactor[2], 0.050876, 1e-6);
  EXPECT_EQ(g.materials[4].emissiveFactor, (std::vector<double>{1, 0, 0}));
}

// Colours come back from an export and an import as our files store them, to six decimals.
TEST(GltfTest, ColoursSurviveARoundTripToTheStoredPrecision) {
  test::TempDir dir;
  auto model = test::Character(1);
  const float stored[] = {0.000001f, 0.003f, 0.04045f, 0.2f, 0.423529f, 0.85f, 0.999999f, 0.5f};
  const auto text = [](const Material& m) {
    std::string out;
    for (float v : {m.diffuse.r, m.diffuse.g, m.diffuse.b, m.diffuse.a, m.emissive.r, m.emissive.g,
                    m.emissive.b})
      out += std::to_string(v) + " ";  // six decimals, as stored
    return out;
  };
  std::multiset<std::string> before, after;
  for (int p = 0; p < 5; ++p) {
    Material& m = model->parts[p].material;
    m.diffuse = {stored[p], stored[p + 1], stored[p + 2], stored[7 - p % 2]};
    m.emissive = {stored[p + 3], stored[p + 2], stored[p + 1], 0};
    before.insert(text(m));
  }
  ASSERT_TRUE(ExportGltf(*model, dir.File("colours.glb"), true));
  auto back = test::NewModel();
  ScriptedHost host;
  ASSERT_TRUE(ReadModelFile(*back, dir.File("colours.glb"), host, {false}, nullptr));
  for (int p = 0; p < back->parts_count; ++p) after.insert(text(back->parts[p].material));
  EXPECT_EQ(after, before);
}

// The save options as the other writers take them (no skin: no skeleton, so no animation). Every
// animation keys every channel any of them keys, since tools that switch animations leave a joint
// the next one does not key where the last one put it. Key intervals out of range are refused.
TEST(GltfTest, SaveOptionsLeaveOutWhatTheyNameAndEveryAnimationKeysTheSameChannels) {
  test::TempDir dir;
  auto walker = test::SampleWalker();
  walker->motions[1].scale[1] = {2, 1, 1};
  const struct {
    bool skin, anim, translation, scale;
    size_t skins, animations;
    std::set<std::string> paths;
  } cases[] = {
      {true, true, true, true, 1, 2, {"translation", "rotation", "scale"}},
      {true, false, true, true, 1, 0, {}},
      {true, true, false, true, 1, 2, {"rotation", "scale"}},
      {true, true, true, false, 1, 2, {"translation", "rotation"}},
  };
  for (const auto& c : cases) {
    const SaveOptions options{c.skin, c.translation, c.scale, c.anim};
    ASSERT_TRUE(ExportGltf(*walker, dir.File("options.glb"), true, options));
    const tinygltf::Model g = test::ReadGltf(dir.File("options.glb"));
    EXPECT_EQ(g.skins.size(), c.skins);
    ASSERT_EQ(g.animations.size(), c.animations);
    std::set<std::string> paths;
    std::set<std::pair<int, std::string>> channels[2];
    for (size_t a = 0; a < g.animations.size(); ++a) {
      for (const auto& channel : g.animations[a].channels) {
        paths.insert(channel.target_path);
        channels[a].emplace(channel.target_node, channel.target_path);
      }
    }
    EXPECT_EQ(paths, c.paths);
    EXPECT_EQ(channels[0], channels[1]);
  }
  for (const double seconds : {0.0009, 60.1}) {
    EXPECT_FALSE(ExportGltf(*walker, dir.File("keys.glb"), true, {.gltf = {seconds}})) << seconds;
  }
}

// Beside a .gltf, files that the export did not write are never replaced: it takes the next
// free name and says so. The files of the .gltf it replaces are its own to replace.
TEST(GltfTest, AGltfExportReplacesOnlyItsOwnFiles) {
  test::TempDir dir;
  auto model = CharacterWithBodyBmp(dir);
  test::WriteFile(dir.File("body.png"), "a picture of someone else's");
  test::WriteFile(dir.File("m.bin"), "someone else's data");
  BesideReport report;
  SaveOptions options;
  options.beside = &report;
  ASSERT_TRUE(ExportGltf(*model, dir.File("m.gltf"), false, options));
  EXPECT_EQ(test::ReadFile(dir.File("body.png")), "a picture of someone else's");
  EXPECT_EQ(test::ReadFile(dir.File("m.bin")), "someone else's data");
  EXPECT_EQ(report.renamed, (std::vector<std::pair<std::string, std::string>>{
                                {"body.png", "body-2.png"}, {"m.bin", "m-2.bin"}}));
  const std::string json = test::ReadFile(dir.File("m.gltf"));
  EXPECT_NE(json.find(R"("uri":"body-2.png")"), std::string::npos);
  EXPECT_NE(json.find(R"("uri":"m-2.bin")"), std::string::npos);

  model->positions[0].x = 0.5f;
  BesideReport again;
  options.beside = &again;
  ASSERT_TRUE(ExportGltf(*model, dir.File("m.gltf"), false, options));
  EXPECT_EQ(again.renamed, report.renamed);
  EXPECT_FALSE(std::filesystem::exists(dir.File("m-3.bin")));
}

// Infinite and NaN numbers (which a text format reads as numbers) never reach a glTF file.
TEST(GltfTest, NonFiniteValuesAreNotExported) {
  test::TempDir dir;
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    const char* message;
    void (*damage)(Model&, float);
  } cases[] = {
      {"vertex 5 holds a number that is not finite",
       [](Model& m, float x) { m.positions[5].y = x; }},
      {"vertex 2 holds a number that is not finite", [](Model& m, float x) { m.tex_v[2] = x; }},
      {"the pivot of Unit 1 holds a number that is not finite",
       [](Model& m, float x) { m.units[1].basis_position.z = x; }},
      {"Motion 1 holds a number that is not finite",
       [](Model& m, float x) { m.motions[0].scale[3].x = x; }},
  };
  for (const auto& c : cases) {
    for (const float value : {inf, -inf, std::nanf("")}) {
      SCOPED_TRACE(c.message);
      auto model = test::Character(1);
      c.damage(*model, value);
      WriteError error;
      EXPECT_FALSE(ExportGltf(*model, dir.File("bad.glb"), true, {}, &error));
      EXPECT_EQ(error.message, c.message);
      EXPECT_EQ(error.kind, WriteErrorKind::kModel);
    }
  }
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
  // Some writers print whole numbers with a fraction.
  ASSERT_TRUE(Parse(*model,
                    Document(R"({"bufferView":0,"componentType":5126,"count":3.0,"type":"VEC3"})"),
                    host));
  const std::string with_indices = R"({"attributes":{"POSITION":0},"indices":1})";
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"offset past the view",
       Document(R"({"bufferView":0,"byteOffset":4,"componentType":5126,"count":3,"type":"VEC3"})")},
      {"view of a missing buffer", Document(kPositions, R"({"buffer":3,"byteLength":36})")},
      {"accessor without a view", Document(R"({"componentType":5126,"count":3,"type":"VEC3"})")},
      {"integer positions",
       Document(R"({"bufferView":0,"componentType":5125,"count":3,"type":"VEC3"})")},
      {"fractional count",
       Document(R"({"bufferView":0,"componentType":5126,"count":3.5,"type":"VEC3"})")},
      {"negative count",
       Document(R"({"bufferView":0,"componentType":5126,"count":-1.0,"type":"VEC3"})")},
      {"unknown component type",
       Document(R"({"bufferView":0,"componentType":5124,"count":3,"type":"VEC3"})")},
      {"normals of unsigned bytes",
       Document(kPositions + R"(,{"bufferView":0,"componentType":5121,"normalized":true,"count":3,)"
                             R"("type":"VEC3"})",
                kView, R"({"attributes":{"POSITION":0,"NORMAL":1}})")},
      {"index past the vertices",
       Document(kPositions + R"(,{"bufferView":1,"componentType":5121,"count":3,"type":"SCALAR"})",
                kView + R"(,{"buffer":0,"byteOffset":28,"byteLength":3})", with_indices)},
      {"not JSON", "{\"asset\":"},
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

// A binary file whose first view is a BMP the material shows, then three positions and the
// indices (2, 1, 0) at each width, read through a node under one moved by (1, 2, 3).
TEST(GltfTest, IndicesOfEveryWidthAndAnImageInTheFirstView) {
  std::vector<uint8_t> bmp;
  ASSERT_TRUE(EncodeBmp(Image{2, 1, std::vector<uint8_t>(8, 255)}, &bmp));
  bmp.resize((bmp.size() + 3) & ~size_t{3});
  const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
  std::string bin = std::string(bmp.begin(), bmp.end()) +
                    std::string(reinterpret_cast<const char*>(positions), sizeof positions);
  const std::string views = R"({"buffer":0,"byteLength":)" + std::to_string(bmp.size()) +
                            R"(},{"buffer":0,"byteOffset":)" + std::to_string(bmp.size()) +
                            R"(,"byteLength":36},{"buffer":0,"byteOffset":)" +
                            std::to_string(bin.size()) + R"(,"byteLength":12})";
  for (const auto& [type, indices] :
       {std::pair{5121, std::string("\2\1\0", 3)}, std::pair{5123, std::string("\2\0\1\0\0\0", 6)},
        std::pair{5125, std::string("\2\0\0\0\1\0\0\0\0\0\0\0", 12)}}) {
    SCOPED_TRACE(type);
    const std::string data = bin + indices + std::string(12 - indices.size(), '\0');
    std::string json =
        R"({"asset":{"version":"2.0"},"nodes":[{"children":[1],"translation":[1,2,3]},{"mesh":0}],)"
        R"("meshes":[{"primitives":[{"attributes":{"POSITION":1},"indices":0,"material":0}]}],)"
        R"("materials":[{"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}}],)"
        R"("textures":[{"source":0}],"images":[{"bufferView":0,"mimeType":"image/bmp"}],)"
        R"("accessors":[{"bufferView":2,"componentType":)" +
        std::to_string(type) + R"(,"count":3,"type":"SCALAR"},)" +
        R"({"bufferView":1,"componentType":5126,"count":3,"type":"VEC3"}],"bufferViews":[)" +
        views + R"(],"buffers":[{"byteLength":)" + std::to_string(data.size()) + "}]}";
    json.resize((json.size() + 3) & ~size_t{3}, ' ');
    auto u32 = [](size_t v) {
      const uint32_t n = static_cast<uint32_t>(v);
      return std::string(reinterpret_cast<const char*>(&n), 4);
    };
    const std::string glb = "glTF" + u32(2) + u32(28 + json.size() + data.size()) +
                            u32(json.size()) + "JSON" + json + u32(data.size()) +
                            std::string("BIN\0", 4) + data;
    auto model = test::NewModel();
    ScriptedHost host;
    ReadError error;
    ASSERT_TRUE(Parse(*model, glb, host, &error, true)) << error.Describe();
    ASSERT_EQ(model->total_face_count, 1);
    // Moved, then mirrored in z; the winding is reversed with it.
    const Vec3 expected[] = {{1, 2, -3}, {2, 2, -3}, {1, 3, -3}};
    for (int v = 0; v < 3; ++v) EXPECT_TRUE(model->positions[v] == expected[v]) << v;
    EXPECT_EQ(model->faces[0], (Face{{2, 0, 1, kNoCorner}}));
    EXPECT_NE(model->parts[0].texture, nullptr);
  }
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
    for (int v = 0; v < 3; ++v) test::ExpectNear(model->normals[v], c.expected[v], 1e-6f);
  }
}

}  // namespace
}  // namespace vorna
