// Whole-model edits: size and position, rotation, face winding and corner order, normals and
// triangulation. The wait cursor is shown around the long ones. None of them redraws; the caller
// refreshes the view, the current Motion's thumbnail and the Motion strip as the command needs.
#pragma once

#include <functional>

#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Every vertex position p becomes (p + move) * scale per component (normals unchanged); boxes
// and centres are recomputed; every Unit's basis_position b becomes (b + move) * scale and every
// Motion's translation is multiplied by scale (not moved); `modified` is set. Then
// `scale_markers`, when given, receives the new model size: the renderer multiplies the vertices
// of its unit-marker meshes by it, so markers grow with every application (a scale of 1 on a
// model of size 2 doubles them again).
void ApplySizeAndPosition(Model& model, Vec3 move, Vec3 scale,
                          const std::function<void(double model_size)>& scale_markers = {});

// A load offers the fit to the window to a model whose size (ModelSize) is above 1.7.
bool OffersFit(const Model& model);
// The fit to the window: centred at the origin with its largest extent 1.2 (size 1).
void FitToWindow(Model& model, const std::function<void(double model_size)>& scale_markers = {});

// Turns every vertex position and normal by RotationXYZ(x, y, z) (whole degrees).
void RotateModelVertices(Model& model, int x_degrees, int y_degrees, int z_degrees);
// Turns every Unit's axis and basis_position by RotationXYZ(x, y, z). axis_angle and the Motions
// stay as they are, so the next axis derivation brings the old axis back.
void RotateModelUnits(Model& model, int x_degrees, int y_degrees, int z_degrees);

// Reverses every face's winding ((a, b, c) -> (a, c, b); (a, b, c, d) -> (a, d, c, b)) and
// recomputes the normals. Applied twice it gives back the faces.
void FlipCulling(Model& model, Host& host);
// Recomputes every vertex normal; the faces stay as they are.
void RecomputeNormals(Model& model, Host& host);
// Replaces every quad by two triangles for good and sets all_triangles; normals are kept.
void ConvertToTriangles(Model& model, Host& host);
// Rotates every face's corners by one place: (a, b, c) -> (c, a, b), (a, b, c, d) -> (d, a, b, c).
// The winding stays; for a quad the splitting diagonal moves.
void ShiftFaceCorners(Model& model);

}  // namespace vorna
