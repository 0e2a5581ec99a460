// Playback: showing the Motions one per timer tick, in a loop over the selected Anim or over the
// whole list. The timer, the projection and the drawing belong to the caller; these functions
// keep the playback values (held in the view state as playing, play_period_ms and play_frame,
// passed here by reference) and say which Motion to show.
#pragma once

#include <cstdint>

#include "model/model.h"

namespace vorna {

enum class PlaybackToggle {
  kStopped,  // playback ended: the caller stops it as every other stop does
  kStarted,  // playback began: the caller switches to the perspective projection and starts the
             // timer with play_period_ms; the first Motion is shown one period later
};

// Starts or stops playback. Starting clamps the Anim ranges (ClampAnimRanges) and sets
// play_frame to the selected Anim's first Motion, or to 0 without a selected Anim.
PlaybackToggle TogglePlayback(Model& model, bool& playing, int32_t& play_frame);

// One timer tick: returns the Motion to evaluate and draw now and advances play_frame. With a
// selected Anim the frame wraps to its first Motion after passing its last (an Anim whose first
// Motion lies after its last shows its first Motion over and over); without one it wraps to 0 at
// motion_count. The Anim's loop flag does not stop playback. A play_frame outside the Motion list
// (possible only when the list changed without stopping playback) starts again from the
// beginning instead of showing a Motion that does not exist.
int32_t PlaybackStep(const Model& model, int32_t& play_frame);

// The speed commands: period 100, 200, 300 or 500 ms (a larger period plays more slowly).
// Returns true when the caller must restart its running timer with the new period; play_frame
// is unchanged. Any other period is ignored (returns false, nothing changed).
bool ChangePlaybackSpeed(int32_t period_ms, bool playing, int32_t& play_period_ms);

}  // namespace vorna
