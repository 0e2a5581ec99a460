#include "editor/editor_session.h"

#include "animation/playback.h"
#include "animation/pose.h"

namespace vorna {

EditorSession::EditorSession() : model_(std::make_unique<Model>()) {
  Reset(*model_);
  ResetViewState(view_);
}

void EditorSession::ModelFitted(double model_size) { SetMarkerScale(render_, model_size); }

void EditorSession::MarkLoaded() {
  model_loaded_ = true;
  ResetViewState(view_);
  if (render_.device != nullptr) {
    SetDefaultMaterial(render_, 0.7f, 0.7f, 0.7f);
    SetupProjection(render_, view_);
  }
}

void EditorSession::Close() {
  Reset(*model_);
  ResetViewState(view_);
  model_loaded_ = false;
  if (render_.device != nullptr) SetupProjection(render_, view_);
}

bool EditorSession::SizeView(int width, int height) {
  if (render_.device == nullptr) return InitDevice(render_, view_, width, height);
  return ResizeView(render_, view_, width, height);
}

bool EditorSession::DrawFrame() { return RenderFrame(render_, *model_, view_); }

void EditorSession::StopPlayback() {
  if (!view_.playing) return;
  view_.playing = false;
  if (render_.device != nullptr) SetupProjection(render_, view_);
}

bool EditorSession::TogglePlayback() {
  played_ = -1;  // until the first tick the current Motion stays on show
  const PlaybackToggle toggle = vorna::TogglePlayback(*model_, view_.playing, view_.play_frame);
  if (render_.device != nullptr) SetupProjection(render_, view_);
  return toggle == PlaybackToggle::kStarted;
}

void EditorSession::PlaybackTick() {
  if (!view_.playing || model_->motion_count <= 0) return;
  const int32_t motion = PlaybackStep(*model_, view_.play_frame);
  played_ = motion;
  EvaluatePose(*model_, motion);
  DrawFrame();
}

}  // namespace vorna
