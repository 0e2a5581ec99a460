// Writes the sample model through our own writer: make_sample OUT.vrn
#include <cstdio>
#include <memory>

#include "formats/vrn_text.h"
#include "model/host.h"
#include "samples/generator/walker_model.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("Usage: vorna-make-sample OUT.vrn\n", stderr);
    return 2;
  }
  auto model = std::make_unique<vorna::Model>();
  vorna::BuildWalkerModel(*model);
  vorna::StderrHost host;
  return vorna::WriteVrnText(*model, argv[1], vorna::SaveOptions{}, host) ? 0 : 1;
}
