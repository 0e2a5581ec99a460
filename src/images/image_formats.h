// Every image file format the program reads or writes, in one table: how a file of the format is
// recognised by its content and decoded, how an image is encoded to it, its file name extensions,
// its MIME type and the label the file dialogs show for it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "images/image.h"

namespace vorna {

enum class ImageFormat { kUnknown, kBmp, kDds, kDib, kGif, kJpeg, kPng, kTga, kTiff };

struct ImageFormatRow {
  ImageFormat format;
  std::string_view mime_type;     // "image/png"
  std::string_view dialog_label;  // "PNGファイル (*.png)"
  // Lower case, with the dot. `extension` is the one a name typed without one gets and the one
  // the dialogs list; `other_extension` (or "") is taken for the format in a name too.
  std::string_view extension;
  std::string_view other_extension;
  // Whether untrusted `bytes` start like a file of this format; null when it is not read.
  bool (*recognise)(std::span<const uint8_t> bytes);
  // Decodes untrusted `bytes` (see DecodeImage); null when the format is not read.
  bool (*decode)(std::span<const uint8_t> bytes, Image* out);
  // Replaces `out` with the encoded file (see encode.h); null when the format is not written.
  bool (*encode)(const Image& image, std::vector<uint8_t>* out);
};

// Every row, in the order of the formats' names: the order in which the image export lists the
// formats it writes and the texture dialog the extensions it reads, and the order in which
// content is recognised (TGA, which has no signature, comes after every format that has one).
std::span<const ImageFormatRow> ImageFormatRows();

// The row of `format`, which is not kUnknown.
const ImageFormatRow& ImageFormatRowOf(ImageFormat format);

// The first row, in table order, that recognises `bytes`; null when none does.
const ImageFormatRow* ImageFormatRowOfBytes(std::span<const uint8_t> bytes);

// The row whose extension, or other extension, the file name of `path` ends in (case ignored);
// null when none has it.
const ImageFormatRow* ImageFormatRowForName(std::string_view path);

}  // namespace vorna
