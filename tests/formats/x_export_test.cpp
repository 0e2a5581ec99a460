#include "formats/x_export.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "formats/registry.h"
#include "formats/x_export_fixture.h"
#include "formats/xfile/reader.h"
#include "model/host.h"
#include "support/test_support.h"

namespace vorna {
namespace {

struct Exported {
  xfile::ReadResult read;
  std::vector<std::string> declared;
};

// Exports as text and reads the file back with our reader.
Exported Export(Model& model, XExportOptions options = {}) {
  ScriptedHost host;
  XExportDocument built = BuildXDocument(model, options, host);
  xfile::WriteResult written = xfile::Write(built.document, built.write);
  EXPECT_TRUE(written.ok()) << written.error.Describe();
  return {xfile::Read(written.bytes), built.write.declare};
}

std::vector<std::string> TopLevel(const xfile::Document& document) {
  std::vector<std::string> names;
  for (const xfile::DataObject* o : document.objects()) {
    names.push_back(o->template_name() + ":" + o->name());
  }
  return names;
}

TEST(XExportTest, StillModelWritesFramesAndMeshes) {
  auto model = test::Character(1);
  Exported x = Export(*model);
  ASSERT_TRUE(x.read.ok()) << x.read.error.Describe();
  EXPECT_EQ(x.declared.size(), 13u);
  EXPECT_EQ(model->total_face_count, 10);  // the quads became triangles for good
  // Header, the loose mesh, then the root frames in reverse breadth-first order.
  EXPECT_EQ(TopLevel(x.read.document),
            (std::vector<std::string>{"Header:", "Mesh:", "Frame:Frame_tail", "Frame:Frame_hip"}));
  const xfile::DataObject* arm = x.read.document.FindObject("Frame_arm");
  ASSERT_NE(arm, nullptr);
  const xfile::DataObject* mesh = arm->FirstChild("Mesh");
  ASSERT_NE(mesh, nullptr);
  // Two Parts with one material share material 0; positions are relative to the pivot.
  EXPECT_EQ((*mesh)["nVertices"].Dword(), 8u);
  EXPECT_EQ((*mesh)["vertices"].Numbers()[0], 0.0);
  EXPECT_EQ((*mesh)["vertices"].Numbers()[1], -0.5);
  const xfile::DataObject* list = mesh->FirstChild("MeshMaterialList");
  EXPECT_EQ((*list)["nMaterials"].Dword(), 1u);
  EXPECT_EQ(std::vector<double>((*list)["faceIndexes"].Numbers().begin(),
                                (*list)["faceIndexes"].Numbers().end()),
            (std::vector<double>{0, 0, 0, 0}));
  EXPECT_EQ(list->Children("Material")[0]->name(), "Mtrl_0");
  EXPECT_EQ((*list->Children("Material")[0]->FirstChild("TextureFilename"))["filename"].String(),
            "arm.png");
  // A Unit without Parts still has an empty mesh; the hand hangs under the arm.
  const xfile::DataObject* tail = x.read.document.FindObject("Frame_tail");
  EXPECT_EQ((*tail->FirstChild("Mesh"))["nVertices"].Dword(), 0u);
  EXPECT_EQ(x.read.document.FindObject("Frame_hand")->parent(), arm);
  // Frame matrix of arm: translation by its pivot less its parent's.
  const std::vector<double>& m = arm->FirstChild("FrameTransformMatrix")->numbers();
  EXPECT_EQ(m[12], 1.0);
  EXPECT_EQ(m[13], 0.0);
  EXPECT_TRUE(x.read.document.FindAll("AnimationSet").empty());
}

TEST(XExportTest, LoopingAllSetRepeatsTheFirstMotion) {
  auto model = test::Character(3);
  XExportOptions options;
  options.loop = 1;
  Exported x = Export(*model, options);
  ASSERT_TRUE(x.read.ok());
  EXPECT_EQ(x.declared.size(), 21u);
  std::vector<const xfile::DataObject*> sets = x.read.document.FindAll("AnimationSet");
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0]->name(), "AnimSet_ALL");
  std::vector<const xfile::DataObject*> animations = sets[0]->Children("Animation");
  ASSERT_EQ(animations.size(), 4u);
  const xfile::DataObject* hip = animations[0];
  EXPECT_EQ(hip->children()[0].name, "Frame_hip");
  std::vector<const xfile::DataObject*> keys = hip->Children("AnimationKey");
  ASSERT_EQ(keys.size(), 3u);
  for (int type = 0; type < 3; ++type) {
    SCOPED_TRACE(type);
    const xfile::DataObject& key = *keys[type];
    EXPECT_EQ(key["keyType"].Dword(), static_cast<uint32_t>(type));
    ASSERT_EQ(key["nKeys"].Dword(), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(key["keys"][k]["time"].Dword(), 30u * k);
  }
  // Zero angles give (1, 0, 0, 0); the looping key carries Motion 0's position again.
  const std::span<const double> rotation = (*keys[0])["keys"][3]["tfkeys"]["values"].Numbers();
  EXPECT_EQ(std::vector<double>(rotation.begin(), rotation.end()),
            (std::vector<double>{1, 0, 0, 0}));
  EXPECT_EQ((*keys[2])["keys"][2]["tfkeys"]["values"].Numbers()[1], 0.5 + 0.5);
  EXPECT_EQ((*keys[2])["keys"][3]["tfkeys"]["values"].Numbers()[1], 0.5);
}

// Each Anim's keys take the interval of its first entry in the table; Anims past the table's
// end use its last slot.
TEST(XExportTest, AnimsAreWrittenLastToFirstWithTheirOwnIntervals) {
  auto model = test::Character(200);
  model->anim_count = 8;
  model->anims[0] = Anim{0, 1, 1, "walk"};
  model->anims[1] = Anim{2, 3, 0, "run"};
  for (int a = 2; a < 8; ++a) model->anims[a] = Anim{0, 199, 1, "a" + std::to_string(a)};
  XExportOptions options;
  for (int k = 0; k < kKeyIntervalSlots; ++k) options.key_intervals[k] = k + 1;
  Exported x = Export(*model, options);
  std::vector<const xfile::DataObject*> sets = x.read.document.FindAll("AnimationSet");
  ASSERT_EQ(sets.size(), 8u);
  EXPECT_EQ(sets[6]->name(), "AnimSet_run");
  EXPECT_EQ(sets[7]->name(), "AnimSet_walk");
  auto key = [&](int set) -> const xfile::DataObject& {
    return *sets[set]->Children("Animation")[0]->Children("AnimationKey")[1];
  };
  // walk: entries 0, 1 and its LOOP at 2; run starts at entry 3.
  EXPECT_EQ(key(7)["keys"][1]["time"].Dword(), 1u);
  EXPECT_EQ(key(7)["keys"][2]["time"].Dword(), 3u);
  EXPECT_EQ(key(6)["nKeys"].Dword(), 2u);
  EXPECT_EQ(key(6)["keys"][1]["time"].Dword(), 4u);
  // The last Anim's entries start at 5 + 5 * 201 = 1010, past the 999 slots.
  EXPECT_EQ(key(0)["nKeys"].Dword(), 201u);
  EXPECT_EQ(key(0)["keys"][200]["time"].Dword(), static_cast<uint32_t>(kKeyIntervalSlots) * 200);
}

// The rotation key read the usual way (first value w) must rotate as the transposed frame
// rotation does.
TEST(XExportTest, RotationKeysMatchTheFrameRotation) {
  struct Case {
    uint32_t basis_type;
    std::array<int32_t, 3> axis_angle;
    std::array<int32_t, 3> angle;
  };
  const Case cases[] = {{2, {0, 0, 0}, {30, 0, 0}},   {2, {0, 0, 0}, {0, -40, 0}},
                        {2, {0, 0, 0}, {10, 20, 30}}, {2, {0, 0, 0}, {200, 95, -170}},
                        {1, {0, 0, 90}, {50, 0, 0}},  {1, {0, 30, 60}, {-75, 0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.angle[0] << " " << c.angle[1] << " " << c.angle[2]);
    auto model = test::Character(2);
    model->units[0].basis_type = c.basis_type;
    model->units[0].axis_angle = c.axis_angle;
    DeriveAxis(*model, 0);
    for (int k = 0; k < 3; ++k) model->motions[0].angle[k][0] = c.angle[k];
    XExportOptions options;
    options.skin = 1;
    Exported x = Export(*model, options);
    const std::vector<double>& frame =
        x.read.document.FindObject("Frame_hip")->FirstChild("FrameTransformMatrix")->numbers();
    const xfile::DataObject& key =
        *x.read.document.FindAll("Animation")[0]->Children("AnimationKey")[0];
    std::span<const double> v = key["keys"][0]["tfkeys"]["values"].Numbers();
    const double w = v[0], qx = v[1], qy = v[2], qz = v[3];
    const double r[3][3] = {
        {1 - 2 * (qy * qy + qz * qz), 2 * (qx * qy + qz * w), 2 * (qx * qz - qy * w)},
        {2 * (qx * qy - qz * w), 1 - 2 * (qx * qx + qz * qz), 2 * (qy * qz + qx * w)},
        {2 * (qx * qz + qy * w), 2 * (qy * qz - qx * w), 1 - 2 * (qx * qx + qy * qy)}};
    // The hip's frame has scale 1, so its upper rows are the rotation.
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) EXPECT_NEAR(r[i][j], frame[4 * j + i], 1e-5) << i << j;
    }
  }
}

TEST(XExportTest, SkinGroupsLooseNodesAndWeighsBones) {
  auto model = test::Character(1);
  // The hand's blend values are all 0: weight 1 for itself, nothing for the arm.
  for (int k = 0; k < 4; ++k) model->blend[12 + k] = 0.0f;
  XExportOptions options;
  options.skin = 1;
  Exported x = Export(*model, options);
  ASSERT_TRUE(x.read.ok()) << x.read.error.Describe();
  EXPECT_EQ(x.declared.size(), 24u);  // the skin templates, even for a still model
  EXPECT_EQ(model->unit_count(), 5);  // the grouping Unit stays
  ASSERT_EQ(x.read.document.objects().size(), 2u);
  const xfile::DataObject& root = *x.read.document.objects()[1];
  const xfile::DataObject* mesh = root.FirstChild("Mesh");
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ((*mesh)["nVertices"].Dword(), 20u);
  const xfile::DataObject* header = mesh->FirstChild("XSkinMeshHeader");
  ASSERT_NE(header, nullptr);
  EXPECT_EQ((*header)["nBones"].Dword(), 4u);  // hip, arm, hand and the group (the hat's)
  EXPECT_EQ((*header)["nMaxSkinWeightsPerVertex"].Dword(), 2u);
  const xfile::DataObject* duplicates = mesh->FirstChild("VertexDuplicationIndices");
  ASSERT_NE(duplicates, nullptr);
  // Quads side by side share an edge: 20 vertices at 12 places.
  EXPECT_EQ((*duplicates)["nOriginalVertices"].Dword(), 12u);
  for (const xfile::DataObject* w : mesh->Children("SkinWeights")) {
    const std::string bone(w->strings()[0]);
    const std::span<const double> weights = (*w)["weights"].Numbers();
    const std::span<const double> offset = (*w)["matrixOffset"]["matrix"].Numbers();
    EXPECT_EQ(offset[12], 0.0);  // identity with one Motion
    if (bone == "Frame_hand") {
      EXPECT_EQ(std::vector<double>(weights.begin(), weights.end()), std::vector<double>(4, 1.0));
    }
    if (bone == "Frame_arm") {
      // Its own 8 vertices (first ones at 0.5), none of the hand's.
      EXPECT_EQ((*w)["nWeights"].Dword(), 8u);
      EXPECT_EQ(weights[0], 0.5);
    }
  }
}

TEST(XExportTest, ExportWritesEveryEncodingAndFailsOnABadPath) {
  test::TempDir dir;
  for (XFileFormat format :
       {XFileFormat::kText, XFileFormat::kBinary, XFileFormat::kCompressedBinary}) {
    auto model = test::Character(3);
    // CP932 ("right arm", "walk" with a long vowel mark, whose second byte is '[') and long
    // names keep their bytes in every encoding.
    const std::string arm = "\x89\x45\x98\x72", tail(63, 't'), walk = "\x95\xE0\x81\x5B";
    model->node_name[model->NodeOfUnit(1)] = arm;
    model->node_name[model->NodeOfUnit(3)] = tail;
    model->anim_count = 1;
    model->anims[0] = Anim{0, 2, 0, walk};
    XExportOptions options;
    options.format = format;
    options.skin = format == XFileFormat::kBinary;
    options.file_name = dir.File("out.x");
    ScriptedHost host;
    ASSERT_EQ(ExportX(*model, options, host), 0);
    EXPECT_EQ(model->all_triangles, 1);
    const std::string bytes = test::ReadFile(options.file_name);
    const xfile::ReadResult read = xfile::Read(bytes);
    ASSERT_TRUE(read.ok()) << read.error.Describe();
    for (const std::string& name : {"Frame_" + arm, "Frame_" + tail, "AnimSet_" + walk}) {
      EXPECT_NE(read.document.FindObject(name), nullptr) << name;
    }
    auto back = test::NewModel();
    ReadError error;
    ASSERT_TRUE(ReadModelFile(*back, options.file_name, host, {}, &error)) << error.Describe();
    EXPECT_EQ(back->total_face_count, 10);
    EXPECT_EQ(back->parts_count, 4);  // materials: body, arm, palm, hat
  }
  auto model = test::Character(1);
  XExportOptions options;
  options.file_name = dir.File("missing/out.x");
  ScriptedHost host;
  EXPECT_LT(ExportX(*model, options, host), 0);
}

}  // namespace
}  // namespace vorna
