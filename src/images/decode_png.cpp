// PNG through libpng. libpng reports errors by longjmp, so every call that may fail runs in a
// small function that sets the jump buffer and holds no C++ objects: a jump never skips a
// destructor. Allocation happens between those calls, in ordinary C++.

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "images/decode.h"
#include "images/decoders.h"

namespace vorna::image_internal {

namespace {

// Deflate expands at most 1032 to 1; anything claiming more is truncated or hostile.
constexpr uint64_t kMaxDeflateRatio = 1032;

struct PngSource {
  const uint8_t* data;
  size_t size;
  size_t offset;
};

struct PngHeader {
  png_uint_32 width;
  png_uint_32 height;
  size_t raw_row_bytes;  // one stored row before any transformation
  size_t row_bytes;      // one row as delivered, RGBA8
};

void ReadFromSource(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (length > source->size - source->offset) png_error(png, "truncated");
  std::memcpy(out, source->data + source->offset, length);
  source->offset += length;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }

void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Reads the header and asks for RGBA8 whatever the stored layout: palettes and low bit depths
// expanded, transparency chunks turned into alpha, 16-bit samples rounded to 8, grey copied
// into the three colour channels, opaque alpha added where there is none.
bool ReadPngHeader(png_structp png, png_infop info, PngHeader* header) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);
  header->raw_row_bytes = png_get_rowbytes(png, info);
  png_set_expand(png);
  png_set_scale_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  header->row_bytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadPngRows(png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, info);
  return true;
}

class PngReader {
 public:
  PngReader() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngReader() { png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

}  // namespace

bool DecodePng(std::span<const uint8_t> bytes, Image* out) {
  PngReader reader;
  if (reader.png() == nullptr || reader.info() == nullptr) return false;
  png_structp png = reader.png();
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  // Ancillary chunks (text, profiles) are not used; keep a hostile file from making libpng
  // hold many or large ones.
  png_set_chunk_cache_max(png, 64);
  png_set_chunk_malloc_max(png, 1 << 20);
  PngSource source{bytes.data(), bytes.size(), 0};
  png_set_read_fn(png, &source, ReadFromSource);

  PngHeader header{};
  if (!ReadPngHeader(png, reader.info(), &header)) return false;
  if (!WithinImageLimits(header.width, header.height) || header.row_bytes != header.width * 4) {
    return false;
  }
  const uint64_t stored_bytes = static_cast<uint64_t>(header.raw_row_bytes + 1) * header.height;
  if (stored_bytes > kMaxDeflateRatio * bytes.size()) return false;

  AllocateImage(static_cast<int>(header.width), static_cast<int>(header.height), out);
  std::vector<png_bytep> rows(header.height);
  for (png_uint_32 y = 0; y < header.height; ++y) rows[y] = out->Pixel(0, static_cast<int>(y));
  return ReadPngRows(png, reader.info(), rows.data());
}

}  // namespace vorna::image_internal
