// Undoable steps: what one editing command changed in the Model, kept so that it can be put back
// and done again.
//
// A recorder copies the Model's records when a command begins and, when it ends, keeps only the
// records that differ: a range of a vertex or face array (the vertices of the Parts a command
// moved), the Part records, the Unit and node tables, the Motions that changed, the Anim list, the
// counts. A step holds the other side of each of those records; exchanging them with the Model's
// undoes the step, and the next exchange does it again, so undo and redo never copy a whole
// array that changed whole.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "model/model.h"

namespace vorna {

// The other side of one geometry array: the whole array, or the values of one range of it.
template <typename T>
struct ArrayChange {
  bool held = false;
  bool whole = false;
  size_t first = 0;
  std::vector<T> values;
};

// The Model's single fields a step may change, with their values as a tuple.
using ModelScalars = std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, Vec3, Vec3,
                                Vec3, uint8_t, uint8_t, int32_t, int32_t, int32_t>;

class ModelStep {
 public:
  // The name the edit menu shows ("サイズ変更").
  const std::string& name() const { return name_; }
  // Exchanges the held records with the Model's: the first call undoes the step, the next does
  // it again, and so on. Never allocates for an array that changed whole.
  void Swap(Model& model);
  // The memory the step holds, for the cap on the undo history.
  size_t bytes() const;
  // The step changed Motions or their count: the window rebuilds the Motion strip.
  bool touches_motions() const { return motions_whole_ || !motion_index_.empty(); }
  // The step changed the node tables or the forest: the tree mirrors it again.
  bool touches_nodes() const {
    return units_ != nullptr || node_name_ != nullptr || parent_ != nullptr || forest_ != nullptr;
  }

 private:
  friend class StepRecorder;

  std::string name_;
  ArrayChange<Vec3> positions_;
  ArrayChange<Vec3> normals_;
  ArrayChange<float> tex_u_;
  ArrayChange<float> tex_v_;
  ArrayChange<float> blend_;
  ArrayChange<Face> faces_;
  // Tables are held on the heap: a step that does not touch them costs nothing for them.
  std::unique_ptr<std::vector<Part>> parts_;
  std::unique_ptr<std::array<uint32_t, kMaxParts>> draw_order_;
  std::unique_ptr<std::array<Unit, kMaxUnits>> units_;
  std::unique_ptr<std::array<std::string, kMaxNodes>> node_name_;
  std::unique_ptr<std::array<int32_t, kMaxNodes>> parent_;
  std::unique_ptr<UnitForest> forest_;
  // Either the whole Motion list (its count changed) or the Motions at motion_index_.
  bool motions_whole_ = false;
  std::vector<int> motion_index_;
  std::vector<Motion> motions_;
  // The Motions at motion_index_ differ only in their first motion_units_ Unit values.
  int motion_units_ = kMaxUnits;
  std::unique_ptr<std::vector<Anim>> anims_;
  ModelScalars scalars_{};
  uint32_t scalars_changed_ = 0;  // one bit per element of ModelScalars
};

// Records the steps of one Model. Begin and End enclose one command; a Begin inside an open step
// joins it, so a command that runs another records one step.
class StepRecorder {
 public:
  explicit StepRecorder(Model& model) : model_(model) {}
  StepRecorder(const StepRecorder&) = delete;
  StepRecorder& operator=(const StepRecorder&) = delete;

  // Copies the records the command may change; `name` is the step's name.
  void Begin(std::string_view name);
  // Closes the step Begin opened (the outermost): the changed records, or null when the command
  // changed nothing, in which case `modified` gets back the value it had at Begin (a dialog
  // closed with OK but no change is not an unsaved change). Pose matrices, which every frame
  // draws anew, are no change.
  std::unique_ptr<ModelStep> End();
  // The open step is taken back (a dialog was cancelled): End puts the Model back as it was at
  // Begin, `modified` too, and records nothing.
  void Revert() { revert_ = depth_ > 0; }
  bool recording() const { return depth_ > 0; }

 private:
  Model& model_;
  int depth_ = 0;
  bool revert_ = false;
  uint8_t modified_at_begin_ = 0;
  std::unique_ptr<ModelStep> step_;
};

}  // namespace vorna
