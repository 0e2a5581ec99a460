#include "animation/keyframes.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "animation/motion_list.h"

namespace vorna {

namespace {

// Whole degrees are stored in 32 bits; results are computed wider and wrap back like the stored
// integers always have, so angles near the limits of a file's values cannot overflow.
int32_t WrapToInt32(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// Truncation toward zero, saturating where a float leaves the 32-bit range.
int32_t TruncateToInt32(float value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483648.0f) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

struct HermiteBasis {
  float h1, h2, h3, h4;
};

HermiteBasis Basis(float s) {
  const float s2 = s * s;
  const float s3 = s2 * s;
  return {2.0f * s3 - 3.0f * s2 + 1.0f, s3 - 2.0f * s2 + s, -2.0f * s3 + 3.0f * s2, s3 - s2};
}

// The y of the unit tangent (0, d): the two curve points share their x, so only the sign remains.
float UnitTangent(float d) { return d > 0.0f ? 1.0f : (d < 0.0f ? -1.0f : 0.0f); }

int32_t LinearAngle(int32_t from, int32_t to, int n, int i) {
  int64_t a = from;
  int64_t b = to;
  if (b - a >= 180) {
    b -= 360;
  } else if (b - a <= -180) {
    a -= 360;
  }
  // The step is truncated before it is multiplied, so the in-betweens stay evenly spaced whole
  // degrees and may stop short of the next key.
  int64_t value = (b - a) / (n + 1) * i + a;
  if (value < 0) value += 360;
  return WrapToInt32(value);
}

Vec3 LinearVector(Vec3 a, Vec3 b, int n, int i) {
  const float parts = static_cast<float>(n + 1);
  const float step = static_cast<float>(i);
  Vec3 value;
  for (int c = 0; c < 3; ++c) value[c] = (b[c] - a[c]) / parts * step + a[c];
  return value;
}

int32_t CurveAngle(int32_t key0, int32_t key1, int32_t key2, int32_t key3, const HermiteBasis& h) {
  float p0 = static_cast<float>(key0);
  float p1 = static_cast<float>(key1);
  float p2 = static_cast<float>(key2);
  float p3 = static_cast<float>(key3);
  // Each adjustment sees the values as the earlier ones left them.
  if (p2 - p1 >= 180.0f) {
    p2 -= 360.0f;
  } else if (p2 - p1 <= -180.0f) {
    p1 -= 360.0f;
  }
  if (p1 - p0 >= 180.0f) {
    p0 += 360.0f;
  } else if (p1 - p0 <= -180.0f) {
    p0 -= 360.0f;
  }
  if (p3 - p2 >= 180.0f) {
    p3 -= 360.0f;
  } else if (p3 - p2 <= -180.0f) {
    p3 += 360.0f;
  }
  const float t1 = UnitTangent(p2 - p0);
  const float t2 = UnitTangent(p3 - p1);
  return TruncateToInt32(h.h1 * p1 + h.h2 * t1 + h.h3 * p2 + h.h4 * t2);
}

Vec3 CurveVector(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, const HermiteBasis& h) {
  const Vec3 t1 = Normalize(p2 - p0);
  const Vec3 t2 = Normalize(p3 - p1);
  return p1 * h.h1 + t1 * h.h2 + p2 * h.h3 + t2 * h.h4;
}

// The four keys around the gap after key c (positions in the key copy, last = its last index).
struct CurveKeys {
  int previous, from, to, after;
};

CurveKeys KeysAround(int c, int last, bool loop) {
  CurveKeys keys;
  keys.previous = c > 0 ? c - 1 : (loop ? last : c);
  keys.from = c;
  keys.to = c < last ? c + 1 : 0;
  if (c + 2 <= last) {
    keys.after = c + 2;
  } else {
    keys.after = loop ? c + 2 - (last + 1) : last;
  }
  return keys;
}

// Fills `out` (already a copy of the from key) with in-between i of n for the first
// `unit_count` Units.
void FillInBetween(const std::vector<Motion>& keys, int c, bool loop, bool curve, int n, int i,
                   int unit_count, Motion& out) {
  const int last = static_cast<int>(keys.size()) - 1;
  if (!curve) {
    const Motion& a = keys[c];
    const Motion& b = keys[c < last ? c + 1 : 0];
    for (int u = 0; u < unit_count; ++u) {
      for (int k = 0; k < 3; ++k) out.angle[k][u] = LinearAngle(a.angle[k][u], b.angle[k][u], n, i);
      out.translation[u] = LinearVector(a.translation[u], b.translation[u], n, i);
      out.scale[u] = LinearVector(a.scale[u], b.scale[u], n, i);
    }
    return;
  }
  const CurveKeys around = KeysAround(c, last, loop);
  const Motion& p0 = keys[around.previous];
  const Motion& p1 = keys[around.from];
  const Motion& p2 = keys[around.to];
  const Motion& p3 = keys[around.after];
  const HermiteBasis h = Basis(static_cast<float>(i) / static_cast<float>(n + 1));
  for (int u = 0; u < unit_count; ++u) {
    for (int k = 0; k < 3; ++k) {
      out.angle[k][u] =
          CurveAngle(p0.angle[k][u], p1.angle[k][u], p2.angle[k][u], p3.angle[k][u], h);
    }
    out.translation[u] =
        CurveVector(p0.translation[u], p1.translation[u], p2.translation[u], p3.translation[u], h);
    out.scale[u] = CurveVector(p0.scale[u], p1.scale[u], p2.scale[u], p3.scale[u], h);
  }
}

}  // namespace

KeyframeResult GenerateKeyframes(Model& model, Host& host, const KeyframeRequest& request) {
  const int motion_count = model.motion_count;
  if (motion_count < 2) {
    host.Message("少なくとも2コマ必要です", MessageIcon::kNone);
    return KeyframeResult::kTooFewMotions;
  }
  if (request.start == request.end) {
    host.Message("開始番号と終了番号に同じ数字は使えません", MessageIcon::kNone);
    return KeyframeResult::kSameKeys;
  }
  const int lo = std::min(request.start, request.end);
  const int hi = std::max(request.start, request.end);
  const int n = request.n;
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  if (n < 1 || lo < 0 || hi >= motion_count) {
    return KeyframeResult::kInvalidRequest;
  }
  const int count = hi - lo + 1;
  if (static_cast<int64_t>(motion_count) + static_cast<int64_t>(count) * n > kMaxMotions) {
    host.Message("モーションの総数が 256 個を超えるので作れません", MessageIcon::kNone);
    return KeyframeResult::kTooManyMotions;
  }

  std::vector<Motion> keys(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) CopyPose(model.motions[lo + i], keys[i]);

  // Inserting the gaps one at a time from the last key down would move the tail once per gap;
  // every Motion goes straight to where the last insertion would leave it instead.
  const int gaps = request.loop ? count : count - 1;
  const int added = gaps * n;
  for (int j = motion_count - 1; j > hi; --j) CopyPose(model.motions[j], model.motions[j + added]);
  for (int c = count - 1; c > 0; --c) CopyPose(keys[c], model.motions[lo + c * (n + 1)]);

  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  const int unit_count = model.unit_count();
  for (int c = 0; c < gaps; ++c) {
    const int k = lo + c * (n + 1);
    for (int i = 1; i <= n; ++i) {
      Motion& out = model.motions[k + i];
      CopyPose(keys[c], out);
      FillInBetween(keys, c, request.loop, request.curve, n, i, unit_count, out);
    }
  }

  model.motion_count = motion_count + added;
  for (int m = 0; m < model.motion_count; ++m) model.motions[m].in_use = 1;
  model.current_motion = model.motion_count - 1;
  return KeyframeResult::kGenerated;
}

KeyframeRequest KeyframeDialogDefaults(const Model& model, bool remembered_curve) {
  KeyframeRequest request;
  request.curve = remembered_curve;
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  const int last_motion = std::max(model.motion_count - 1, 0);
  if (model.current_anim >= 0 && model.current_anim < model.anim_count) {
    const Anim& anim = model.anims[model.current_anim];
    request.start = std::clamp(anim.first_motion, 0, last_motion);
    request.end = std::clamp(anim.last_motion, 0, last_motion);
    request.loop = anim.loop != 0;
  } else {
    request.end = last_motion;
  }
  return request;
}

}  // namespace vorna
