#include "editor/undo_step.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <type_traits>
#include <utility>

namespace vorna {
namespace {

constexpr auto kScalarFields =
    std::tuple{&Model::parts_count,  &Model::node_count,         &Model::motion_count,
               &Model::anim_count,   &Model::total_vertex_count, &Model::total_face_count,
               &Model::total_center, &Model::total_corner_min,   &Model::total_corner_max,
               &Model::texture_all,  &Model::all_triangles,      &Model::current_motion,
               &Model::current_anim, &Model::selected_unit};
constexpr size_t kScalarCount = std::tuple_size_v<decltype(kScalarFields)>;
static_assert(kScalarCount == std::tuple_size_v<ModelScalars>);

template <size_t... I>
ModelScalars ReadScalars(const Model& model, std::index_sequence<I...>) {
  return ModelScalars{model.*std::get<I>(kScalarFields)...};
}

// Values are compared bit for bit: a value that became another NaN or -0 is a change too.
template <typename T>
bool SameBits(const T& a, const T& b) {
  static_assert(std::is_trivially_copyable_v<T>);
  return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <size_t... I>
uint32_t ChangedScalars(const Model& model, const ModelScalars& before, std::index_sequence<I...>) {
  return ((SameBits(model.*std::get<I>(kScalarFields), std::get<I>(before)) ? 0u : 1u << I) | ...);
}

template <size_t... I>
void SwapScalars(Model& model, ModelScalars& held, uint32_t changed, std::index_sequence<I...>) {
  ((changed & (1u << I) ? std::swap(model.*std::get<I>(kScalarFields), std::get<I>(held)) : void()),
   ...);
}

template <typename T>
void Hold(ArrayChange<T>& change, const std::vector<T>& array) {
  change.held = true;
  change.whole = true;
  change.first = 0;
  change.values = array;
}

// Keeps only what differs from `now`: nothing, the changed range, or the whole array when its
// length changed or most of it differs.
template <typename T>
void Prune(ArrayChange<T>& change, const std::vector<T>& now) {
  std::vector<T>& before = change.values;
  if (before.size() != now.size()) return;
  size_t first = 0;
  while (first < now.size() && SameBits(before[first], now[first])) ++first;
  if (first == now.size()) {
    change = ArrayChange<T>{};
    return;
  }
  size_t end = now.size();
  while (end > first && SameBits(before[end - 1], now[end - 1])) --end;
  if (end - first > now.size() / 2) return;
  before.erase(before.begin() + static_cast<std::ptrdiff_t>(end), before.end());
  before.erase(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(first));
  before.shrink_to_fit();
  change.whole = false;
  change.first = first;
}

template <typename T>
void SwapArray(ArrayChange<T>& change, std::vector<T>& array) {
  if (!change.held) return;
  if (change.whole) {
    std::swap(change.values, array);
  } else if (change.first + change.values.size() <= array.size()) {
    std::swap_ranges(change.values.begin(), change.values.end(),
                     array.begin() + static_cast<std::ptrdiff_t>(change.first));
  }
}

template <typename T>
size_t ArrayBytes(const ArrayChange<T>& change) {
  return change.values.capacity() * sizeof(T);
}

template <typename T>
void PruneTable(std::unique_ptr<T>& held, const T& now) {
  if (held != nullptr && *held == now) held.reset();
}

// Units and Parts keep the pose matrices of the last frame drawn: a dialog that drew its preview
// and was left unchanged changed nothing.
template <typename Records>
void PruneRecords(std::unique_ptr<Records>& held, const Records& now) {
  if (held == nullptr || held->size() != now.size()) return;
  Records same_poses = *held;
  for (size_t i = 0; i < now.size(); ++i) same_poses[i].pose_matrix = now[i].pose_matrix;
  if (same_poses == now) held.reset();
}

template <typename T>
void SwapTable(std::unique_ptr<T>& held, T& table) {
  if (held != nullptr) std::swap(*held, table);
}

size_t StringsBytes(const std::array<std::string, kMaxNodes>& names) {
  size_t bytes = sizeof(names);
  for (const std::string& name : names) bytes += name.capacity();
  return bytes;
}

size_t ForestBytes(const UnitForest& forest) {
  size_t bytes = sizeof(forest);
  for (int node = 0; node < kForestCapacity; ++node) {
    bytes += forest.at(node).children.capacity() * sizeof(int);
  }
  return bytes;
}

std::vector<Motion> MotionList(const Model& model) {
  assert(model.motion_count >= 0 && model.motion_count <= kMaxMotions);
  const int count = model.motion_count;
  return std::vector<Motion>(model.motions.begin(), model.motions.begin() + count);
}

std::vector<Anim> AnimList(const Model& model) {
  assert(model.anim_count >= 0 && model.anim_count <= kMaxAnims);
  const int count = model.anim_count;
  return std::vector<Anim>(model.anims.begin(), model.anims.begin() + count);
}

// Puts `list` in front of the table and clears the slots the table used beyond it; `list` gets
// the table's former records.
template <typename T, size_t N>
void SwapList(std::vector<T>& list, std::array<T, N>& table, int32_t count) {
  assert(count >= 0 && static_cast<size_t>(count) <= N);
  std::vector<T> former(table.begin(), table.begin() + count);
  const size_t kept = std::min(list.size(), N);
  std::move(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kept), table.begin());
  for (size_t i = kept; i < former.size(); ++i) table[i] = T{};
  list = std::move(former);
}

// One past the last Unit whose values differ between the two Motions.
int DifferingUnits(const Motion& a, const Motion& b) {
  for (int unit = kMaxUnits; unit > 0; --unit) {
    const int u = unit - 1;
    if (a.angle[0][u] != b.angle[0][u] || a.angle[1][u] != b.angle[1][u] ||
        a.angle[2][u] != b.angle[2][u] || a.translation[u] != b.translation[u] ||
        a.scale[u] != b.scale[u]) {
      return unit;
    }
  }
  return 0;
}

// Exchanges in_use and the first `units` values of each table: a Motion holds room for every
// Unit, and exchanging only the Units a step reached keeps undo cheap on long Motion lists.
void SwapMotion(Motion& a, Motion& b, int units) {
  std::swap(a.in_use, b.in_use);
  for (int k = 0; k < 3; ++k) {
    std::swap_ranges(a.angle[k].begin(), a.angle[k].begin() + units, b.angle[k].begin());
  }
  std::swap_ranges(a.translation.begin(), a.translation.begin() + units, b.translation.begin());
  std::swap_ranges(a.scale.begin(), a.scale.begin() + units, b.scale.begin());
}

}  // namespace

void ModelStep::Swap(Model& model) {
  SwapArray(positions_, model.positions);
  SwapArray(normals_, model.normals);
  SwapArray(tex_u_, model.tex_u);
  SwapArray(tex_v_, model.tex_v);
  SwapArray(blend_, model.blend);
  SwapArray(faces_, model.faces);
  SwapTable(parts_, model.parts);
  SwapTable(draw_order_, model.draw_order);
  SwapTable(units_, model.units);
  SwapTable(node_name_, model.node_name);
  SwapTable(parent_, model.parent);
  SwapTable(forest_, model.forest);
  // The lists are exchanged against the counts the Model has now, before the counts swap.
  if (motions_whole_) {
    SwapList(motions_, model.motions, model.motion_count);
  } else {
    for (size_t i = 0; i < motion_index_.size(); ++i) {
      SwapMotion(motions_[i], model.motions[motion_index_[i]], motion_units_);
    }
  }
  if (anims_ != nullptr) SwapList(*anims_, model.anims, model.anim_count);
  SwapScalars(model, scalars_, scalars_changed_, std::make_index_sequence<kScalarCount>());
}

size_t ModelStep::bytes() const {
  size_t bytes = sizeof(*this) + name_.capacity();
  bytes += ArrayBytes(positions_) + ArrayBytes(normals_) + ArrayBytes(tex_u_) + ArrayBytes(tex_v_) +
           ArrayBytes(blend_) + ArrayBytes(faces_);
  if (parts_ != nullptr) {
    bytes += parts_->capacity() * sizeof(Part);
    for (const Part& part : *parts_) bytes += part.texture_file.capacity();
  }
  if (draw_order_ != nullptr) bytes += sizeof(*draw_order_);
  if (units_ != nullptr) bytes += sizeof(*units_);
  if (node_name_ != nullptr) bytes += StringsBytes(*node_name_);
  if (parent_ != nullptr) bytes += sizeof(*parent_);
  if (forest_ != nullptr) bytes += ForestBytes(*forest_);
  bytes += motions_.capacity() * sizeof(Motion) + motion_index_.capacity() * sizeof(int);
  if (anims_ != nullptr) {
    bytes += anims_->capacity() * sizeof(Anim);
    for (const Anim& anim : *anims_) bytes += anim.name.capacity();
  }
  return bytes;
}

void StepRecorder::Begin(std::string_view name) {
  if (depth_++ > 0) return;
  revert_ = false;
  modified_at_begin_ = model_.modified;
  step_ = std::make_unique<ModelStep>();
  ModelStep& step = *step_;
  step.name_ = name;
  Hold(step.positions_, model_.positions);
  Hold(step.normals_, model_.normals);
  Hold(step.tex_u_, model_.tex_u);
  Hold(step.tex_v_, model_.tex_v);
  Hold(step.blend_, model_.blend);
  Hold(step.faces_, model_.faces);
  step.parts_ = std::make_unique<std::vector<Part>>(model_.parts);
  step.draw_order_ = std::make_unique<std::array<uint32_t, kMaxParts>>(model_.draw_order);
  step.units_ = std::make_unique<std::array<Unit, kMaxUnits>>(model_.units);
  step.node_name_ = std::make_unique<std::array<std::string, kMaxNodes>>(model_.node_name);
  step.parent_ = std::make_unique<std::array<int32_t, kMaxNodes>>(model_.parent);
  step.forest_ = std::make_unique<UnitForest>(model_.forest);
  step.motions_ = MotionList(model_);
  step.anims_ = std::make_unique<std::vector<Anim>>(AnimList(model_));
  step.scalars_ = ReadScalars(model_, std::make_index_sequence<kScalarCount>());
}

std::unique_ptr<ModelStep> StepRecorder::End() {
  if (depth_ == 0 || --depth_ > 0) return nullptr;
  std::unique_ptr<ModelStep> step = std::move(step_);
  Prune(step->positions_, model_.positions);
  Prune(step->normals_, model_.normals);
  Prune(step->tex_u_, model_.tex_u);
  Prune(step->tex_v_, model_.tex_v);
  Prune(step->blend_, model_.blend);
  Prune(step->faces_, model_.faces);
  PruneRecords(step->parts_, model_.parts);
  PruneTable(step->draw_order_, model_.draw_order);
  PruneRecords(step->units_, model_.units);
  PruneTable(step->node_name_, model_.node_name);
  PruneTable(step->parent_, model_.parent);
  PruneTable(step->forest_, model_.forest);
  PruneTable(step->anims_, AnimList(model_));
  // Motions are large: with an unchanged count only the Motions that differ are kept.
  const int before_count = static_cast<int>(step->motions_.size());
  assert(model_.motion_count >= 0 && model_.motion_count <= kMaxMotions);
  if (before_count == model_.motion_count) {
    std::vector<Motion> changed;
    int units = 0;
    for (int m = 0; m < before_count; ++m) {
      if (step->motions_[m] == model_.motions[m]) continue;
      units = std::max(units, DifferingUnits(step->motions_[m], model_.motions[m]));
      step->motion_index_.push_back(m);
      changed.push_back(std::move(step->motions_[m]));
    }
    step->motions_ = std::move(changed);
    step->motion_units_ = units;
  } else {
    step->motions_whole_ = true;
  }
  step->scalars_changed_ =
      ChangedScalars(model_, step->scalars_, std::make_index_sequence<kScalarCount>());

  const bool changed = step->positions_.held || step->normals_.held || step->tex_u_.held ||
                       step->tex_v_.held || step->blend_.held || step->faces_.held ||
                       step->parts_ != nullptr || step->draw_order_ != nullptr ||
                       step->touches_nodes() || step->touches_motions() ||
                       step->anims_ != nullptr || step->scalars_changed_ != 0;
  if (std::exchange(revert_, false)) {
    step->Swap(model_);
    model_.modified = modified_at_begin_;
    return nullptr;
  }
  if (!changed) {
    model_.modified = modified_at_begin_;
    return nullptr;
  }
  return step;
}

}  // namespace vorna
