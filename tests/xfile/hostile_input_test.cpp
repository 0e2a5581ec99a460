// Inputs written to break a reader: each must end in a clean failure or a bounded success,
// quickly and without touching memory it does not own (the sanitizer build checks the latter).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "formats/xfile/reader.h"

namespace vorna::xfile {
namespace {

std::string Text(const std::string& body) { return "xof 0303txt 0032\n" + body; }

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(HostileInputTest, CountsAndSizesBeyondTheDataFailCleanly) {
  struct Case {
    const char* what;
    std::string file;
    ErrorKind kind;
  };
  const Case cases[] = {
      {"declared array of 1.6e19 values",
       Text("template Huge { <00000000-0000-0000-0000-000000000001> "
            "array FLOAT a[4000000000][4000000000]; } Huge { 1; }"),
       ErrorKind::kBadData},
      {"binary list of 4 billion floats",
       std::string("xof 0303bin 0032\x01\x00\x06\x00\x00\x00Vector\x0a\x00\x07\x00\xff\xff\xff\xff",
                   36),
       ErrorKind::kTruncated},
      {"objects nested 600 deep", Text(Repeat("Frame {", 600) + Repeat("}", 600)),
       ErrorKind::kLimit},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read(c.file);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_LE(r.error.offset, c.file.size());
  }
}

}  // namespace
}  // namespace vorna::xfile
