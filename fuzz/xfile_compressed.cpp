// Fuzzes the .x reader on the compressed path (compressed binary, or compressed text
// when the input says so).
#include "xfile_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorna::xfile::fuzz::Run(data, size, "bzip", "tzip");
}
