#include "animation/motion_list.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <vector>

namespace vorna {

namespace {

int ClampedMotionCount(const Model& model) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  return model.motion_count;
}

}  // namespace

void CopyPose(const Motion& from, Motion& to) {
  to.angle = from.angle;
  to.translation = from.translation;
  to.scale = from.scale;
}

void ClearPose(Motion& motion) {
  for (auto& angles : motion.angle) angles.fill(0);
  motion.translation.fill(Vec3{});
  motion.scale.fill(Vec3{1.0f, 1.0f, 1.0f});
}

std::string MotionNumberLabel(int motion) {
  char text[16];
  std::snprintf(text, sizeof text, "%3d", motion + 1);
  return text;
}

bool AddMotion(Model& model, Host& host) {
  const int count = ClampedMotionCount(model);
  if (count >= kMaxMotions) {
    host.Message("モーションはこれ以上追加できません", MessageIcon::kNone);
    return false;
  }
  // With the list free of gaps the first free slot is motion_count; taking it directly also keeps
  // a table whose in_use flags were never set from having its first Motion overwritten.
  Motion& added = model.motions[count];
  if (model.current_motion >= 0 && model.current_motion < kMaxMotions) {
    CopyPose(model.motions[model.current_motion], added);
  } else {
    ClearPose(added);
  }
  added.in_use = 1;
  model.current_motion = count;
  model.motion_count = count + 1;
  return true;
}

MotionDeletion DeleteCurrentMotion(Model& model) {
  const int count = ClampedMotionCount(model);
  const int current = model.current_motion;
  if (count < 2 || current < 0 || current >= count) return {};
  for (int i = current; i + 1 < count; ++i) {
    CopyPose(model.motions[i + 1], model.motions[i]);
    model.motions[i].in_use = 1;
  }
  Motion& freed = model.motions[count - 1];
  ClearPose(freed);
  freed.in_use = 0;
  model.motion_count = count - 1;
  if (current == count - 1) model.current_motion = count - 2;
  return {true, current};
}

bool ApplyStripOrder(Model& model, int saved_count, std::span<const int> order) {
  if (order.size() > static_cast<size_t>(kMaxMotions)) return false;
  const int new_count = static_cast<int>(order.size());
  const int old_count = std::clamp(saved_count, 0, kMaxMotions);

  // A scratch table per reorder, so positions that no Motion fills come out neutral rather than
  // holding poses from an earlier reorder.
  std::vector<Motion> scratch(static_cast<size_t>(std::max(new_count, 1)));
  std::vector<bool> filled(scratch.size(), false);
  for (int i = 0; i < old_count; ++i) {
    const auto found = std::find(order.begin(), order.end(), i);
    if (found == order.end()) continue;
    const size_t position = static_cast<size_t>(found - order.begin());
    if (filled[position]) continue;
    CopyPose(model.motions[i], scratch[position]);
    filled[position] = true;
  }

  for (Motion& motion : model.motions) {
    ClearPose(motion);
    motion.in_use = 0;
  }
  // With every button removed the list keeps one neutral Motion; scratch[0] is neutral then.
  const int kept = std::max(new_count, 1);
  for (int p = 0; p < kept; ++p) {
    CopyPose(scratch[p], model.motions[p]);
    model.motions[p].in_use = 1;
  }
  model.motion_count = kept;
  model.current_motion = kept - 1;
  return true;
}

}  // namespace vorna
