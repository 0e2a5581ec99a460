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

// The written samples are read back by the round-trip tests; the quirky seed must read too.
TEST(FuzzSeedsTest, QuirkySeedReadsAndSeedsAreWrittenOnRequest) {
  const std::string quirky(kQuirkyText, std::char_traits<char>::length(kQuirkyText) + 2);
  ReadResult r = Read(quirky);
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  EXPECT_EQ(r.document.objects().size(), 2u);
  const char* folder = std::getenv("VORNA_WRITE_XFILE_SEEDS");
  if (folder == nullptr) return;
  std::vector<samples::EncodedSample> seeds = samples::EncodedSamples();
  seeds.push_back({"quirks_txt", Encoding::kText, quirky});
  for (const samples::EncodedSample& seed : seeds) {
    const char* corpus = seed.encoding == Encoding::kText     ? "xfile_text"
                         : seed.encoding == Encoding::kBinary ? "xfile_binary"
                                                              : "xfile_compressed";
    std::filesystem::create_directories(std::filesystem::path(folder) / corpus);
    ::vorna::test::WriteFile((std::filesystem::path(folder) / corpus / (seed.name + ".x")).string(),
                             seed.bytes);
  }
}

}  // namespace
}  // namespace vorna::xfile
