#include "animation/channel_sampling.h"

#include <algorithm>
#include <cmath>

#include "animation/scene_transform.h"

namespace vorna {

namespace {

// Key times closer than this (seconds, relative above 1 s) are one time: files store them as
// floats, written from doubles by tools that do not round alike.
bool SameTime(double a, double b) { return std::fabs(a - b) <= 1e-6 * std::max(1.0, std::fabs(b)); }

}  // namespace

std::vector<double> KeyTimes(const SceneAnimation& animation) {
  std::vector<double> times;
  for (const SceneChannel& channel : animation.channels) {
    if (ChannelKeyCount(channel) == 0) continue;
    times.insert(times.end(), channel.times.begin(), channel.times.end());
  }
  std::sort(times.begin(), times.end());
  std::vector<double> distinct;
  for (const double t : times) {
    if (distinct.empty() || !SameTime(t, distinct.back())) distinct.push_back(t);
  }
  return distinct;
}

namespace {

// The key times, when they are evenly spaced at least `interval` apart.
bool OwnKeysServe(const std::vector<double>& keys, double interval) {
  if (keys.size() < 2) return false;
  const double step = (keys.back() - keys.front()) / static_cast<double>(keys.size() - 1);
  if (!(step >= interval * (1.0 - 1e-6))) return false;
  for (size_t i = 1; i < keys.size(); ++i) {
    if (std::fabs(keys[i] - keys[i - 1] - step) > 1e-3 * step) return false;
  }
  return true;
}

std::array<double, 4> Value(const SceneChannel& channel, size_t key, size_t group, int width) {
  std::array<double, 4> v{};
  const size_t groups = channel.interpolation == Interpolation::kCubicSpline ? 3 : 1;
  const size_t at = (key * groups + group) * static_cast<size_t>(width);
  for (int c = 0; c < width; ++c) v[c] = channel.values[at + c];
  return v;
}

std::array<double, 4> Slerp(std::array<double, 4> a, std::array<double, 4> b, double s) {
  double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  if (dot < 0.0) {
    dot = -dot;
    for (double& v : b) v = -v;
  }
  double wa = 1.0 - s, wb = s;
  if (dot < 1.0 - 1e-9) {
    const double angle = std::acos(std::min(dot, 1.0));
    wa = std::sin((1.0 - s) * angle) / std::sin(angle);
    wb = std::sin(s * angle) / std::sin(angle);
  }
  return Normalised(
      {wa * a[0] + wb * b[0], wa * a[1] + wb * b[1], wa * a[2] + wb * b[2], wa * a[3] + wb * b[3]});
}

}  // namespace

int ChannelWidth(ChannelPath path) { return path == ChannelPath::kRotation ? 4 : 3; }

size_t ChannelKeyCount(const SceneChannel& channel) {
  const size_t keys = channel.times.size();
  const size_t groups = channel.interpolation == Interpolation::kCubicSpline ? 3 : 1;
  const size_t width = static_cast<size_t>(ChannelWidth(channel.path));
  if (keys == 0 || channel.values.size() / (groups * width) != keys ||
      channel.values.size() % (groups * width) != 0) {
    return 0;
  }
  for (size_t k = 0; k < keys; ++k) {
    if (!std::isfinite(channel.times[k]) || (k > 0 && channel.times[k] < channel.times[k - 1])) {
      return 0;
    }
  }
  for (const float v : channel.values) {
    if (!std::isfinite(v)) return 0;
  }
  return keys;
}

std::array<double, 4> SampleChannel(const SceneChannel& channel, double time) {
  const int width = ChannelWidth(channel.path);
  const bool rotation = channel.path == ChannelPath::kRotation;
  const std::vector<float>& times = channel.times;
  const size_t keys = times.size();
  // The first key after `time`; keys at the same time take the later one.
  const size_t next = static_cast<size_t>(
      std::upper_bound(times.begin(), times.end(), time,
                       [](double t, float key) { return t < static_cast<double>(key); }) -
      times.begin());
  std::array<double, 4> v;
  if (next == 0) {
    v = Value(channel, 0, channel.interpolation == Interpolation::kCubicSpline ? 1 : 0, width);
  } else if (next == keys || channel.interpolation == Interpolation::kStep) {
    v = Value(channel, next - 1, channel.interpolation == Interpolation::kCubicSpline ? 1 : 0,
              width);
  } else {
    const size_t k = next - 1;
    const double t0 = times[k], t1 = times[next];
    const double span = t1 - t0;
    const double s = span > 0.0 ? std::clamp((time - t0) / span, 0.0, 1.0) : 1.0;
    if (channel.interpolation == Interpolation::kLinear) {
      const std::array<double, 4> a = Value(channel, k, 0, width);
      const std::array<double, 4> b = Value(channel, next, 0, width);
      if (rotation) return Slerp(Normalised(a), Normalised(b), s);
      for (int c = 0; c < width; ++c) v[c] = a[c] + (b[c] - a[c]) * s;
      v[3] = 0.0;
      return v;
    }
    // Hermite: value and out-tangent of key k, in-tangent and value of the next key.
    const std::array<double, 4> p0 = Value(channel, k, 1, width);
    const std::array<double, 4> m0 = Value(channel, k, 2, width);
    const std::array<double, 4> m1 = Value(channel, next, 0, width);
    const std::array<double, 4> p1 = Value(channel, next, 1, width);
    const double s2 = s * s, s3 = s2 * s;
    const double h00 = 2 * s3 - 3 * s2 + 1, h10 = s3 - 2 * s2 + s, h01 = -2 * s3 + 3 * s2,
                 h11 = s3 - s2;
    for (int c = 0; c < width; ++c) {
      v[c] = h00 * p0[c] + h10 * span * m0[c] + h01 * p1[c] + h11 * span * m1[c];
    }
  }
  if (rotation) return Normalised(v);
  v[3] = 0.0;
  return v;
}

size_t MotionTimeCount(const std::vector<double>& key_times, double interval) {
  if (key_times.size() < 2) return 1;
  if (OwnKeysServe(key_times, interval)) return key_times.size();
  // A span shorter than half an interval is one Motion, at its start.
  return static_cast<size_t>(
             std::clamp(std::round((key_times.back() - key_times.front()) / interval), 0.0,
                        static_cast<double>(kMaxMotionSteps))) +
         1;
}

std::vector<double> MotionTimes(const std::vector<double>& key_times, double interval) {
  if (key_times.empty()) return {0.0};
  if (key_times.size() == 1 || OwnKeysServe(key_times, interval)) return key_times;
  const size_t n = MotionTimeCount(key_times, interval) - 1;
  const double first = key_times.front(), span = key_times.back() - first;
  if (n == 0) return {first};
  std::vector<double> times(n + 1);
  for (size_t i = 0; i < n; ++i) {
    times[i] = first + span * static_cast<double>(i) / static_cast<double>(n);
  }
  times[n] = key_times.back();
  return times;
}

}  // namespace vorna
