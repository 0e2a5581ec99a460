// Fuzzes the .x reader on the binary path (the encoding field of the header is forced).
#include "xfile_common.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vorna::xfile::fuzz::Run(data, size, "bin ");
}
