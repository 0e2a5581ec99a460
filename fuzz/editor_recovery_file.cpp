// Feeds arbitrary bytes to the recovery copy's reader. Whatever it accepts must be a consistent
// Model, and its copy must read back to the same copy.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "editor/recovery_file.h"
#include "model/model_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto model = std::make_unique<vorna::Model>();
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  vorna::RecoveryHeader header;
  vorna::DecodeRecoveryHeader(bytes, &header);
  if (vorna::DecodeRecoveryCopy(bytes, *model, &header, nullptr)) {
    if (!vorna::CheckModel(*model, nullptr)) __builtin_trap();
    const std::string copy = vorna::EncodeRecoveryCopy(*model, header.written_at);
    static auto again = std::make_unique<vorna::Model>();
    if (!vorna::DecodeRecoveryCopy(copy, *again, nullptr, nullptr) ||
        vorna::EncodeRecoveryCopy(*again, header.written_at) != copy) {
      __builtin_trap();
    }
  } else if (model->parts_count != 0 || !model->positions.empty()) {
    __builtin_trap();
  }
  return 0;
}
