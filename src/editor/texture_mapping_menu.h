// The texture dialog's mapping commands without their widgets: each command's effect on the
// Model and the view, and the menu state (enabled and checked items, position controls) the
// dialog shows afterwards. Redrawing after each command is the dialog's.
#pragma once

#include <cstdint>

#include "editor/commands.h"
#include "model/host.h"
#include "model/model.h"
#include "model/texture_mapping.h"
#include "render/view_state.h"

namespace vorna {

struct TextureMenuState {
  bool mapping_applied = false;
  uint32_t checked_kind = 0;  // radio item: 0 planar, 1 spherical, 2 wrap-around
  bool apply_enabled = true;
  bool unapply_enabled = false;
  bool parts_enabled = false;
  bool whole_enabled = true;
  bool copy_enabled = true;
  bool translucent_checked = true;
  bool position_controls_enabled = true;
};

class TextureMappingCommands {
 public:
  // The state on opening for edit_part's kind and texture_all: not applied (translucent, controls
  // enabled) for a planar single Part, applied otherwise; "パーツ" enabled exactly when
  // texture_all is on, "全体" and the copy to all Parts exactly when it is off.
  TextureMappingCommands(Model& model, ViewState& view, Host& host, MappingSettings settings);

  MappingSettings& settings() { return settings_; }
  const MappingSettings& settings() const { return settings_; }
  const TextureMenuState& menu() const { return menu_; }

  // Runs the command with menu id `id`; false for an id that is none of the mapping commands.
  bool Run(int id);

  void Planar();
  void Spherical();
  void Wrap();
  void Apply();
  void Unapply();
  void MapParts();
  // Gives every Part edit_part's texture and mapping. When edit_part's texture file is missing
  // nothing changes, texture_all included.
  void MapWhole();
  void CopyToAll();

 private:
  void SetApplied(bool applied);
  void SetPartsOrWhole(bool whole);
  void ChooseRoundKind(uint32_t flag);
  Part* EditPart();

  Model& model_;
  ViewState& view_;
  Host& host_;
  MappingSettings settings_;
  TextureMenuState menu_;
};

}  // namespace vorna
