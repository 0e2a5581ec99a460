// The compressed encodings ("tzip", "bzip"): after the 16-byte header, a DWORD with the size of
// the whole decompressed file, then blocks of at most 32 KiB of output, each a WORD output size,
// a WORD input size (counting the two "CK" bytes), "CK" and a complete raw deflate stream. A
// block may copy from the previous block's output.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/xfile/errors.h"

namespace vorna::xfile {

inline constexpr std::size_t kMaxBlockOutput = 32768;

// Decodes the blocks of a compressed file (`file` is the whole file, header included). On
// success `out` holds the file's 16-byte header followed by the decompressed body; offsets in
// errors count bytes of `file`. Refuses to produce more than `max_size` bytes.
// Untrusted input: every size is checked before use.
Error InflateBlocks(std::span<const std::uint8_t> file, std::uint64_t max_size,
                    std::vector<std::uint8_t>& out, WarningList& warnings);

// Appends the size DWORD and the blocks for `body` (the file without its 16-byte header) to
// `out`. Each block is compressed on its own, so that readers that do not carry the previous
// block's output over decode it too. `level` is zlib's (-1: its default).
Error DeflateBlocks(std::string_view body, int level, std::string& out);

}  // namespace vorna::xfile
