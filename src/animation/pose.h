// Pose evaluation: turning one Motion into the matrices that carry every Part's rest-pose vertices
// into the posed model, deriving tilt axes, and the per-vertex blend weights near a joint.
//
// Matrices are row-vector matrices (p' = p * M; in A * B, A applies first). RotationXYZ is in
// maths/matrix.h.
#pragma once

#include "maths/matrix.h"
#include "model/model.h"

namespace vorna {

// The local transform of Unit `unit` in Motion `motion`: T(-pivot) * S(scale) * R * T(pivot +
// translation), so scaling and rotation happen about the Unit's basis_position. R is the rotation
// by angle[0] about `axis` for a tilt-axis Unit (basis_type 1) and Rx * Ry * Rz of the three
// angles for every other basis_type. An index outside the tables gives the identity.
Matrix UnitLocalTransform(const Model& model, int motion, int unit);

// Writes pose_matrix of every Part and every Unit for Motion `motion`, and refreshes save_order.
// A Part gets L(owner) * L(owner's parent) * ... up to its top-level Unit; a Unit gets the same
// product over its ancestors only (its own transform excluded); nodes without a Unit above them
// keep the identity. Nothing of an earlier pose survives. A motion outside the table leaves every
// matrix the identity. Cost: one multiply per Unit ancestor of each Unit, plus a copy per Part.
void EvaluatePose(Model& model, int motion);

// The two matrices the renderer blends the vertices of Part `part` with, as EvaluatePose left
// them: first the frame of the Unit that owns the Part (identity without one), taken with the
// vertex's blend weight b, then the Part's own pose, taken with 1 - b.
struct BlendMatrices {
  Matrix first;
  Matrix second;
};
BlendMatrices PartBlendMatrices(const Model& model, int part);

// Sets `axis` of Unit `unit` to (1, 0, 0) turned by RotationXYZ(axis_angle). Ignores an index
// outside the Unit table.
void UpdateUnitAxis(Model& model, int unit);

// Recomputes the blend weight of every vertex of the Parts whose `parent` is the node of
// selected_unit (Parts of child Units are not touched), from that Unit's blend_param (axis,
// factor, formula, range in thousandths). Weight 1 keeps a vertex with the parent Unit, 0 lets it
// follow its own Unit. Does nothing without a selected Unit, and leaves the weights unchanged when
// the axis setting is not 0, 1 or 2 (only a file can hold such a value). Weights are always within
// 0..1, also for negative factors.
void ComputeBlendWeights(Model& model);

}  // namespace vorna
