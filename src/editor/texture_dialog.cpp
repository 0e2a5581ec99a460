#include "editor/texture_dialog.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "editor/commands.h"
#include "io/number_text.h"
#include "model/hierarchy_edit.h"
#include "model/part_range.h"

namespace vorna {
namespace {

constexpr double kPositionLimit = 1e9;
constexpr int kScaleTick = 100;
constexpr int kColourTick = 50;

bool IsUsablePart(const Model& model, int part) {
  return part >= 0 && part < UsablePartCount(model);
}

// A typed number as a setting: beyond the float range it stays at the largest float.
float ToFloat(double value) {
  constexpr double kMax = std::numeric_limits<float>::max();
  return std::isfinite(value) ? static_cast<float>(std::clamp(value, -kMax, kMax)) : 0.0f;
}

int DirectionOrFront(int direction) { return direction >= 0 && direction <= 5 ? direction : 0; }

// Truncates like the C conversion, held within the slider's reach.
int TruncatedPosition(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::clamp(value, -kPositionLimit, kPositionLimit));
}

// The offset's zero point on its slider: the image's top-left corner may move left by as much as
// the enlarged image is wide, so the slider starts that far below 0 once the scale reaches 1.
int OffsetZero(int base, float scale) {
  return scale < 1.0f ? 0 : TruncatedPosition(static_cast<double>(base) * scale);
}

float* ScaleSetting(MappingSettings& s, TextureRow row) {
  switch (row) {
    case TextureRow::kScaleU:
      return &s.map_scale_u;
    case TextureRow::kScaleV:
      return &s.map_scale_v;
    case TextureRow::kOffsetU:
      return &s.map_offset_u;
    case TextureRow::kOffsetV:
      return &s.map_offset_v;
  }
  return &s.map_scale_u;
}

float SettingOf(MappingSettings s, TextureRow row) { return *ScaleSetting(s, row); }

bool IsOffsetRow(TextureRow row) {
  return row == TextureRow::kOffsetU || row == TextureRow::kOffsetV;
}

// The component of a colour a material row edits.
float* Channel(Color& colour, MaterialRow row) {
  switch (row) {
    case MaterialRow::kAlpha:
      return &colour.a;
    case MaterialRow::kRed:
      return &colour.r;
    case MaterialRow::kGreen:
      return &colour.g;
    case MaterialRow::kBlue:
      return &colour.b;
    case MaterialRow::kStrength:
      break;
  }
  return nullptr;
}

}  // namespace

TextureDialogBackup TakeTextureDialogBackup(const Model& model, ViewState& view) {
  TextureDialogBackup backup;
  backup.tex_u = model.tex_u;
  backup.tex_v = model.tex_v;
  // Every Part's texture file and texture are kept, named or not: Cancel must give back each
  // Part as it was, and a Part without a name can be given a texture like any other.
  for (int p = 0; p < UsablePartCount(model); ++p) {
    const Part& part = model.parts[p];
    backup.parts.push_back({part.material, part.texture_map_flag, part.texture_map_param,
                            part.texture_map_type, part.texture_file, part.texture,
                            part.texture_rect});
  }
  backup.texture_all = model.texture_all;
  backup.view = BorrowView(view);
  return backup;
}

void RestoreTextureDialogView(const TextureDialogBackup& backup, ViewState& view) {
  RestoreView(backup.view, view);
}

void RestoreTextureDialogBackup(const TextureDialogBackup& backup, Model& model, ViewState& view) {
  RestoreTextureDialogView(backup, view);
  model.texture_all = backup.texture_all;
  const int parts = std::min(UsablePartCount(model), static_cast<int>(backup.parts.size()));
  for (int p = 0; p < parts; ++p) {
    const TextureDialogBackup::PartState& saved = backup.parts[p];
    Part& part = model.parts[p];
    part.material = saved.material;
    part.texture_map_flag = saved.texture_map_flag;
    part.texture_map_param = saved.texture_map_param;
    part.texture_map_type = saved.texture_map_type;
    part.texture_file = saved.texture_file;
    // The texture the Part had, not the file read again: the file may have been copied in or
    // replaced while the dialog was open.
    part.texture = saved.texture;
    part.texture_rect = saved.texture_rect;
  }
  // The vertex arrays keep their length while the dialog is open; a mismatch leaves them alone.
  if (backup.tex_u.size() == model.tex_u.size()) model.tex_u = backup.tex_u;
  if (backup.tex_v.size() == model.tex_v.size()) model.tex_v = backup.tex_v;
}

int TextureDialogStartPart(const Model& model) {
  const int node = model.forest.Selected();
  return IsUsablePart(model, node) ? node : 0;
}

std::string FormatDecimals(double value, int decimals) {
  return FormatFixed(std::isfinite(value) ? value : 0.0, decimals);
}

int SliderPosition(double value) {
  if (!std::isfinite(value)) return 0;
  return static_cast<int>(std::lround(std::clamp(value, -kPositionLimit, kPositionLimit)));
}

std::array<int, 2> OffsetBases(const Model& model, int part, int direction) {
  if (!IsUsablePart(model, part)) return {1000, 1000};
  const Part& p = model.parts[part];
  auto extent = [](float mn, float mx) {
    const double e = std::fabs(static_cast<double>(mx) - mn);
    return e == 0.0 ? 1.0 : e;
  };
  const double ex = extent(p.corner_min.x, p.corner_max.x);
  const double ey = extent(p.corner_min.y, p.corner_max.y);
  const double ez = extent(p.corner_min.z, p.corner_max.z);
  switch (DirectionOrFront(direction) / 2) {
    case 1:
      return {TruncatedPosition(ez * 1000.0), TruncatedPosition(ey * 1000.0)};
    case 2:
      return {TruncatedPosition(ex * 1000.0), TruncatedPosition(ez * 1000.0)};
    default:
      return {TruncatedPosition(ex * 1000.0), TruncatedPosition(ey * 1000.0)};
  }
}

TextureDialogSession::TextureDialogSession(Model& model, ViewState& view, RenderContext& render,
                                           Host& host, OffsetSliderScales& scales, int edit_part)
    : model_(model),
      view_(view),
      render_(render),
      host_(host),
      scales_(scales),
      backup_(TakeTextureDialogBackup(model, view)) {
  LoadPart(edit_part);
  view_.fill_mode = kFillSolid;
  view_.ground_on = false;
  view_.texture_dialog_page = static_cast<int32_t>(TextureDialogPage::kTexture);
  SyncPreview();
}

Part* TextureDialogSession::EditPart() {
  return IsUsablePart(model_, edit_part()) ? &model_.parts[edit_part()] : nullptr;
}

const Part* TextureDialogSession::EditPart() const {
  return IsUsablePart(model_, edit_part()) ? &model_.parts[edit_part()] : nullptr;
}

void TextureDialogSession::LoadPart(int part) {
  const MappingSettings settings = SettingsOfPart(model_, part);
  commands_.emplace(model_, view_, host_, settings);
  // The sliders are laid out for the Part's own scales: its stored offsets are shown and kept as
  // they are, whatever Part was edited before.
  scales_.u = settings.map_scale_u;
  scales_.v = settings.map_scale_v;
  ChooseDirection(DirectionOrFront(settings.map_direction));
}

void TextureDialogSession::SyncPreview() {
  render_.preview.mapping = settings();
  render_.preview.preview_scale = PreviewScale(model_, settings());
  render_.preview.mapping_applied = menu().mapping_applied;
}

TexturePreviewSettings TextureDialogSession::Preview() const { return render_.preview; }

void TextureDialogSession::LayOutOffsets(float scale_u, float scale_v) {
  MappingSettings& s = commands_->settings();
  bases_ = OffsetBases(model_, s.edit_part, s.map_direction);
  // Keeps the offsets in proportion to the image when its scale changes. A scale of 0 (or one
  // that is not finite) has no proportion: the offset and the remembered scale stay.
  auto rescale = [](float& offset, float& previous, float scale) {
    if (scale == 0.0f || !std::isfinite(scale)) return;
    if (scale != previous && previous != 0.0f && std::isfinite(previous)) {
      offset *= previous / scale;
    }
    previous = scale;
  };
  rescale(s.map_offset_u, scales_.u, scale_u);
  rescale(s.map_offset_v, scales_.v, scale_v);
}

SliderRow TextureDialogSession::TextureRowState(TextureRow row) const {
  SliderRow state;
  state.enabled = menu().position_controls_enabled;
  const float value = SettingOf(settings(), row);
  if (!IsOffsetRow(row)) {
    state.maximum = kScaleMaximum;
    state.tick = kScaleTick;
    state.position = SliderPosition(value * 100.0);
    state.text = FormatDecimals(value, 2);
    return state;
  }
  const bool u = row == TextureRow::kOffsetU;
  const int base = bases_[u ? 0 : 1];
  const float scale = u ? settings().map_scale_u : settings().map_scale_v;
  const int zero = OffsetZero(base, scale);
  state.maximum = std::max(0, TruncatedPosition(static_cast<double>(base) * (scale + 1.0)));
  state.tick = std::max(1, base);
  state.position = SliderPosition(value * 1000.0 + zero);
  state.text = FormatDecimals(value, 3);
  return state;
}

double TextureDialogSession::TextureValueAt(TextureRow row, int position) const {
  if (!IsOffsetRow(row)) return position / 100.0;
  const bool u = row == TextureRow::kOffsetU;
  const int zero =
      OffsetZero(bases_[u ? 0 : 1], u ? settings().map_scale_u : settings().map_scale_v);
  return (static_cast<double>(position) - zero) / 1000.0;
}

void TextureDialogSession::SetTextureValue(TextureRow row, double value) {
  MappingSettings& s = commands_->settings();
  *ScaleSetting(s, row) = ToFloat(value);
  if (!IsOffsetRow(row)) LayOutOffsets(s.map_scale_u, s.map_scale_v);
  SyncPreview();
}

Color* TextureDialogSession::KindColour() {
  Part* part = EditPart();
  if (!part) return nullptr;
  switch (colour_kind_) {
    case ColourKind::kSpecular:
      return &part->material.specular;
    case ColourKind::kEmission:
      return &part->material.emissive;
    case ColourKind::kDiffuse:
      break;
  }
  return &part->material.diffuse;
}

const Color* TextureDialogSession::KindColour() const {
  return const_cast<TextureDialogSession*>(this)->KindColour();
}

SliderRow TextureDialogSession::MaterialRowState(MaterialRow row) const {
  SliderRow state;
  state.maximum = kColourMaximum;
  state.tick = kColourTick;
  const Part* part = EditPart();
  if (row == MaterialRow::kStrength) {
    state.enabled = colour_kind_ == ColourKind::kSpecular;
    const int power = part ? TruncatedPosition(part->material.power) : 0;
    state.position = power;
    state.text = FormatWholeNumber(power);
    return state;
  }
  state.enabled = row != MaterialRow::kAlpha || colour_kind_ == ColourKind::kDiffuse;
  Color colour = KindColour() ? *KindColour() : Color{};
  const float value = *Channel(colour, row);
  state.position = SliderPosition(value * 100.0);
  state.text = FormatDecimals(value, 2);
  return state;
}

double TextureDialogSession::MaterialValueAt(MaterialRow row, int position) const {
  return row == MaterialRow::kStrength ? position : position / 100.0;
}

void TextureDialogSession::SetMaterialValue(MaterialRow row, double value) {
  Part* part = EditPart();
  if (!part) return;
  if (row == MaterialRow::kStrength) {
    // The strength is a whole number, as it is typed.
    part->material.power = static_cast<float>(TruncatedPosition(value));
    return;
  }
  *Channel(*KindColour(), row) = ToFloat(value);
  if (colour_kind_ == ColourKind::kDiffuse) {
    *Channel(part->material.ambient, row) = ToFloat(value);
  }
}

void TextureDialogSession::ChooseColourKind(ColourKind kind) { colour_kind_ = kind; }

bool TextureDialogSession::RunMappingCommand(int id) {
  const bool ran = commands_->Run(id);
  if (ran) SyncPreview();
  return ran;
}

void TextureDialogSession::ChooseDirection(int direction) {
  direction = DirectionOrFront(direction);
  ApplyViewCommand(kCmdViewFront + direction, view_, render_);
  MappingSettings& s = commands_->settings();
  s.map_direction = direction;
  LayOutOffsets(s.map_scale_u, s.map_scale_v);
  SyncPreview();
}

int TextureDialogSession::ViewDirection() const {
  for (int d = 0; d < 6; ++d) {
    if (CommandChecked(model_, view_, MenuFacts{true}, kCmdViewFront + d)) return d;
  }
  return -1;
}

void TextureDialogSession::ChoosePart(int part) {
  if (!IsUsablePart(model_, part)) return;
  model_.forest.Select(part);
  UpdateSelectionState(model_);
  LoadPart(part);
}

void TextureDialogSession::ShowPage(TextureDialogPage page) {
  page_ = page;
  view_.texture_dialog_page = static_cast<int32_t>(page);
  SyncPreview();
}

void TextureDialogSession::Reset() {
  Part* part = EditPart();
  if (!part) return;
  if (page_ == TextureDialogPage::kMaterial) {
    part->material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    part->material.specular = {};
    part->material.emissive = {};
    part->material.power = 0.0f;
    return;
  }
  part->texture_file.clear();
  part->texture.reset();
  part->texture_rect = {0, 0, 0, 0};
  const IndexRange vertices = PartVertexRange(model_, edit_part());
  for (uint32_t v = vertices.begin; v < vertices.end; ++v) {
    model_.tex_u[v] = 0.0f;
    model_.tex_v[v] = 0.0f;
  }
  part->texture_map_type = 0;
  part->texture_map_param = {1.0f, 1.0f, 0.0f, 0.0f};
  part->texture_map_flag = 0;
  model_.texture_all = 0;
  LoadPart(edit_part());
}

void TextureDialogSession::TextureChosen() {
  const Part* part = EditPart();
  if (!part) return;
  if (model_.texture_all || part->texture_map_flag == 1 || part->texture_map_flag == 2) {
    ApplyMapping(model_, settings(), edit_part(), host_);
  }
  SyncPreview();
}

void TextureDialogSession::SetTranslucent(bool on) { view_.part_alpha = on ? 128 : 255; }

void TextureDialogSession::SetFillMode(int32_t fill_mode) { view_.fill_mode = fill_mode; }

void TextureDialogSession::Accept() {
  view_.texture_dialog_page = 0;
  model_.modified = 1;
  RestoreTextureDialogView(backup_, view_);
}

void TextureDialogSession::Cancel() {
  view_.texture_dialog_page = 0;
  RestoreTextureDialogBackup(backup_, model_, view_);
}

}  // namespace vorna
