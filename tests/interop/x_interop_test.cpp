// Our .x files against files and readers nobody here wrote: third-party samples (read in place
// when the folder is configured) rewritten by our codec and read by our import, and Assimp
// reading what we write.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "formats/x_export.h"
#include "formats/x_export_fixture.h"
#include "formats/x_import.h"
#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "interop/interop_support.h"
#include "support/test_support.h"

namespace vorna {
namespace {

TEST(XFileSamplesTest, OurBinaryEncodingMatchesTheSampleExporter) {
  const std::string folder = test::XSampleFolder();
  if (folder.empty()) GTEST_SKIP() << "third-party .x samples not configured";
  xfile::ReadResult text = xfile::ReadFile(folder + "test_cube_text.x");
  ASSERT_TRUE(text.ok());
  xfile::WriteOptions options;
  options.encoding = xfile::Encoding::kBinary;
  for (const xfile::Template* t : text.document.templates().declared())
    options.declare.push_back(t->name);
  xfile::WriteResult ours = xfile::Write(text.document, options);
  ASSERT_TRUE(ours.ok()) << ours.error.Describe();
  const std::string theirs = test::ReadFile(folder + "test_cube_binary.x");
  ASSERT_EQ(ours.bytes.size(), theirs.size());
  // The text sample carries six decimals, the binary one full floats: only float bytes differ.
  int differing = 0;
  for (std::size_t i = 0; i < theirs.size(); ++i) differing += ours.bytes[i] != theirs[i];
  EXPECT_LE(differing, 12);
}

#ifdef VORNA_HAVE_ASSIMP

using test::AssimpScene;
using test::FindNode;

unsigned Triangles(const aiScene& scene) {
  unsigned n = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    for (unsigned f = 0; f < scene.mMeshes[m]->mNumFaces; ++f) {
      n += scene.mMeshes[m]->mFaces[f].mNumIndices - 2;
    }
  }
  return n;
}

std::set<std::string> TextureNames(const aiScene& scene) {
  std::set<std::string> names;
  for (unsigned m = 0; m < scene.mNumMaterials; ++m) {
    aiString path;
    if (aiGetMaterialTexture(scene.mMaterials[m], aiTextureType_DIFFUSE, 0, &path) ==
        aiReturn_SUCCESS) {
      names.insert(path.C_Str());
    }
  }
  return names;
}

// The binary encodings reach Assimp through XFileAssimpTest's rewritten samples.
TEST(XExportInteropTest, AssimpReadsWhatWeWrite) {
  test::TempDir dir;
  auto model = test::Character(4);
  model->anim_count = 2;
  // CP932 names ("right arm", "walk", "bone") and a long one keep their bytes, except that text
  // replaces the bone's first character: its second byte is '{'.
  const std::string arm = "\x89\x45\x98\x72", walk_name = "\x95\xE0\x82\xAD", tail(63, 't');
  const std::string bone = "\x83\x7B\x81\x5B\x83\x93";
  const std::string hip = "__\x81\x5B\x83\x93";
  model->node_name[model->NodeOfUnit(0)] = bone;
  model->node_name[model->NodeOfUnit(1)] = arm;
  model->node_name[model->NodeOfUnit(3)] = tail;
  model->anims[0] = Anim{0, 2, 1, walk_name};
  model->anims[1] = Anim{3, 3, 0, "wave"};
  SaveOptions options;
  options.x.format = XFileFormat::kText;
  options.x.skin = true;
  options.x.key_intervals[1] = 60;  // the walk's second gap
  ScriptedHost host;
  ASSERT_TRUE(ExportX(*model, dir.File("character.x"), options, host));

  AssimpScene read(dir.File("character.x"));
  ASSERT_NE(read.scene, nullptr) << aiGetErrorString();
  const aiScene& scene = *read.scene;
  EXPECT_EQ(Triangles(scene), 10u);
  unsigned vertices = 0;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) vertices += scene.mMeshes[m]->mNumVertices;
  EXPECT_EQ(vertices, 30u);  // one vertex per face corner, as Assimp builds them
  EXPECT_EQ(TextureNames(scene), (std::set<std::string>{"arm.png", "body.png", "hat.png"}));

  // Frames and their nesting; with skin the group Unit holds hip, tail and the hat.
  const aiNode* hand = FindNode(scene.mRootNode, "Frame_hand");
  ASSERT_NE(hand, nullptr);
  ASSERT_NE(hand->mParent, nullptr);
  EXPECT_EQ(hand->mParent->mName.C_Str(), "Frame_" + arm);
  EXPECT_EQ(hand->mParent->mParent->mName.C_Str(), "Frame_" + hip);
  ASSERT_NE(FindNode(scene.mRootNode, "Frame_" + tail), nullptr);

  std::map<std::string, std::vector<float>> bones;
  for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
    const aiMesh& mesh = *scene.mMeshes[m];
    for (unsigned b = 0; b < mesh.mNumBones; ++b) {
      std::vector<float>& weights = bones[mesh.mBones[b]->mName.C_Str()];
      for (unsigned w = 0; w < mesh.mBones[b]->mNumWeights; ++w) {
        weights.push_back(mesh.mBones[b]->mWeights[w].mWeight);
      }
    }
  }
  EXPECT_EQ(bones.size(), 4u);
  // The hand's quad fanned into two triangles: 6 corners, the first corner at 0.5 twice.
  std::multiset<float> hand_weights(bones["Frame_hand"].begin(), bones["Frame_hand"].end());
  EXPECT_EQ(hand_weights, (std::multiset<float>{0.5f, 0.5f, 1, 1, 1, 1}));
  const std::vector<float>& arm_list = bones["Frame_" + arm];
  std::multiset<float> arm_weights(arm_list.begin(), arm_list.end());
  EXPECT_EQ(arm_weights.count(0.5f), 6u);  // its own first corners and the hand's

  // Sets last Anim first; one channel per Unit, keys at the interval sums.
  const double times[] = {0, 30, 90, 120};
  ASSERT_EQ(scene.mNumAnimations, 2u);
  const aiAnimation& wave = *scene.mAnimations[0];
  const aiAnimation& walk = *scene.mAnimations[1];
  EXPECT_STREQ(wave.mName.C_Str(), "AnimSet_wave");
  EXPECT_EQ(walk.mName.C_Str(), "AnimSet_" + walk_name);
  EXPECT_EQ(walk.mTicksPerSecond, 240.0);
  EXPECT_EQ(walk.mNumChannels, static_cast<unsigned>(model->unit_count()));
  EXPECT_EQ(wave.mChannels[0]->mNumRotationKeys, 1u);
  for (unsigned c = 0; c < walk.mNumChannels; ++c) {
    const aiNodeAnim& channel = *walk.mChannels[c];
    EXPECT_NE(FindNode(scene.mRootNode, channel.mNodeName.C_Str()), nullptr);
    ASSERT_EQ(channel.mNumRotationKeys, 4u);
    ASSERT_EQ(channel.mNumPositionKeys, 4u);
    ASSERT_EQ(channel.mNumScalingKeys, 4u);
    for (unsigned k = 0; k < 4; ++k) {
      EXPECT_EQ(channel.mRotationKeys[k].mTime, times[k]);
      EXPECT_EQ(channel.mPositionKeys[k].mTime, times[k]);
    }
  }
}

TEST(XImportInteropTest, SamplesGiveAssimpsCounts) {
  const std::string folder = test::XSampleFolder();
  if (folder.empty()) GTEST_SKIP() << "third-party .x samples not configured";
  for (const char* name : {"test_cube_text.x", "test_cube_binary.x", "test_cube_compressed.x",
                           "test.x", "kwxport_test_cubewithvcolors.x", "anim_test.x"}) {
    SCOPED_TRACE(name);
    auto model = test::NewModel();
    ScriptedHost host;
    ReadOptions options;
    options.load_textures = false;
    ReadError error;
    ASSERT_TRUE(ImportX(*model, folder + name, host, options, &error)) << error.Describe();
    AssimpScene read(folder + name);
    ASSERT_NE(read.scene, nullptr);
    const aiScene& scene = *read.scene;
    EXPECT_EQ(static_cast<unsigned>(model->total_face_count), Triangles(scene));
    // Assimp gives every face corner a vertex; count the distinct corners (position and
    // normal) of each material's faces, as our Parts hold them.
    std::map<unsigned, std::set<std::tuple<float, float, float, float, float, float>>> corners;
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
      const aiMesh& mesh = *scene.mMeshes[m];
      for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        const aiVector3D n = mesh.mNormals != nullptr ? mesh.mNormals[v] : aiVector3D();
        corners[m].insert(
            {mesh.mVertices[v].x, mesh.mVertices[v].y, mesh.mVertices[v].z, n.x, n.y, n.z});
      }
    }
    unsigned distinct = 0, ours = 0, used_materials = 0;
    for (const auto& [mesh, set] : corners) distinct += static_cast<unsigned>(set.size());
    for (int p = 0; p < model->parts_count; ++p) {
      used_materials += model->PartFaceCount(p) > 0;
      std::set<std::tuple<float, float, float, float, float, float>> part;
      for (uint32_t v = model->parts[p].first_vertex; v < model->parts[p + 1].first_vertex; ++v) {
        const Vec3 a = model->positions[v], n = model->normals[v];
        part.insert({a.x, a.y, a.z, n.x, n.y, n.z});
      }
      ours += static_cast<unsigned>(part.size());
    }
    EXPECT_EQ(ours, distinct);
    EXPECT_EQ(used_materials, scene.mNumMeshes);
  }
  auto model = test::NewModel();
  ScriptedHost host;
  EXPECT_FALSE(ImportX(*model, folder + "malformed_skinweights_oob.x", host));
  EXPECT_EQ(model->parts_count, 0);
  EXPECT_TRUE(host.Texts().empty());
}

// Third-party files rewritten by us in each encoding load in Assimp like the originals.
TEST(XFileAssimpTest, ReadsRewrittenSamplesLikeTheOriginals) {
  const std::string folder = test::XSampleFolder();
  if (folder.empty()) GTEST_SKIP() << "third-party .x samples not configured";
  for (const char* name :
       {"test_cube_text.x", "test.x", "kwxport_test_cubewithvcolors.x", "anim_test.x"}) {
    SCOPED_TRACE(name);
    const std::string original_bytes = test::ReadFile(folder + name);
    AssimpScene original(original_bytes, true);
    ASSERT_NE(original.scene, nullptr);
    xfile::ReadResult read = xfile::Read(original_bytes);
    ASSERT_TRUE(read.ok());
    for (xfile::Encoding encoding :
         {xfile::Encoding::kText, xfile::Encoding::kBinary, xfile::Encoding::kCompressedBinary}) {
      SCOPED_TRACE(static_cast<int>(encoding));
      xfile::WriteOptions options;
      options.encoding = encoding;
      for (const xfile::Template* t : read.document.templates().declared())
        options.declare.push_back(t->name);
      xfile::WriteResult w = xfile::Write(read.document, options);
      ASSERT_TRUE(w.ok()) << w.error.Describe();
      AssimpScene ours(w.bytes, true);
      ASSERT_NE(ours.scene, nullptr) << aiGetErrorString();
      ASSERT_EQ(ours.scene->mNumMeshes, original.scene->mNumMeshes);
      for (unsigned m = 0; m < ours.scene->mNumMeshes; ++m) {
        const aiMesh* a = original.scene->mMeshes[m];
        const aiMesh* b = ours.scene->mMeshes[m];
        ASSERT_EQ(a->mNumVertices, b->mNumVertices);
        EXPECT_EQ(a->mNumFaces, b->mNumFaces);
        EXPECT_EQ(a->mNumBones, b->mNumBones);
        for (unsigned v = 0; v < a->mNumVertices; ++v) {
          EXPECT_NEAR(a->mVertices[v].x, b->mVertices[v].x, 1e-5);
          EXPECT_NEAR(a->mVertices[v].z, b->mVertices[v].z, 1e-5);
        }
      }
      EXPECT_EQ(ours.scene->mNumMaterials, original.scene->mNumMaterials);
      EXPECT_EQ(ours.scene->mNumAnimations, original.scene->mNumAnimations);
    }
  }
}

#else

TEST(XExportInteropTest, NeedsAssimp) { GTEST_SKIP() << "Assimp not found"; }

#endif

}  // namespace
}  // namespace vorna
