#include "editor/texture_mapping_menu.h"

#include "model/part_range.h"

namespace vorna {

TextureMappingCommands::TextureMappingCommands(Model& model, ViewState& view, Host& host,
                                               MappingSettings settings)
    : model_(model), view_(view), host_(host), settings_(settings) {
  const Part* part = EditPart();
  menu_.checked_kind = part ? part->texture_map_flag : 0;
  const bool single_planar = menu_.checked_kind == 0 && !model_.texture_all;
  SetApplied(!single_planar);
  menu_.position_controls_enabled = single_planar;
  SetPartsOrWhole(model_.texture_all != 0);
}

Part* TextureMappingCommands::EditPart() {
  const int p = settings_.edit_part;
  return p >= 0 && p < UsablePartCount(model_) ? &model_.parts[p] : nullptr;
}

void TextureMappingCommands::SetApplied(bool applied) {
  menu_.mapping_applied = applied;
  menu_.apply_enabled = !applied;
  if (applied) {
    const Part* part = EditPart();
    menu_.unapply_enabled = part && part->texture_map_flag == 0 && !model_.texture_all;
    view_.part_alpha = 255;
    menu_.translucent_checked = false;
  } else {
    menu_.unapply_enabled = false;
    // The part is seen through the placement preview.
    view_.part_alpha = 128;
    menu_.translucent_checked = true;
  }
}

void TextureMappingCommands::SetPartsOrWhole(bool whole) {
  menu_.parts_enabled = whole;
  menu_.whole_enabled = !whole;
  menu_.copy_enabled = !whole;
}

bool TextureMappingCommands::Run(int id) {
  switch (id) {
    case kCmdPlanarMapping:
      Planar();
      return true;
    case kCmdSphericalMapping:
      Spherical();
      return true;
    case kCmdWrapMapping:
      Wrap();
      return true;
    case kCmdApplyMapping:
      Apply();
      return true;
    case kCmdUnapplyMapping:
      Unapply();
      return true;
    case kCmdMapParts:
      MapParts();
      return true;
    case kCmdMapWhole:
      MapWhole();
      return true;
    case kCmdCopyToAllParts:
      CopyToAll();
      return true;
    default:
      return false;
  }
}

void TextureMappingCommands::Planar() {
  Part* part = EditPart();
  if (!part) return;
  part->texture_map_flag = 0;
  menu_.checked_kind = 0;
  if (menu_.mapping_applied) ApplyMapping(model_, settings_, settings_.edit_part, host_);
  // A single Part must be positioned and applied by hand; the whole model stays applied.
  SetApplied(model_.texture_all != 0);
  menu_.position_controls_enabled = !model_.texture_all;
}

void TextureMappingCommands::ChooseRoundKind(uint32_t flag) {
  Part* part = EditPart();
  if (!part) return;
  part->texture_map_flag = flag;
  menu_.checked_kind = flag;
  settings_.map_scale_u = settings_.map_scale_v = 1.0f;
  settings_.map_offset_u = settings_.map_offset_v = 0.0f;
  ApplyMapping(model_, settings_, settings_.edit_part, host_);
  SetApplied(true);
  menu_.position_controls_enabled = false;
}

void TextureMappingCommands::Spherical() { ChooseRoundKind(1); }

void TextureMappingCommands::Wrap() { ChooseRoundKind(2); }

void TextureMappingCommands::Apply() {
  ApplyMapping(model_, settings_, settings_.edit_part, host_);
  SetApplied(true);
  menu_.position_controls_enabled = false;
}

void TextureMappingCommands::Unapply() {
  SetApplied(false);
  menu_.position_controls_enabled = true;
}

void TextureMappingCommands::MapParts() {
  model_.texture_all = 0;
  ApplyMapping(model_, settings_, settings_.edit_part, host_);
  SetPartsOrWhole(false);
  SetApplied(true);
  menu_.position_controls_enabled = false;
}

void TextureMappingCommands::MapWhole() {
  const uint8_t before = model_.texture_all;
  model_.texture_all = 1;
  // Without edit_part's texture file nothing was given to the other Parts; leaving the flag on
  // would save and draw a whole-model mapping the Parts do not have.
  if (!ApplyMapping(model_, settings_, settings_.edit_part, host_)) {
    model_.texture_all = before;
    return;
  }
  SetPartsOrWhole(true);
  SetApplied(true);
  menu_.position_controls_enabled = false;
}

void TextureMappingCommands::CopyToAll() {
  CopyToAllParts(model_, settings_, static_cast<TextureDialogPage>(view_.texture_dialog_page),
                 menu_.mapping_applied, host_);
}

}  // namespace vorna
