// What the editing dialogs are handed by the window: the session they edit, the host for
// messages, and the window's side of the effects they have (drawing the view, remaking the
// current Motion's thumbnail, mirroring the tree again, refreshing menus). Tests pass their own.
#pragma once

#include <functional>

#include "editor/editor_session.h"
#include "model/host.h"

namespace vorna {

struct DialogContext {
  EditorSession* session = nullptr;
  Host* host = nullptr;
  // Draws a frame of the view from the current state and shows it (the live preview).
  std::function<void()> redraw;
  // Stops playback; the view returns to the still projection.
  std::function<void()> stop_playback;
  // Remakes the current Motion's thumbnail and repaints the Motion strip.
  std::function<void()> regenerate_thumbnail;
  // The forest changed (names, nodes, selection, ticks): the tree mirrors it again.
  std::function<void()> tree_changed;
  // The view state changed outside the menus: marks and enabling follow.
  std::function<void()> menus_changed;

  Model& model() const { return session->model(); }
  ViewState& view() const { return session->view(); }
  void Redraw() const {
    if (redraw) redraw();
  }
  void StopPlayback() const {
    if (stop_playback) stop_playback();
  }
  void RegenerateThumbnail() const {
    if (regenerate_thumbnail) regenerate_thumbnail();
  }
  void TreeChanged() const {
    if (tree_changed) tree_changed();
  }
  void MenusChanged() const {
    if (menus_changed) menus_changed();
  }
};

}  // namespace vorna
