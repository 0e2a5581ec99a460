// Writes a sample model through our own writers: vorna-make-sample walker|character OUT.vrn.
// The character's texture image goes next to OUT, under the name the model gives it.
#include <cstdio>
#include <memory>
#include <string>

#include "formats/vrn_text.h"
#include "images/encode.h"
#include "io/path_parts.h"
#include "model/host.h"
#include "samples/generator/character_model.h"
#include "samples/generator/walker_model.h"

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[1] : "";
  if (kind != "walker" && kind != "character") {
    std::fputs("Usage: vorna-make-sample walker|character OUT.vrn\n", stderr);
    return 2;
  }
  const std::string out = argv[2];
  auto model = std::make_unique<vorna::Model>();
  if (kind == "walker") {
    vorna::BuildWalkerModel(*model);
  } else {
    vorna::BuildCharacterModel(*model);
    const std::string texture = vorna::DirectoryOf(out) + vorna::kCharacterTextureFile;
    if (!vorna::SaveImageFile(vorna::PaintCharacterTexture(), vorna::ImageFormat::kPng, texture)) {
      std::fprintf(stderr, "Cannot write %s\n", texture.c_str());
      return 1;
    }
  }
  vorna::StderrHost host;
  return vorna::WriteVrnText(*model, out, vorna::SaveOptions{}, host) ? 0 : 1;
}
