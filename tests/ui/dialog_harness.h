// An editor session for the dialog tests, with a context that counts what a dialog asks of the
// window around it.
#pragma once

#include "model/host.h"
#include "ui/dialog_context.h"

namespace vorna::test {

struct DialogHarness {
  EditorSession session;
  ScriptedHost host;
  int redraws = 0;
  int stops = 0;
  int thumbnails = 0;
  int tree_changes = 0;
  int menu_changes = 0;

  DialogHarness() = default;
  // The context's callbacks point at this harness's counters: it stays where it was made.
  DialogHarness(const DialogHarness&) = delete;
  DialogHarness& operator=(const DialogHarness&) = delete;

  Model& model() { return session.model(); }
  ViewState& view() { return session.view(); }

  DialogContext Context() {
    DialogContext context;
    context.session = &session;
    context.host = &host;
    context.redraw = [this] { ++redraws; };
    context.stop_playback = [this] { ++stops; };
    context.regenerate_thumbnail = [this] { ++thumbnails; };
    context.tree_changed = [this] { ++tree_changes; };
    context.menus_changed = [this] { ++menu_changes; };
    return context;
  }
};

}  // namespace vorna::test
