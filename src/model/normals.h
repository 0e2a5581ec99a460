// Vertex normals and triangulation.
#pragma once

#include "model/model.h"

namespace vorna {

// Recomputes the normal of every vertex of every Part from that Part's triangles (a quad counts as
// its fan (a, b, c), (a, c, d)): the sum, over the triangles that use the vertex, of the unit face
// normal (p1 - p0) x (p2 - p0) weighted by the triangle's angle at the vertex, made unit length.
// A triangle that names a vertex at several corners counts once, at the first of them. Vertices
// are joined only through shared indices; a vertex used by no triangle, or whose sum is zero, gets
// (0, 0, 0). Triangles with an index outside their Part, and corners whose edges have zero length,
// contribute nothing, so every normal stays finite. Faces are not changed.
// Cost: one pass over the faces and one over the vertices.
void ComputeNormals(Model& model);

// With keep_triangles, replaces every quad (a, b, c, d) by (a, b, c) and (a, c, d) for good and
// renumbers every Part's first_face and total_face_count; normals are not recomputed and
// all_triangles is left to the caller. Without it, recomputes every normal and leaves the faces
// exactly as they were. Faces outside every Part's range are dropped by the triangulation.
void RebuildFaces(Model& model, bool keep_triangles);

}  // namespace vorna
