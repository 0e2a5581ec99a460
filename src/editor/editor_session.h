// Everything the editor window works on: the one Model, the view state, the drawing context and
// whether a model is loaded. The window owns one session and calls these steps; the timer, the
// widgets and the dialogs stay on its side.
#pragma once

#include <memory>

#include "editor/commands.h"
#include "editor/undo_step.h"
#include "model/model.h"
#include "render/camera.h"
#include "render/view_state.h"

namespace vorna {

class EditorSession {
 public:
  EditorSession();
  EditorSession(const EditorSession&) = delete;
  EditorSession& operator=(const EditorSession&) = delete;

  Model& model() { return *model_; }
  const Model& model() const { return *model_; }
  ViewState& view() { return view_; }
  const ViewState& view() const { return view_; }
  RenderContext& render() { return render_; }
  bool model_loaded() const { return model_loaded_; }
  MenuFacts facts() const { return MenuFacts{model_loaded_}; }
  // Records the undoable steps of the edits made to the model.
  StepRecorder& steps() { return steps_; }

  // A load fitted the model to the window: the unit markers follow its new size.
  void ModelFitted(double model_size);
  // A load replaced the model: menus follow a loaded model and the view starts from its
  // defaults.
  void MarkLoaded();
  // The close command: the empty model and the default view; menus go back to "no model".
  void Close();

  // Creates the device for the view's size on first use, else resizes it. False when the device
  // cannot be made.
  bool SizeView(int width, int height);
  // Draws one frame into the device's back buffer; false without a device.
  bool DrawFrame();

  // Playback: stopping returns to the still projection. Toggling returns true when playback
  // started (the caller starts its timer with play_period_ms).
  void StopPlayback();
  bool TogglePlayback();
  // One timer tick: evaluates the next Motion of the loop and draws it.
  void PlaybackTick();
  // The Motion the last tick drew while playback runs; current_motion otherwise.
  int32_t MotionOnShow() const {
    return view_.playing && played_ >= 0 ? played_ : model_->current_motion;
  }

 private:
  std::unique_ptr<Model> model_;
  ViewState view_;
  RenderContext render_;
  StepRecorder steps_{*model_};
  bool model_loaded_ = false;
  int32_t played_ = -1;
};

}  // namespace vorna
