// The seed corpora of the .x fuzz targets are files our writer makes from the sample documents,
// plus one hand-written text file with the quirks of real exporters (fuzz/corpus/xfile_text/
// quirks_txt.x: comments, CRLF, missing and doubled separators, old NaN spellings, an unknown
// template, zeros after the end). Setting VORNA_WRITE_XFILE_SEEDS to the repository's
// fuzz/corpus folder rewrites the written ones.
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

// The written samples are read back by the round-trip tests; the quirky seed must read too.
TEST(FuzzSeedsTest, QuirkySeedReadsAndSeedsAreWrittenOnRequest) {
  ReadResult r =
      Read(::vorna::test::ReadFile(VORNA_SOURCE_DIR "/fuzz/corpus/xfile_text/quirks_txt.x"));
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  EXPECT_EQ(r.document.objects().size(), 2u);
  const char* folder = std::getenv("VORNA_WRITE_XFILE_SEEDS");
  if (folder == nullptr) return;
  for (const samples::EncodedSample& seed : samples::EncodedSamples()) {
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
