#include "animation/playback.h"

#include <algorithm>
#include <cassert>

#include "animation/anim_list.h"

namespace vorna {

namespace {

// The Anim playback runs over, or null. A current_anim beyond the Anims counts as none.
const Anim* SelectedAnim(const Model& model) {
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  const int anim_count = model.anim_count;
  if (model.current_anim < 0 || model.current_anim >= anim_count) return nullptr;
  return &model.anims[model.current_anim];
}

int32_t StartFrame(const Model& model) {
  const Anim* anim = SelectedAnim(model);
  return anim ? anim->first_motion : 0;
}

}  // namespace

PlaybackToggle TogglePlayback(Model& model, bool& playing, int32_t& play_frame) {
  playing = !playing;
  if (!playing) return PlaybackToggle::kStopped;
  ClampAnimRanges(model);
  play_frame = StartFrame(model);
  return PlaybackToggle::kStarted;
}

int32_t PlaybackStep(const Model& model, int32_t& play_frame) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const int32_t motion_count = model.motion_count;
  auto exists = [&](int32_t frame) { return frame >= 0 && frame < motion_count; };
  if (!exists(play_frame)) play_frame = StartFrame(model);
  if (!exists(play_frame)) play_frame = 0;

  const int32_t shown = play_frame;
  ++play_frame;
  if (const Anim* anim = SelectedAnim(model)) {
    if (play_frame > anim->last_motion) play_frame = anim->first_motion;
  } else if (play_frame >= motion_count) {
    play_frame = 0;
  }
  return shown;
}

bool ChangePlaybackSpeed(int32_t period_ms, bool playing, int32_t& play_period_ms) {
  if (period_ms != 100 && period_ms != 200 && period_ms != 300 && period_ms != 500) return false;
  play_period_ms = period_ms;
  return playing;
}

}  // namespace vorna
