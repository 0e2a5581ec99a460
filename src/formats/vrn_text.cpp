#include "formats/vrn_text.h"

#include "formats/tagged_text.h"

namespace vorna {

bool ReadVrnText(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                 ReadError* error) {
  return ReadTaggedText(model, path, TextVariant::kVrn, options, host, error);
}

bool WriteVrnText(Model& model, const std::string& path, const SaveOptions& options, Host& host,
                  WriteError* error) {
  return WriteTaggedText(model, path, options, TextVariant::kVrn, host, error);
}

}  // namespace vorna
