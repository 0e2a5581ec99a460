// Animation channels of the neutral scene description evaluated at a time, and the times at
// which an animation becomes Motions.
#pragma once

#include <array>
#include <vector>

#include "animation/skeleton_scene.h"

namespace vorna {

// Numbers per key value: 4 for a rotation, 3 for a translation or a scale.
int ChannelWidth(ChannelPath path);

// Keys of a channel whose times and values agree (times finite and never decreasing, the values
// holding ChannelWidth numbers per key, three times that for CUBICSPLINE); 0 otherwise.
size_t ChannelKeyCount(const SceneChannel& channel);

// The value of a channel with ChannelKeyCount > 0 at `time` (seconds), as glTF defines it: the
// first key's value before the first key and the last's after the last; STEP holds a key's value
// until the next key; LINEAR interpolates linearly, rotations along the shorter arc (slerp);
// CUBICSPLINE is the cubic Hermite spline through the keys with their tangents scaled by the
// time between the keys. Rotations come back normalised. The unused fourth number is 0.
std::array<double, 4> SampleChannel(const SceneChannel& channel, double time);

// The distinct key times over the animation's usable channels, in order (times closer than a
// millionth of a second, or of the time above one second, count as one).
std::vector<double> KeyTimes(const SceneAnimation& animation);

// The most steps MotionTimes cuts a span into.
inline constexpr size_t kMaxMotionSteps = 65535;

// The times at which an animation with these KeyTimes becomes Motions, in order, from its first
// key time to its last: the key times themselves when they are evenly spaced at least `interval`
// apart, else the span cut into round(span / interval) equal steps (at most kMaxMotionSteps; a
// span below half an interval is one Motion at its start). One key time (or none: time 0) gives
// one Motion. `interval` > 0.
std::vector<double> MotionTimes(const std::vector<double>& key_times, double interval);
// How many times MotionTimes gives, without making them.
size_t MotionTimeCount(const std::vector<double>& key_times, double interval);

}  // namespace vorna
