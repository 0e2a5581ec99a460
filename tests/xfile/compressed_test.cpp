#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/xfile/reader.h"
#include "formats/xfile/writer.h"
#include "sample_documents.h"

namespace vorna::xfile {
namespace {

std::uint16_t U16At(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(s[at]) |
                                    static_cast<std::uint8_t>(s[at + 1]) << 8);
}
std::uint32_t U32At(const std::string& s, std::size_t at) {
  return U16At(s, at) | std::uint32_t{U16At(s, at + 2)} << 16;
}
void PutU16(std::string& s, std::uint16_t v) {
  s += {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
void PutU32(std::string& s, std::uint32_t v) {
  PutU16(s, static_cast<std::uint16_t>(v));
  PutU16(s, static_cast<std::uint16_t>(v >> 16));
}

// Raw deflate of `data`, optionally with `dictionary` preset.
std::string Deflate(std::string_view data, std::string_view dictionary = {}) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  if (!dictionary.empty()) {
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary.data()),
                         static_cast<uInt>(dictionary.size()));
  }
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

// Raw inflate of one block with a fresh stream; empty on any failure.
std::string Inflate(std::string_view data, std::size_t size) {
  z_stream z{};
  inflateInit2(&z, -15);
  std::string out(size, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&z, Z_FINISH);
  inflateEnd(&z);
  return result == Z_STREAM_END && z.avail_out == 0 ? out : std::string();
}

// A mesh large enough for several blocks.
Document LargeDocument() {
  Document d;
  DataObject& mesh = samples::Add(d, "Mesh", "Large");
  const int n = 6000;
  mesh.AddNumber(n);
  for (int i = 0; i < n; ++i) {
    for (int k = 0; k < 3; ++k) mesh.AddNumber(((i * 2654435761u + k * 40503u) % 10007) / 97.0);
  }
  mesh.AddNumber(n - 2);
  for (int i = 0; i + 2 < n; ++i) {
    for (double v : {3.0, 0.0, double(i + 1), double(i + 2)}) mesh.AddNumber(v);
  }
  return d;
}

std::string WriteAs(const Document& d, Encoding encoding) {
  WriteOptions options;
  options.encoding = encoding;
  return Write(d, options).bytes;
}

// Splits a file body into blocks of at most 32 KiB, each deflated alone or with the previous
// block's output as dictionary, with the size field given.
std::string Compress(std::string_view header, std::string_view body, bool chained,
                     std::uint32_t size_field) {
  std::string file(header);
  PutU32(file, size_field);
  std::string_view previous;
  for (std::size_t pos = 0; pos < body.size(); pos += 32768) {
    std::string_view chunk = body.substr(pos, 32768);
    std::string packed = Deflate(chunk, chained ? previous : std::string_view());
    PutU16(file, static_cast<std::uint16_t>(chunk.size()));
    PutU16(file, static_cast<std::uint16_t>(packed.size() + 2));
    file += "CK" + packed;
    previous = chunk;
  }
  return file;
}

TEST(CompressedWriterTest, BlocksDecodeWithZlibAlone) {
  Document d = LargeDocument();
  const std::string plain = WriteAs(d, Encoding::kBinary);
  const std::string packed = WriteAs(d, Encoding::kCompressedBinary);
  const std::string body = plain.substr(16);
  ASSERT_GT(body.size(), 3u * 32768);
  EXPECT_EQ(packed.substr(0, 16), "xof 0303bzip0032");
  EXPECT_EQ(U32At(packed, 16), body.size() + 16);
  std::string decoded;
  std::size_t pos = 20;
  int blocks = 0;
  while (pos < packed.size()) {
    ASSERT_LE(pos + 6, packed.size());
    const std::size_t out_size = U16At(packed, pos);
    const std::size_t in_size = U16At(packed, pos + 2);
    EXPECT_EQ(packed.substr(pos + 4, 2), "CK");
    EXPECT_EQ(out_size, std::min<std::size_t>(32768, body.size() - decoded.size()));
    ASSERT_LE(pos + 4 + in_size, packed.size());
    std::string block = Inflate(std::string_view(packed).substr(pos + 6, in_size - 2), out_size);
    ASSERT_EQ(block.size(), out_size) << "block " << blocks;
    decoded += block;
    pos += 4 + in_size;
    ++blocks;
  }
  EXPECT_EQ(pos, packed.size());
  EXPECT_EQ(blocks, static_cast<int>((body.size() + 32767) / 32768));
  EXPECT_EQ(decoded, body);
}

TEST(CompressedReaderTest, CarriesTheDictionaryFromBlockToBlock) {
  Document d = LargeDocument();
  const std::string plain = WriteAs(d, Encoding::kBinary);
  const std::string body = plain.substr(16);
  const std::string chained = Compress("xof 0303bzip0032", body, true, body.size() + 16);
  // The second block really refers back: alone it does not decode.
  const std::size_t second = 20 + 4 + U16At(chained, 22);
  EXPECT_TRUE(Inflate(std::string_view(chained).substr(second + 6, U16At(chained, second + 2) - 2),
                      U16At(chained, second))
                  .empty());
  ReadResult r = Read(chained);
  ASSERT_TRUE(r.ok()) << r.error.Describe();
  ReadResult expected = Read(plain);
  EXPECT_EQ(r.document.objects()[0]->numbers(), expected.document.objects()[0]->numbers());
  EXPECT_TRUE(r.document.warnings().empty());
}

// A wrong size field and zeros after the last block (padding some writers add) each warn.
TEST(CompressedReaderTest, TrustsTheBlocksOverTheSizeField) {
  const std::string body = WriteAs(samples::SkinnedDocument(), Encoding::kBinary).substr(16);
  const std::uint32_t size = static_cast<std::uint32_t>(body.size());
  struct Case {
    std::uint32_t field;
    std::size_t zeros;
    bool warns;
  };
  for (Case c : {Case{size + 16, 0, false}, Case{size, 0, false}, Case{7, 0, true},
                 Case{size + 16, 3, true}}) {
    SCOPED_TRACE(c.field);
    ReadResult r =
        Read(Compress("xof 0303bzip0032", body, false, c.field) + std::string(c.zeros, '\0'));
    ASSERT_TRUE(r.ok()) << r.error.Describe();
    EXPECT_EQ(r.document.warnings().size(), c.warns ? 1u : 0u);
  }
}

TEST(CompressedReaderTest, BlocksThatLieFailCleanly) {
  const std::string body = WriteAs(samples::SkinnedDocument(), Encoding::kBinary).substr(16);
  const std::string good = Compress("xof 0303bzip0032", body, false, body.size() + 16);
  const std::uint16_t in_size = U16At(good, 22);
  struct Case {
    const char* what;
    std::string file;
    ErrorKind kind;
    std::uint64_t offset;
  };
  auto patched = [&](std::size_t at, std::uint16_t value) {
    std::string f = good;
    f[at] = static_cast<char>(value & 0xFF);
    f[at + 1] = static_cast<char>(value >> 8);
    return f;
  };
  std::string corrupt = good;
  for (std::size_t i = 30; i < 60; ++i) corrupt[i] = static_cast<char>(corrupt[i] ^ 0x5A);
  const Case cases[] = {
      {"more input than the file holds", patched(22, in_size + 1), ErrorKind::kCompression, 20},
      {"output larger than the data", patched(20, static_cast<std::uint16_t>(body.size() + 1)),
       ErrorKind::kCompression, 20},
      {"no CK mark", patched(24, 0x4B4B), ErrorKind::kCompression, 24},
      {"corrupt deflate data", corrupt, ErrorKind::kCompression, 20},
      {"block header cut short", good + "\x10\x00\x05", ErrorKind::kTruncated, good.size()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReadResult r = Read(c.file);
    EXPECT_EQ(r.error.kind, c.kind) << r.error.Describe();
    EXPECT_EQ(r.error.offset, c.offset) << r.error.Describe();
    EXPECT_FALSE(r.error.in_decompressed);
  }
}

TEST(CompressedReaderTest, StopsAtTheDecompressedSizeLimit) {
  const std::string packed = WriteAs(LargeDocument(), Encoding::kCompressedBinary);
  ReadOptions options;
  options.max_decompressed_size = 40000;
  ReadResult r = Read(packed, options);
  EXPECT_EQ(r.error.kind, ErrorKind::kLimit) << r.error.Describe();
  options.max_decompressed_size = 1 << 20;
  EXPECT_TRUE(Read(packed, options).ok());
}

}  // namespace
}  // namespace vorna::xfile
