// The parser's one implementation unit. Its writer half needs <fstream> even without file
// system access.
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include "support/gltf_tinygltf.h"
