#include "cli/import_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "animation/skeleton_import.h"

namespace vorna {

const char* const kImportOptionsHelp =
    "  --skeleton          read skeletons, skins and animations as Units, blend weights,\n"
    "                      Motions and Anims (the default for glTF; .x files are read as\n"
    "                      meshes unless this is given)\n"
    "  --no-skeleton       read the meshes only\n"
    "  --import-interval SECONDS\n"
    "                      seconds between the Motions taken from other tools' animations,\n"
    "                      0.001 to 60 (default 0.1)\n";

bool TakeImportOption(const std::vector<std::string>& args, size_t& i, ReadOptions& options,
                      std::string* problem) {
  const std::string& a = args[i];
  if (a == "--skeleton" || a == "--no-skeleton") {
    options.skeleton = a == "--skeleton";
    return true;
  }
  if (a != "--import-interval") return false;
  double value = 0.0;
  const std::string text = i + 1 < args.size() ? args[++i] : "";
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() ||
      !(value >= kMinImportInterval && value <= kMaxImportInterval)) {
    char range[96];
    std::snprintf(range, sizeof range, "--import-interval needs seconds from %g to %g",
                  kMinImportInterval, kMaxImportInterval);
    *problem = range;
    return true;
  }
  options.import_interval = value;
  return true;
}

}  // namespace vorna
