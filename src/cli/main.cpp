#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/render_command.h"
#include "cli/thumbnail_command.h"

namespace {

constexpr const char* kUsage =
    "Usage: vorna-cli COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  info [--json] FILE        summary of a model file\n"
    "  convert IN OUT [OPTIONS]  read a model and write it in another format\n"
    "  convert --to FORMAT --out-dir DIR [OPTIONS] FILE...\n"
    "                            convert many files, in parallel\n"
    "  render IN OUT [OPTIONS]   draw a model as the editor shows it, to an image file\n"
    "                            (or an animated GIF of an Anim or a turntable)\n"
    "  thumbnail [--size N] IN OUT.png\n"
    "                            the model's picture for file managers\n"
    "\n"
    "Run 'vorna-cli COMMAND --help' for a command's options.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return vorna::kExitUsage;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return vorna::kExitOk;
  }
  if (command == "--version") {
    std::printf("vorna-cli %s\n", VORNA_VERSION);
    return vorna::kExitOk;
  }
  if (command == "info") return vorna::RunInfo(args);
  if (command == "convert") return vorna::RunConvert(args);
  if (command == "render") return vorna::RunRender(args);
  if (command == "thumbnail") return vorna::RunThumbnail(args);
  std::fprintf(stderr, "vorna-cli: unknown command '%s'\n\n%s", command.c_str(), kUsage);
  return vorna::kExitUsage;
}
