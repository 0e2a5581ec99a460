// The .x codec against files and readers nobody here wrote: third-party sample files (read in
// place when the folder is configured) and Assimp reading our output in every encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "../xfile/sample_documents.h"
#include "formats/xfile/mszip.h"
#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "support/test_support.h"

#ifdef VORNA_HAVE_ASSIMP
#include <assimp/cimport.h>
#include <assimp/scene.h>
#endif

namespace vorna::xfile {
namespace {

std::string SampleFolder() {
  const std::string root = VORNA_THIRD_PARTY_DIR;
  if (root.empty() || !std::filesystem::is_directory(root + "/x")) return {};
  return root + "/x/";
}

#define REQUIRE_SAMPLES(folder)                                                   \
  const std::string folder = SampleFolder();                                      \
  if (folder.empty()) {                                                           \
    GTEST_SKIP() << "third-party .x samples not configured (VORNA_TESTDATA_DIR)"; \
  }

const char* const kSamples[] = {"test_cube_text.x",
                                "test_cube_binary.x",
                                "test_cube_compressed.x",
                                "test.x",
                                "kwxport_test_cubewithvcolors.x",
                                "anim_test.x",
                                "malformed_skinweights_oob.x"};

TEST(XFileSamplesTest, EverySampleParses) {
  REQUIRE_SAMPLES(folder);
  for (const char* name : kSamples) {
    SCOPED_TRACE(name);
    ReadResult r = ReadFile(folder + name);
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    std::vector<const DataObject*> meshes = r.document.FindAll("Mesh");
    ASSERT_FALSE(meshes.empty());
    for (const DataObject* mesh : meshes) {
      const std::uint32_t vertex_count = (*mesh)["nVertices"].Dword();
      EXPECT_EQ((*mesh)["vertices"].Numbers().size(), 3u * vertex_count);
      EXPECT_EQ((*mesh)["faces"].size(), (*mesh)["nFaces"].Dword());
      for (Value face : (*mesh)["faces"]) {
        for (double index : face["faceVertexIndices"].Numbers()) EXPECT_LT(index, vertex_count);
      }
    }
  }
}

TEST(XFileSamplesTest, OutOfRangeSkinIndicesAreLeftToTheImporter) {
  REQUIRE_SAMPLES(folder);
  ReadResult r = ReadFile(folder + "malformed_skinweights_oob.x");
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  const DataObject* mesh = r.document.FindAll("Mesh")[0];
  const DataObject* weights = mesh->FirstChild("SkinWeights");
  ASSERT_NE(weights, nullptr);
  std::span<const double> indices = (*weights)["vertexIndices"].Numbers();
  ASSERT_EQ(indices.size(), (*weights)["nWeights"].Dword());
  EXPECT_EQ(*std::max_element(indices.begin(), indices.end()), 1000000);
  EXPECT_GE(1000000u, (*mesh)["nVertices"].Dword());
}

TEST(XFileSamplesTest, EncodingsOfOneCubeAgree) {
  REQUIRE_SAMPLES(folder);
  const std::string binary = test::ReadFile(folder + "test_cube_binary.x");
  const std::string compressed = test::ReadFile(folder + "test_cube_compressed.x");
  std::vector<std::uint8_t> inflated;
  WarningList warnings;
  ASSERT_TRUE(
      InflateBlocks({reinterpret_cast<const std::uint8_t*>(compressed.data()), compressed.size()},
                    1 << 20, inflated, warnings)
          .ok());
  EXPECT_EQ(std::string(inflated.begin() + 16, inflated.end()), binary.substr(16));

  ReadResult text = ReadFile(folder + "test_cube_text.x");
  ReadResult bin = Read(binary);
  ASSERT_TRUE(text.ok() && bin.ok());
  std::vector<const DataObject*> a = text.document.FindAll("Mesh");
  std::vector<const DataObject*> b = bin.document.FindAll("Mesh");
  ASSERT_EQ(a.size(), b.size());
  ASSERT_EQ(a[0]->numbers().size(), b[0]->numbers().size());
  for (std::size_t i = 0; i < a[0]->numbers().size(); ++i) {
    EXPECT_NEAR(a[0]->numbers()[i], b[0]->numbers()[i], 1e-6);
  }
}

TEST(XFileSamplesTest, OurBinaryEncodingMatchesTheSampleExporter) {
  REQUIRE_SAMPLES(folder);
  ReadResult text = ReadFile(folder + "test_cube_text.x");
  ASSERT_TRUE(text.ok());
  WriteOptions options;
  options.encoding = Encoding::kBinary;
  for (const Template* t : text.document.templates().declared()) options.declare.push_back(t->name);
  WriteResult ours = Write(text.document, options);
  ASSERT_TRUE(ours.ok()) << ours.error.Describe();
  const std::string theirs = test::ReadFile(folder + "test_cube_binary.x");
  ASSERT_EQ(ours.bytes.size(), theirs.size());
  // The text sample carries six decimals, the binary one full floats: only float bytes differ.
  int differing = 0;
  for (std::size_t i = 0; i < theirs.size(); ++i) differing += ours.bytes[i] != theirs[i];
  EXPECT_LE(differing, 12);
}

#ifdef VORNA_HAVE_ASSIMP

struct AssimpScene {
  explicit AssimpScene(const std::string& bytes)
      : scene(aiImportFileFromMemory(bytes.data(), static_cast<unsigned>(bytes.size()), 0, "x")) {}
  ~AssimpScene() { aiReleaseImport(scene); }
  AssimpScene(const AssimpScene&) = delete;
  AssimpScene& operator=(const AssimpScene&) = delete;
  const aiScene* scene;
};

const aiNode* FindNode(const aiNode* node, const char* name) {
  if (node->mName == aiString(name)) return node;
  for (unsigned i = 0; i < node->mNumChildren; ++i) {
    if (const aiNode* found = FindNode(node->mChildren[i], name)) return found;
  }
  return nullptr;
}

const Encoding kEncodings[] = {Encoding::kText, Encoding::kBinary, Encoding::kCompressedBinary};

TEST(XFileAssimpTest, ReadsOurSkinnedAnimatedMeshInEveryEncoding) {
  for (Encoding encoding : kEncodings) {
    SCOPED_TRACE(static_cast<int>(encoding));
    WriteOptions options;
    options.encoding = encoding;
    options.declare = samples::SkinnedTemplates();
    WriteResult w = Write(samples::SkinnedDocument(), options);
    ASSERT_TRUE(w.ok());
    AssimpScene s(w.bytes);
    ASSERT_NE(s.scene, nullptr) << aiGetErrorString();
    // One mesh per material: the quad with the textured material, the triangle with Red.
    ASSERT_EQ(s.scene->mNumMeshes, 2u);
    ASSERT_EQ(s.scene->mNumMaterials, 2u);
    const aiMesh* quad = s.scene->mMeshes[0];
    const aiMesh* triangle = s.scene->mMeshes[1];
    if (quad->mNumVertices == 3) std::swap(quad, triangle);
    ASSERT_EQ(quad->mNumFaces, 1u);
    EXPECT_EQ(quad->mFaces[0].mNumIndices, 4u);
    ASSERT_EQ(triangle->mNumFaces, 1u);
    ASSERT_EQ(triangle->mNumVertices, 3u);
    // Assimp turns the file's left-handed space into its right-handed one by negating z.
    const aiVector3D last = triangle->mVertices[2];  // corner 4 of the triangle 3, 0, 4
    EXPECT_FLOAT_EQ(last.x, -0.5f);
    EXPECT_FLOAT_EQ(last.y, 0.5f);
    EXPECT_FLOAT_EQ(last.z, -2.25f);
    ASSERT_TRUE(quad->HasNormals() && quad->HasTextureCoords(0));
    EXPECT_FLOAT_EQ(quad->mNormals[0].z, -1.0f);
    EXPECT_FLOAT_EQ(triangle->mNormals[0].z, 1.0f);

    aiString texture;
    const aiMaterial* skin = s.scene->mMaterials[quad->mMaterialIndex];
    ASSERT_EQ(aiGetMaterialTexture(skin, aiTextureType_DIFFUSE, 0, &texture), aiReturn_SUCCESS);
    EXPECT_STREQ(texture.C_Str(), "textures/skin 01.png");
    aiColor4D red;
    ASSERT_EQ(aiGetMaterialColor(s.scene->mMaterials[triangle->mMaterialIndex],
                                 AI_MATKEY_COLOR_DIFFUSE, &red),
              aiReturn_SUCCESS);
    EXPECT_FLOAT_EQ(red.r, 1.0f);
    EXPECT_FLOAT_EQ(red.g, 0.0f);

    std::vector<std::string> bones;
    for (const aiMesh* m : {quad, triangle}) {
      for (unsigned b = 0; b < m->mNumBones; ++b) bones.push_back(m->mBones[b]->mName.C_Str());
    }
    EXPECT_NE(std::find(bones.begin(), bones.end(), "Root"), bones.end());
    EXPECT_NE(std::find(bones.begin(), bones.end(), "Arm"), bones.end());

    ASSERT_NE(FindNode(s.scene->mRootNode, "Arm"), nullptr);
    EXPECT_FLOAT_EQ(FindNode(s.scene->mRootNode, "Arm")->mTransformation.b4, 1.5f);
    ASSERT_EQ(s.scene->mNumAnimations, 1u);
    const aiAnimation* walk = s.scene->mAnimations[0];
    EXPECT_STREQ(walk->mName.C_Str(), "Walk");
    EXPECT_DOUBLE_EQ(walk->mTicksPerSecond, 4800);
    ASSERT_EQ(walk->mNumChannels, 1u);
    EXPECT_STREQ(walk->mChannels[0]->mNodeName.C_Str(), "Arm");
  }
}

// Third-party files rewritten by us in each encoding load in Assimp like the originals.
TEST(XFileAssimpTest, ReadsRewrittenSamplesLikeTheOriginals) {
  REQUIRE_SAMPLES(folder);
  for (const char* name :
       {"test_cube_text.x", "test.x", "kwxport_test_cubewithvcolors.x", "anim_test.x"}) {
    SCOPED_TRACE(name);
    const std::string original_bytes = test::ReadFile(folder + name);
    AssimpScene original(original_bytes);
    ASSERT_NE(original.scene, nullptr);
    ReadResult read = Read(original_bytes);
    ASSERT_TRUE(read.ok());
    for (Encoding encoding : kEncodings) {
      SCOPED_TRACE(static_cast<int>(encoding));
      WriteOptions options;
      options.encoding = encoding;
      for (const Template* t : read.document.templates().declared()) {
        options.declare.push_back(t->name);
      }
      WriteResult w = Write(read.document, options);
      ASSERT_TRUE(w.ok()) << w.error.Describe();
      AssimpScene ours(w.bytes);
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

TEST(XFileAssimpTest, ReadsAFrameWithAnEmptyMeshAsWeWriteIt) {
  Document d;
  DataObject& frame = samples::Add(d, "Frame", "Unit");
  samples::AddIdentity(samples::Add(d, "FrameTransformMatrix", "", &frame));
  DataObject& mesh = samples::Add(d, "Mesh", "", &frame);
  mesh.AddNumber(0);
  mesh.AddNumber(0);
  DataObject& normals = samples::Add(d, "MeshNormals", "", &mesh);
  normals.AddNumber(0);
  normals.AddNumber(0);
  samples::Add(d, "MeshTextureCoords", "", &mesh).AddNumber(0);
  DataObject& list = samples::Add(d, "MeshMaterialList", "", &mesh);
  list.AddNumber(0);
  list.AddNumber(0);
  for (Encoding encoding : kEncodings) {
    WriteOptions options;
    options.encoding = encoding;
    WriteResult w = Write(d, options);
    ASSERT_TRUE(w.ok());
    ASSERT_TRUE(Read(w.bytes).ok());
    AssimpScene s(w.bytes);
    ASSERT_NE(s.scene, nullptr) << static_cast<int>(encoding) << ": " << aiGetErrorString();
    EXPECT_NE(FindNode(s.scene->mRootNode, "Unit"), nullptr);
  }
}

#endif  // VORNA_HAVE_ASSIMP

}  // namespace
}  // namespace vorna::xfile
