// The .x codec against files and readers nobody here wrote: third-party sample files (read in
// place when the folder is configured) and Assimp reading our output in every encoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../xfile/sample_documents.h"
#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "interop/interop_support.h"
#include "support/test_support.h"

namespace vorna::xfile {
namespace {

#define REQUIRE_SAMPLES(folder)                                                   \
  const std::string folder = test::XSampleFolder();                               \
  if (folder.empty()) {                                                           \
    GTEST_SKIP() << "third-party .x samples not configured (VORNA_TESTDATA_DIR)"; \
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

// Assimp reading bytes we wrote.
struct AssimpScene : test::AssimpScene {
  explicit AssimpScene(const std::string& bytes) : test::AssimpScene(bytes, true) {}
};
using test::FindNode;

const Encoding kEncodings[] = {Encoding::kText, Encoding::kBinary, Encoding::kCompressedBinary};

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

#endif  // VORNA_HAVE_ASSIMP

}  // namespace
}  // namespace vorna::xfile
