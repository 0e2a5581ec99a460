#include "images/image_formats.h"

#include <array>
#include <cassert>
#include <cstring>

#include "images/decoders.h"
#include "images/encode.h"
#include "io/path_parts.h"

namespace vorna {

namespace {

template <size_t N>
bool StartsWith(std::span<const uint8_t> bytes, const char (&magic)[N]) {
  // N counts the literal's terminating zero, which is no part of the signature.
  return bytes.size() >= N - 1 && std::memcmp(bytes.data(), magic, N - 1) == 0;
}

bool IsBmp(std::span<const uint8_t> bytes) { return StartsWith(bytes, "BM"); }
bool IsDds(std::span<const uint8_t> bytes) { return StartsWith(bytes, "DDS "); }
bool IsJpeg(std::span<const uint8_t> bytes) { return StartsWith(bytes, "\xff\xd8\xff"); }
bool IsPng(std::span<const uint8_t> bytes) { return StartsWith(bytes, "\x89PNG\r\n\x1a\n"); }

using image_internal::DecodeBmp;
using image_internal::DecodeDds;
using image_internal::DecodeJpeg;
using image_internal::DecodePng;
using image_internal::DecodeTga;
using image_internal::LooksLikePackedDib;
using image_internal::LooksLikeTga;

// A DIB is a bitmap without its file header: BMP's decoder reads both.
constexpr std::array<ImageFormatRow, 8> kRows = {{
    {ImageFormat::kBmp, "image/bmp", "BMPファイル (*.bmp)", ".bmp", "", IsBmp, DecodeBmp,
     EncodeBmp},
    {ImageFormat::kDds, "image/vnd-ms.dds", "DDSファイル (*.dds)", ".dds", "", IsDds, DecodeDds,
     nullptr},
    {ImageFormat::kDib, "image/bmp", "DIBファイル (*.dib)", ".dib", "", LooksLikePackedDib,
     DecodeBmp, nullptr},
    {ImageFormat::kGif, "image/gif", "GIFファイル (*.gif)", ".gif", "", nullptr, nullptr,
     EncodeGif},
    {ImageFormat::kJpeg, "image/jpeg", "JPEGファイル (*.jpg)", ".jpg", ".jpeg", IsJpeg, DecodeJpeg,
     EncodeJpeg},
    {ImageFormat::kPng, "image/png", "PNGファイル (*.png)", ".png", "", IsPng, DecodePng,
     EncodePng},
    {ImageFormat::kTga, "image/x-tga", "TGAファイル (*.tga)", ".tga", "", LooksLikeTga, DecodeTga,
     nullptr},
    {ImageFormat::kTiff, "image/tiff", "TIFFファイル (*.tif)", ".tif", ".tiff", nullptr, nullptr,
     EncodeTiff},
}};

bool SameExtension(std::string_view name_extension, std::string_view extension) {
  if (extension.empty() || name_extension.size() != extension.size()) return false;
  for (size_t i = 0; i < extension.size(); ++i) {
    const char c = name_extension[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != extension[i]) return false;
  }
  return true;
}

}  // namespace

std::span<const ImageFormatRow> ImageFormatRows() { return kRows; }

const ImageFormatRow& ImageFormatRowOf(ImageFormat format) {
  assert(format != ImageFormat::kUnknown);
  for (const ImageFormatRow& row : kRows) {
    if (row.format == format) return row;
  }
  return kRows.front();
}

const ImageFormatRow* ImageFormatRowOfBytes(std::span<const uint8_t> bytes) {
  for (const ImageFormatRow& row : kRows) {
    if (row.recognise != nullptr && row.recognise(bytes)) return &row;
  }
  return nullptr;
}

const ImageFormatRow* ImageFormatRowForName(std::string_view path) {
  const std::string_view extension = SplitPath(path).extension;
  for (const ImageFormatRow& row : kRows) {
    if (SameExtension(extension, row.extension) || SameExtension(extension, row.other_extension)) {
      return &row;
    }
  }
  return nullptr;
}

}  // namespace vorna
