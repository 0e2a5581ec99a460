#include "formats/glb_container.h"

#include "io/little_endian.h"

namespace vorna {

bool PackGlb(const std::string& json, const std::vector<uint8_t>& bin, std::string* out) {
  const size_t json_length = (json.size() + 3) / 4 * 4;
  const size_t total = 12 + 8 + json_length + 8 + bin.size();
  if (total > UINT32_MAX) return false;
  out->reserve(total);
  AppendU32(*out, 0x46546C67u);  // "glTF"
  AppendU32(*out, 2);
  AppendU32(*out, static_cast<uint32_t>(total));
  AppendU32(*out, static_cast<uint32_t>(json_length));
  AppendU32(*out, 0x4E4F534Au);  // "JSON"
  *out += json;
  out->append(json_length - json.size(), ' ');
  AppendU32(*out, static_cast<uint32_t>(bin.size()));
  AppendU32(*out, 0x004E4942u);  // "BIN\0"
  out->append(reinterpret_cast<const char*>(bin.data()), bin.size());
  return true;
}

}  // namespace vorna
