// Merging the vertices of a mesh that are the same vertex: the import library hands many files
// (OBJ, SMD, STL) with every triangle corner as a vertex of its own, which would make a model
// three times the size it is, shaded flat where normals are computed.
#pragma once

#include "animation/skeleton_scene.h"

namespace vorna {

// Merges the vertices of `mesh` whose position, normal, texture coordinates and skin
// influences (bone and weight, in order) are bit for bit the same, keeping the first of each
// and the order of the kept ones, and points the triangles at them. Expects the lists of a
// consistent mesh (normals and uvs empty or one per position, influence_start one more than the
// positions when the mesh has bones). Linear in the vertices on average.
void WeldVertices(SceneMesh& mesh);

}  // namespace vorna
