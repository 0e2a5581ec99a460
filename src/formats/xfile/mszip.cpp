#include "formats/xfile/mszip.h"

#include <zlib.h>

#include <algorithm>

#include "io/little_endian.h"

namespace vorna::xfile {
namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kBlockHeaderSize = 6;  // U, C, "CK"

Error Fail(ErrorKind kind, std::string text, std::uint64_t offset) {
  Error e;
  e.kind = kind;
  e.message = std::move(text);
  e.offset = offset;
  return e;
}

// Owns a zlib stream for one call.
class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit2(&z_, -15) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&z_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

class DeflateStream {
 public:
  explicit DeflateStream(int level) {
    ok_ = deflateInit2(&z_, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~DeflateStream() {
    if (ok_) deflateEnd(&z_);
  }
  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream& z() { return z_; }

 private:
  z_stream z_{};
  bool ok_ = false;
};

}  // namespace

Error InflateBlocks(std::span<const std::uint8_t> file, std::uint64_t max_size,
                    std::vector<std::uint8_t>& out, WarningList& warnings) {
  if (file.size() < kHeaderSize + 4) {
    return Fail(ErrorKind::kTruncated, "the compressed file has no size field", file.size());
  }
  const std::uint64_t declared = LoadU32(file.data() + kHeaderSize);
  out.assign(file.begin(), file.begin() + kHeaderSize);
  // Reserve what the blocks can possibly produce, never more than the declared size or the
  // limit: the declared size is only a hint.
  const std::uint64_t possible = (file.size() - kHeaderSize - 4) / kBlockHeaderSize * 65535;
  out.reserve(static_cast<std::size_t>(
      std::min({declared, possible, max_size, std::uint64_t{64} << 20}) + kHeaderSize));

  InflateStream stream;
  if (!stream.ok()) return Fail(ErrorKind::kOutOfMemory, "zlib could not start", 0);
  z_stream& z = stream.z();
  std::size_t pos = kHeaderSize + 4;
  std::size_t previous_begin = 0;  // the previous block's output, the next block's dictionary
  std::size_t previous_size = 0;
  int block = 0;
  while (pos < file.size()) {
    const std::size_t left = file.size() - pos;
    if (left < kBlockHeaderSize) {
      bool zeros = std::all_of(file.begin() + static_cast<std::ptrdiff_t>(pos), file.end(),
                               [](std::uint8_t b) { return b == 0; });
      if (zeros) {
        warnings.Add("zero bytes after the last compressed block", pos);
        break;
      }
      return Fail(ErrorKind::kTruncated, "the file ends inside a block header", pos);
    }
    const std::size_t out_size = LoadU16(file.data() + pos);
    const std::size_t in_size = LoadU16(file.data() + pos + 2);
    if (in_size < 2 || in_size > left - 4) {
      return Fail(ErrorKind::kCompression,
                  "block " + std::to_string(block) + " claims " + std::to_string(in_size) +
                      " bytes, " + std::to_string(left - 4) + " are left",
                  pos);
    }
    if (file[pos + 4] != 'C' || file[pos + 5] != 'K') {
      return Fail(ErrorKind::kCompression, "block " + std::to_string(block) + " lacks its CK mark",
                  pos + 4);
    }
    if (out.size() - kHeaderSize + out_size > max_size) {
      return Fail(ErrorKind::kLimit,
                  "the decompressed file would exceed " + std::to_string(max_size) + " bytes", pos);
    }
    const std::size_t begin = out.size();
    out.resize(begin + out_size);
    if (inflateReset(&z) != Z_OK) return Fail(ErrorKind::kCompression, "zlib reset failed", pos);
    if (previous_size > 0) {
      const std::size_t dict = std::min(previous_size, kMaxBlockOutput);
      if (inflateSetDictionary(&z, out.data() + previous_begin + previous_size - dict,
                               static_cast<uInt>(dict)) != Z_OK) {
        return Fail(ErrorKind::kCompression, "zlib refused the previous block as dictionary", pos);
      }
    }
    z.next_in = const_cast<Bytef*>(file.data() + pos + kBlockHeaderSize);
    z.avail_in = static_cast<uInt>(in_size - 2);
    z.next_out = out.data() + begin;
    z.avail_out = static_cast<uInt>(out_size);
    int result = inflate(&z, Z_FINISH);
    if (result != Z_STREAM_END || z.avail_out != 0) {
      std::string why = result == Z_STREAM_END   ? "decodes to fewer bytes than it claims"
                        : result == Z_DATA_ERROR ? "is not valid deflate data"
                                                 : "decodes to more bytes than it claims";
      return Fail(ErrorKind::kCompression, "block " + std::to_string(block) + " " + why, pos);
    }
    previous_begin = begin;
    previous_size = out_size;
    pos += 4 + in_size;
    ++block;
  }
  const std::uint64_t body = out.size() - kHeaderSize;
  // Some writers store the size without the 16 header bytes; the blocks are what counts.
  if (declared != body + kHeaderSize && declared != body) {
    warnings.Add("the compressed file's size field (" + std::to_string(declared) +
                     ") does not match its blocks (" + std::to_string(body + kHeaderSize) + ")",
                 kHeaderSize);
  }
  return {};
}

Error DeflateBlocks(std::string_view body, int level, std::string& out) {
  if (body.size() > UINT32_MAX - kHeaderSize) {
    return Fail(ErrorKind::kLimit, "the file is too large for the compressed encoding", 0);
  }
  AppendU32(out, static_cast<std::uint32_t>(body.size() + kHeaderSize));
  DeflateStream stream(level);
  if (!stream.ok()) return Fail(ErrorKind::kOutOfMemory, "zlib could not start", 0);
  z_stream& z = stream.z();
  std::string block;
  for (std::size_t pos = 0; pos < body.size(); pos += kMaxBlockOutput) {
    const std::size_t chunk = std::min(kMaxBlockOutput, body.size() - pos);
    if (deflateReset(&z) != Z_OK) return Fail(ErrorKind::kCompression, "zlib reset failed", pos);
    block.resize(deflateBound(&z, static_cast<uLong>(chunk)));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data() + pos));
    z.avail_in = static_cast<uInt>(chunk);
    z.next_out = reinterpret_cast<Bytef*>(block.data());
    z.avail_out = static_cast<uInt>(block.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) {
      return Fail(ErrorKind::kCompression, "zlib could not compress a block", pos);
    }
    const std::size_t packed = block.size() - z.avail_out;
    if (packed + 2 > 0xFFFF) return Fail(ErrorKind::kCompression, "a block grew too large", pos);
    AppendU16(out, static_cast<std::uint16_t>(chunk));
    AppendU16(out, static_cast<std::uint16_t>(packed + 2));
    out += "CK";
    out.append(block.data(), packed);
  }
  return {};
}

}  // namespace vorna::xfile
