// The GLB container as the glTF export writes it: the 12-byte header ("glTF", version 2, total
// length), the JSON chunk padded with spaces to a 4-byte boundary, then the BIN chunk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorna {

// `bin` must already end on a 4-byte boundary. False when the whole would not fit the 32-bit
// length of the header.
bool PackGlb(const std::string& json, const std::vector<uint8_t>& bin, std::string* out);

}  // namespace vorna
