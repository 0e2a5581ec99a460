// The checked glTF document: what it keeps for the skeletal import, where it finds buffers.
#include "formats/gltf_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/gltf_scene.h"
#include "support/test_support.h"

namespace vorna::gltf {
namespace {

bool Read(const std::string& json, Document* doc, ReadError* error,
          const std::string& directory = "") {
  return ReadGltfDocument(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(json.data()), json.size()),
      directory, doc, error);
}

// Two nodes joined as a skin, one animation of each path and interpolation, extras kept as
// values, a morph target and a second coordinate set, a camera and a light.
TEST(GltfDocumentTest, KeepsWhatTheSkeletalImportReads) {
  const std::string json = R"({"asset":{"version":"2.0","extras":{"unit":[1,true,null]}},
    "extensionsUsed":["KHR_lights_punctual"],
    "extensions":{"KHR_lights_punctual":{"lights":[{"type":"point"}]}},
    "cameras":[{"type":"perspective"}],
    "nodes":[{"name":"hip","children":[1],"translation":[0,1,0],"extras":{"basis":2,"n":"x"}},
             {"name":"knee","matrix":[2,0,0,0,0,2,0,0,0,0,2,0,1,2,3,1],"camera":0,
              "extensions":{"KHR_lights_punctual":{"light":0}}},
             {"mesh":0,"skin":0}],
    "skins":[{"joints":[0,1],"inverseBindMatrices":2,"skeleton":0}],
    "meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_1":0,"COLOR_0":0,
      "JOINTS_0":3,"WEIGHTS_0":0},"targets":[{"POSITION":0}]}]}],
    "animations":[{"name":"walk","samplers":[{"input":1,"output":0},
        {"input":1,"output":0,"interpolation":"STEP"},
        {"input":1,"output":0,"interpolation":"CUBICSPLINE"}],
      "channels":[{"sampler":2,"target":{"node":1,"path":"rotation"}},
                  {"sampler":1,"target":{"node":0,"path":"scale"}},
                  {"sampler":0,"target":{"path":"weights"}}]}],
    "accessors":[{"bufferView":0,"componentType":5126,"count":2,"type":"VEC4"},
      {"bufferView":0,"componentType":5126,"count":2,"type":"SCALAR"},
      {"bufferView":0,"componentType":5126,"count":2,"type":"MAT4","byteOffset":0},
      {"bufferView":0,"componentType":5121,"count":2,"type":"VEC4"}],
    "bufferViews":[{"buffer":0,"byteLength":128}],
    "buffers":[{"byteLength":128,"uri":"data:;base64,)" +
                           std::string(171, 'A') + R"(="}]})";
  Document doc;
  ReadError error;
  ASSERT_TRUE(Read(json, &doc, &error)) << error.Describe();
  ASSERT_EQ(doc.nodes.size(), 3u);
  EXPECT_EQ(doc.nodes[0].name, "hip");
  EXPECT_EQ(doc.nodes[0].translation, (std::array<double, 3>{0, 1, 0}));
  EXPECT_EQ(doc.nodes[1].parent, 0);
  EXPECT_TRUE(doc.nodes[1].has_matrix);
  EXPECT_EQ(doc.nodes[1].matrix[13], 2);
  EXPECT_EQ(doc.nodes[1].camera, 0);
  EXPECT_EQ(doc.nodes[1].light, 0);
  EXPECT_EQ(doc.cameras, 1u);
  EXPECT_EQ(doc.lights, 1u);
  EXPECT_EQ(doc.nodes[2].skin, 0);
  const Value* basis = doc.nodes[0].extras.Find("basis");
  ASSERT_NE(basis, nullptr);
  EXPECT_EQ(basis->number, 2);
  EXPECT_EQ(doc.nodes[0].extras.Find("n")->text, "x");
  const Value* unit = doc.asset_extras.Find("unit");
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(unit->items.size(), 3u);
  EXPECT_TRUE(unit->items[1].boolean);
  EXPECT_EQ(unit->items[2].type, Value::Type::kNull);
  EXPECT_EQ(doc.skins[0].joints, (std::vector<int>{0, 1}));
  EXPECT_EQ(doc.skins[0].inverse_bind_matrices, 2);
  const Primitive& p = doc.meshes[0].primitives[0];
  EXPECT_EQ(p.texcoords, (std::vector<int>{-1, 0}));
  EXPECT_EQ(p.colors.size(), 1u);
  EXPECT_EQ(p.morph_targets, 1u);
  const Animation& a = doc.animations[0];
  EXPECT_EQ(a.name, "walk");
  ASSERT_EQ(a.channels.size(), 3u);
  EXPECT_EQ(a.samplers[a.channels[0].sampler].interpolation, Interpolation::kCubicSpline);
  EXPECT_EQ(a.channels[0].path, TargetPath::kRotation);
  EXPECT_EQ(a.samplers[a.channels[1].sampler].interpolation, Interpolation::kStep);
  EXPECT_EQ(a.channels[1].node, 0);
  EXPECT_EQ(a.channels[2].node, -1);
  std::string why;
  std::vector<uint32_t> joints;
  ASSERT_TRUE(AccessorIndices(doc, 3, &joints, &why)) << why;
  EXPECT_EQ(joints, std::vector<uint32_t>(8, 0));
  std::vector<float> matrices;
  ASSERT_TRUE(AccessorFloats(doc, 2, &matrices, &why)) << why;
  EXPECT_EQ(matrices.size(), 32u);
  EXPECT_FALSE(AccessorIndices(doc, 0, &joints, &why));
  EXPECT_EQ(why, "accessors[0]: not unsigned integers");
}

// The Unit settings our export records in a node's extras are taken only whole.
TEST(GltfDocumentTest, RecordedUnitSettingsAreTakenOnlyWhole) {
  const std::string unit = R"("basis_type":1,"blend_param":[1,10,0,20],"axis_angle":)";
  const std::string json = R"({"asset":{"version":"2.0"},"nodes":[{"extras":{)" + unit +
                           R"([0,30,10]}},{"extras":{)" + unit + R"([0,30,10,5]}}]})";
  Document doc;
  ReadError error;
  ASSERT_TRUE(Read(json, &doc, &error)) << error.Describe();
  SceneDescription scene;
  int skipped = 0;
  std::string why;
  ASSERT_TRUE(DescribeGltfScene(doc, "", "m", {}, &scene, &skipped, &why)) << why;
  ASSERT_EQ(scene.nodes.size(), 2u);
  ASSERT_TRUE(scene.nodes[0].unit);
  EXPECT_EQ(scene.nodes[0].unit->axis_angle, (std::array<int32_t, 3>{0, 30, 10}));
  EXPECT_FALSE(scene.nodes[1].unit);
}

// A buffer file is read from beside the model, and from nowhere else.
TEST(GltfDocumentTest, BufferFilesComeFromBesideTheModel) {
  test::TempDir dir;
  test::WriteFile(dir.File("data.bin"), std::string(8, '\x7f'));
  const struct {
    const char* uri;
    const char* message;  // empty: read
  } cases[] = {
      {"data.bin", ""},
      {"DATA.BIN", ""},  // written on a system that ignores case
      {"d%61ta.bin", ""},
      {"missing.bin", "buffers[0]: cannot read \"missing.bin\""},
      {"../data.bin", "buffers[0]: \"../data.bin\" is not a file beside the model"},
      {"/etc/hostname", "buffers[0]: \"/etc/hostname\" is not a file beside the model"},
      {"file:data.bin", "buffers[0]: \"file:data.bin\" is not a file beside the model"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.uri);
    Document doc;
    ReadError error;
    const bool read = Read(R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":8,"uri":")" +
                               std::string(c.uri) + R"("}]})",
                           &doc, &error, dir.path());
    EXPECT_EQ(read, *c.message == '\0');
    EXPECT_EQ(error.message, c.message);
    if (read) {
      EXPECT_EQ(doc.buffers[0].data[7], 0x7f);
    }
  }
}

}  // namespace
}  // namespace vorna::gltf
