// The status bar's facts: the current Motion and Anim, the selected node, the model's vertex and
// face counts, and how the camera looks (a fixed direction or free, orthographic or
// perspective). Labels are UTF-8; names are the model's raw bytes, for the window to convert.
#pragma once

#include <string>

#include "model/model.h"
#include "render/view_state.h"

namespace vorna {

struct StatusLine {
  std::string motion;  // "ﾓｰｼｮﾝ 2/5"
  std::string anim;    // "ｱﾆﾒ 1/3: " before anim_name, "ｱﾆﾒ -" without a current Anim
  std::string anim_name;
  std::string node;  // "ﾉｰﾄﾞ: " before node_name, "" without a selection
  std::string node_name;
  std::string counts;  // "頂点 1234  面 567"
  std::string camera;  // "前  平行投影", "自由視点  透視投影"
};

// Every field empty without a model. `motion_on_show` is the Motion drawn (playback draws
// others than the current one).
StatusLine MakeStatusLine(const Model& model, const ViewState& view, bool model_loaded,
                          int32_t motion_on_show);

}  // namespace vorna
