#include "formats/vr2_binary.h"

#include "formats/vrn_binary.h"

namespace vorna {

bool ReadVr2Binary(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                   ReadError* error) {
  return ReadKeyedBinary(model, path, BinaryVariant::kVr2, options, host, error);
}

bool WriteVr2Binary(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                    WriteError* error) {
  return WriteKeyedBinary(model, path, options, BinaryVariant::kVr2, host, error);
}

}  // namespace vorna
