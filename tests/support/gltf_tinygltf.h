// A second, independent glTF parser for tests that check what our export wrote: configured
// never to decode or write images and never to touch the file system. Include this instead of
// <tiny_gltf.h>; the formats and interop tests compile its implementation once.
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
