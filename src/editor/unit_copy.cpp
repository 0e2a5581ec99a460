#include "editor/unit_copy.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "animation/pose.h"
#include "model/hierarchy_edit.h"

namespace vorna {

namespace {

int UnitCount(const Model& model) {
  assert(model.unit_count() >= 0 && model.unit_count() <= kMaxUnits);
  return model.unit_count();
}

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

char FoldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ListedIgnoringCase(const EntryList& list, std::string_view name) {
  return std::any_of(list.entries.begin(), list.entries.end(),
                     [&](const std::string& entry) { return SameNameIgnoringCase(entry, name); });
}

// Stored angles wrap like the 32-bit integers they are, also at the extremes of a file's values.
int32_t Wrap(int64_t value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
}

// An angle mirrored across X = 0: 360 - a for positive angles, -a for negative ones, 0 stays.
int32_t MirrorAngle(int32_t a) {
  if (a >= 1) return Wrap(int64_t{360} - a);
  return a < 0 ? Wrap(-int64_t{a}) : 0;
}

// An axis tilt mirrored across X = 0: 360 - v from 0 up (so 0 becomes 360), -v below.
int32_t MirrorAxisTilt(int32_t v) { return v >= 0 ? Wrap(int64_t{360} - v) : Wrap(-int64_t{v}); }

void Exchange(Model& model, Motion& motion, int s, int t) {
  Unit& source = model.units[s];
  Unit& target = model.units[t];
  if (source.basis_type != target.basis_type) return;
  std::swap(motion.angle[0][s], motion.angle[0][t]);
  if (source.basis_type != 1) {
    for (int k = 1; k < 3; ++k) {
      const int32_t old_source = motion.angle[k][s];
      const int32_t old_target = motion.angle[k][t];
      motion.angle[k][t] = Wrap(int64_t{360} - old_source);
      motion.angle[k][s] = Wrap(int64_t{360} - old_target);
    }
  }
  std::swap(source.blend_param, target.blend_param);
  UpdateUnitAxis(model, s);
}

void Copy(Model& model, Motion& motion, int s, int t, bool mirrored, bool mirror_tilt) {
  const Unit& source = model.units[s];
  Unit& target = model.units[t];
  target.basis_type = source.basis_type;
  const bool tilt_axis = source.basis_type == 1;
  if (tilt_axis) {
    motion.angle[0][t] = motion.angle[0][s];
    target.axis_angle = source.axis_angle;
  } else {
    for (int k = 0; k < 3; ++k) motion.angle[k][t] = motion.angle[k][s];
  }
  target.basis_position = source.basis_position;
  motion.translation[t] = motion.translation[s];
  motion.scale[t] = motion.scale[s];
  target.blend_param = source.blend_param;
  if (!mirrored) return;

  if (tilt_axis) {
    if (mirror_tilt) motion.angle[0][t] = MirrorAngle(motion.angle[0][t]);
    target.axis_angle[1] = MirrorAxisTilt(target.axis_angle[1]);
    target.axis_angle[2] = MirrorAxisTilt(target.axis_angle[2]);
  } else {
    for (int k = 1; k < 3; ++k) motion.angle[k][t] = MirrorAngle(motion.angle[k][t]);
  }
  target.basis_position.x = -target.basis_position.x;
}

}  // namespace

int FindUnitByName(const Model& model, std::string_view name) {
  for (int u = 0; u < UnitCount(model); ++u) {
    const int node = model.NodeOfUnit(u);
    if (node >= 0 && node < kMaxNodes && model.node_name[node] == name) return u;
  }
  return -1;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i]))) {
      if (a[i] != b[i]) return false;
      if (i + 1 < a.size()) {
        ++i;
        if (a[i] != b[i]) return false;
      }
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

UnitCopySession OpenUnitCopy(const Model& model, ViewState& view, UnitCopyMemory& memory) {
  UnitCopySession session;
  session.node_count_at_open = model.node_count;
  session.backup = BackupUnits(model, false);
  session.view = BorrowView(view);
  if (view.part_alpha == 128) view.part_alpha = 255;
  view.unit_copy_open = true;
  view.view_yaw = 0.0f;
  view.view_pitch = -1.0f;
  memory.mode = UnitCopyMode::kCopy;

  const int units = UnitCount(model);
  const int pairs = std::clamp<int>(memory.pair_count, 0, kMaxUnits);
  for (int k = 0; k < pairs; ++k) {
    const int s = memory.source[k];
    const int t = memory.target[k];
    if (s < 0 || s >= units || t < 0 || t >= units) continue;
    session.source.entries.push_back(model.node_name[model.NodeOfUnit(s)]);
    session.target.entries.push_back(model.node_name[model.NodeOfUnit(t)]);
  }
  return session;
}

void ApplyUnitPairs(Model& model, UnitCopySession& session, UnitCopyMode mode, bool mirror_tilt,
                    UnitCopyMemory& memory) {
  if (model.current_motion < 0 || model.current_motion >= kMaxMotions) return;
  Motion& motion = model.motions[model.current_motion];
  const int n = static_cast<int>(
      std::min({session.source.entries.size(), session.target.entries.size(), size_t{kMaxUnits}}));
  memory.pair_count = static_cast<int16_t>(n);
  for (int i = 0; i < n; ++i) {
    const int s = FindUnitByName(model, session.source.entries[i]);
    const int t = FindUnitByName(model, session.target.entries[i]);
    memory.source[i] = static_cast<int16_t>(t < 0 ? -1 : s);
    memory.target[i] = static_cast<int16_t>(s < 0 ? -1 : t);
    if (s < 0 || t < 0) continue;
    session.changed = true;
    if (mode == UnitCopyMode::kExchange) {
      Exchange(model, motion, s, t);
    } else {
      Copy(model, motion, s, t, mode == UnitCopyMode::kMirroredCopy, mirror_tilt);
    }
    UpdateUnitAxis(model, t);
  }
}

bool AddUnitsToList(const Model& model, Host& host, UnitCopySession& session, bool to_target,
                    std::span<const int> units) {
  std::vector<int> chosen(units.begin(), units.end());
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  EntryList& list = to_target ? session.target : session.source;
  bool refused = false;
  for (int u : chosen) {
    if (u < 0 || u >= UnitCount(model)) continue;
    const std::string& name = model.node_name[model.NodeOfUnit(u)];
    if (ListedIgnoringCase(session.source, name) || ListedIgnoringCase(session.target, name)) {
      refused = true;
      continue;
    }
    list.entries.push_back(name);
  }
  if (refused) host.Message("既存のﾕﾆｯﾄは追加できません", MessageIcon::kWarning);
  return !refused;
}

std::string ProposedUnitName(const UnitCopySession& session) {
  const size_t next = session.target.entries.size();
  return session.source.entries.size() > next ? session.source.entries[next] : std::string();
}

bool CreateTargetUnit(Model& model, Host& host, UnitCopySession& session, std::string_view name) {
  const std::string kept = ClampField(name, kNodeNameSize);
  if (kept.empty()) {
    host.Message("未入力です", MessageIcon::kWarning);
    return false;
  }
  for (int u = 0; u < UnitCount(model); ++u) {
    if (SameNameIgnoringCase(model.node_name[model.NodeOfUnit(u)], kept)) {
      host.Message("既存のﾕﾆｯﾄ名は使えません", MessageIcon::kWarning);
      return false;
    }
  }
  // The node table holds 255 nodes; a Unit beyond them would have no slot to live in.
  if (model.node_count < 0 || model.node_count >= kMaxCount) {
    host.Message("これ以上追加できません", MessageIcon::kWarning);
    return false;
  }
  const std::string previous = model.node_name[model.node_count];
  model.node_name[model.node_count] = kept;
  if (!CreateUnitNode(model)) {
    model.node_name[model.node_count] = previous;
    host.Message("これ以上追加できません", MessageIcon::kWarning);
    return false;
  }
  session.target.entries.push_back(kept);
  session.changed = true;
  return true;
}

namespace {

void RestoreView(ViewState& view, const UnitCopySession& session) {
  view.unit_copy_open = false;
  RestoreView(session.view, view);
}

}  // namespace

void AcceptUnitCopy(Model& model, ViewState& view, const UnitCopySession& session) {
  RestoreView(view, session);
  if (session.changed) model.modified = true;
}

void CancelUnitCopy(Model& model, ViewState& view, const UnitCopySession& session) {
  RestoreView(view, session);
  while (model.node_count > session.node_count_at_open) {
    const int before = model.node_count;
    DeleteUnitNode(model, model.node_count - 1);
    if (model.node_count >= before) break;  // not a Unit node: nothing more can be removed
  }
  RestoreUnits(model, session.backup);
}

}  // namespace vorna
