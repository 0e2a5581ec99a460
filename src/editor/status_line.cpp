#include "editor/status_line.h"

#include "editor/commands.h"
#include "render/camera.h"

namespace vorna {
namespace {

// The direction's name as its menu item shows it, without the mnemonic and key.
std::string DirectionName(const ViewState& view) {
  const CommandInfo* item = FindCommand(DirectionCommand(view));
  if (item == nullptr) return {};
  return std::string(item->label.substr(0, item->label.find('(')));
}

}  // namespace

StatusLine MakeStatusLine(const Model& model, const ViewState& view, bool model_loaded,
                          int32_t motion_on_show) {
  StatusLine line;
  if (!model_loaded) return line;
  line.motion =
      "ﾓｰｼｮﾝ " + std::to_string(motion_on_show + 1) + "/" + std::to_string(model.motion_count);
  if (model.current_anim >= 0 && model.current_anim < model.anim_count &&
      model.current_anim < static_cast<int>(model.anims.size())) {
    line.anim = "ｱﾆﾒ " + std::to_string(model.current_anim + 1) + "/" +
                std::to_string(model.anim_count) + ": ";
    line.anim_name = model.anims[model.current_anim].name;
  } else {
    line.anim = "ｱﾆﾒ -";
  }
  const int node = model.forest.Selected();
  if (node >= 0 && node < model.node_count && node < kMaxNodes) {
    line.node = "ﾉｰﾄﾞ: ";
    line.node_name = model.node_name[node];
  }
  line.counts = "頂点 " + std::to_string(model.total_vertex_count) + "  面 " +
                std::to_string(model.total_face_count);
  line.camera = (view.free_camera.active ? std::string("自由視点") : DirectionName(view)) + "  " +
                (UsesPerspective(view) ? "透視投影" : "平行投影");
  return line;
}

}  // namespace vorna
