// Key-frame generation: inserting n in-between Motions after each key of a run of consecutive
// Motions (and, when looping, after the last key back to the first), interpolating every Unit's
// angles, translations and scales linearly or along a cubic Hermite curve.
#pragma once

#include "model/host.h"
#include "model/model.h"

namespace vorna {

struct KeyframeRequest {
  int n = 1;      // Motions inserted per gap: 1 or more (the dialog offers 1 to 10)
  int start = 0;  // first and last key as Motion indices, in either order
  int end = 0;
  bool loop = false;  // also fill the gap after the last key, interpolating back to the first
  bool curve = true;  // Hermite curve through the neighbouring keys; false: linear
};

enum class KeyframeResult {
  kGenerated,
  kTooFewMotions,  // "少なくとも2コマ必要です" was shown
  kSameKeys,       // "開始番号と終了番号に同じ数字は使えません" was shown
  kTooManyMotions,  // "モーションの総数が 256 個を超えるので作れません" was shown
  kInvalidRequest,  // n below 1 or a key outside the Motion list; nothing shown
};

// Generates the in-between Motions of `request`. With keys lo .. hi (the smaller and the larger
// of start and end) and n per gap, key lo + i ends at lo + i * (n + 1), the in-betweens fill the
// slots between, and the Motions after hi move up by n per gap. The check against the 256 slots
// counts n Motions per key, also without looping. Anims keep their Motion numbers.
//
// Linear rule: angles in whole degrees, taking the shorter way round (a difference of 180 or more
// goes the other way), with the step (b - a) / (n + 1) truncated toward zero before it is
// multiplied, and 360 added to negative results; translations and scales proportionally.
// Curve rule: the y of a Hermite curve through the from and to keys whose tangents are the
// normalised differences of the neighbouring keys (so an angle tangent is +1, -1 or 0), the
// neighbours wrapping round when looping; angles truncated toward zero.
//
// On kGenerated the caller stops playback and rebuilds the strip with one button per Motion;
// current_motion is the last Motion. Any other result has changed nothing. Cost: linear in the
// number of Motions moved or created.
KeyframeResult GenerateKeyframes(Model& model, Host& host, const KeyframeRequest& request);

// What the key-frame dialog shows when it opens: the selected Anim's range and loop flag, or the
// whole Motion list without loop; one Motion per gap; the remembered method.
KeyframeRequest KeyframeDialogDefaults(const Model& model, bool remembered_curve);

}  // namespace vorna
