// The seed corpora of the .x fuzz targets are files our writer makes from the sample documents,
// plus one hand-written text file with the quirks of real exporters. Setting
// VORNA_WRITE_XFILE_SEEDS to the repository's fuzz/corpus folder rewrites them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "sample_documents.h"
#include "support/test_support.h"

namespace vorna::xfile {
namespace {

constexpr const char* kQuirkyText =
    "xof 0302txt 0064\r\n"
    "// comments, CRLF, missing and doubled separators, old NaN spellings\r\n"
    "template Extra { <00000000-0000-0000-0000-000000000001> DWORD n; array FLOAT v[n][2]; }\r\n"
    "Material Mat1 { 1;0;0;1;; 5.0 0.5,0.5,0.5;;; -1.#IND00;1.#QNAN0;+1e-2;;\r\n"
    " TextureFileName { \"C:\\\\art\\\\skin.tga\"; } }\r\n"
    "Frame f-1.L { # hash comment\r\n"
    " FrameTransformMatrix { 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }\r\n"
    " Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\r\n"
    "  MeshMaterialList { 1; 1; 0;; { mat1 } }\r\n"
    "  Extra { 2; 1.5, 2.5 3.5; 4.5;; }\r\n"
    "  Unknown { 1; { nested } \"}\" }\r\n"
    " }\r\n"
    "}\r\n\0\0";

struct Seed {
  const char* corpus;
  std::string name;
  std::string bytes;
};

std::vector<Seed> MakeSeeds() {
  std::vector<Seed> seeds;
  struct Source {
    const char* name;
    Document document;
    std::vector<std::string> declare;
  };
  Source sources[] = {{"skinned", samples::SkinnedDocument(), samples::SkinnedTemplates()},
                      {"custom", samples::CustomDocument(), samples::CustomTemplates()}};
  struct Kind {
    const char* corpus;
    const char* suffix;
    Encoding encoding;
  };
  const Kind kinds[] = {{"xfile_text", "txt", Encoding::kText},
                        {"xfile_binary", "bin", Encoding::kBinary},
                        {"xfile_compressed", "bzip", Encoding::kCompressedBinary},
                        {"xfile_compressed", "tzip", Encoding::kCompressedText}};
  for (Source& s : sources) {
    for (const Kind& k : kinds) {
      WriteOptions options;
      options.encoding = k.encoding;
      options.declare = s.declare;
      WriteResult w = Write(s.document, options);
      EXPECT_TRUE(w.ok()) << w.error.Describe();
      seeds.push_back({k.corpus, std::string(s.name) + "_" + k.suffix + ".x", w.bytes});
    }
  }
  seeds.push_back({"xfile_text", "quirks_txt.x",
                   std::string(kQuirkyText, std::char_traits<char>::length(kQuirkyText) + 2)});
  return seeds;
}

TEST(FuzzSeedsTest, EverySeedReads) {
  for (const Seed& seed : MakeSeeds()) {
    SCOPED_TRACE(seed.name);
    ReadResult r = Read(seed.bytes);
    EXPECT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_FALSE(r.document.objects().empty());
  }
  const char* folder = std::getenv("VORNA_WRITE_XFILE_SEEDS");
  if (folder == nullptr) return;
  for (const Seed& seed : MakeSeeds()) {
    std::filesystem::create_directories(std::filesystem::path(folder) / seed.corpus);
    ::vorna::test::WriteFile((std::filesystem::path(folder) / seed.corpus / seed.name).string(),
                             seed.bytes);
  }
}

}  // namespace
}  // namespace vorna::xfile
