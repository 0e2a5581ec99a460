// The glTF parser we build on, configured once for every user: it never decodes images (our own
// decoders in images/ do), never writes images, and never touches the file system itself (the
// reader hands it the one file access it allows). Include this instead of <tiny_gltf.h>.
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS
#define TINYGLTF_NO_INCLUDE_STB_IMAGE
#define TINYGLTF_NO_INCLUDE_STB_IMAGE_WRITE
#include <tiny_gltf.h>
