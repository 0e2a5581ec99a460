#include "formats/vr2_text.h"

#include "formats/tagged_text.h"

namespace vorna {

bool ReadVr2Text(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                 ReadError* error) {
  return ReadTaggedText(model, path, TextVariant::kVr2, options, host, error);
}

bool WriteVr2Text(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                  WriteError* error) {
  return WriteTaggedText(model, path, options, TextVariant::kVr2, host, error);
}

}  // namespace vorna
