// The texture and colour dialog without its widgets: the working mapping settings and the mapping
// commands, the slider rows of both pages (positions, ranges, texts and the values they write),
// the part, direction and page choices, "ﾘｾｯﾄ", and what OK and Cancel leave behind. The dialog
// shows the rows it is given and hands every user change back here.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/texture_mapping_menu.h"
#include "editor/view_backup.h"
#include "model/host.h"
#include "model/model.h"
#include "model/texture_mapping.h"
#include "render/camera.h"
#include "render/mesh_drawing.h"
#include "render/view_state.h"

namespace vorna {

// The scales the offset sliders were last laid out for. The window owns one for the whole run and
// hands it to every texture dialog it opens.
struct OffsetSliderScales {
  float u = 1.0f;
  float v = 1.0f;
};

// What the dialog backs up on opening and puts back on Cancel.
struct TextureDialogBackup {
  struct PartState {
    Material material;
    uint32_t texture_map_flag = 0;
    std::array<float, 4> texture_map_param{};
    int32_t texture_map_type = 0;
    std::string texture_file;
    std::shared_ptr<const Texture> texture;
    std::array<int32_t, 4> texture_rect{};
  };
  std::vector<float> tex_u;
  std::vector<float> tex_v;
  std::vector<PartState> parts;
  ViewBackup view;
  uint8_t texture_all = 0;
};

// Also borrows the view (BorrowView).
TextureDialogBackup TakeTextureDialogBackup(const Model& model, ViewState& view);
// Cancel: every Part's material, kind, mapping settings, texture file and the very texture it had,
// the texture coordinates, texture_all and the view settings.
void RestoreTextureDialogBackup(const TextureDialogBackup& backup, Model& model, ViewState& view);
// OK: the view settings only (texture_all stays as the dialog left it).
void RestoreTextureDialogView(const TextureDialogBackup& backup, ViewState& view);

// The Part the dialog starts with: the Part selected in the tree, else the first.
int TextureDialogStartPart(const Model& model);

// "%0.Nf" in the C locale; a value that is not finite shows as 0.
std::string FormatDecimals(double value, int decimals);
// A slider position from a value: rounded to the nearest step, 0 for a value that is not finite,
// and held within +-1e9 so that a hostile stored setting never overflows the conversion.
int SliderPosition(double value);

// One row of track bar, edit box and up-down control as it is to be shown.
struct SliderRow {
  int minimum = 0;
  int maximum = 0;
  int tick = 1;
  int position = 0;
  std::string text;
  bool enabled = true;
};

enum class TextureRow { kScaleU = 0, kScaleV = 1, kOffsetU = 2, kOffsetV = 3 };
enum class MaterialRow { kAlpha = 0, kRed = 1, kGreen = 2, kBlue = 3, kStrength = 4 };
enum class ColourKind { kDiffuse = 0, kSpecular = 1, kEmission = 2 };

// The offset sliders' bases: the extents of `part`'s box on the projection plane of `direction`
// times 1000, truncated; an extent of 0 counts as 1, as it does for the mapping itself.
std::array<int, 2> OffsetBases(const Model& model, int part, int direction);

class TextureDialogSession {
 public:
  static constexpr int kScaleMaximum = 500;
  static constexpr int kColourMaximum = 100;

  // The opening: playback must already be stopped. Takes the backup, loads edit_part's settings,
  // turns the view to the mapping's direction, draws solid without ground and shows the texture
  // page. The remembered scales start as edit_part's, so opening never rescales its offsets.
  // Every step keeps render.preview in line with the working state.
  TextureDialogSession(Model& model, ViewState& view, RenderContext& render, Host& host,
                       OffsetSliderScales& scales, int edit_part);

  const MappingSettings& settings() const { return commands_->settings(); }
  const TextureMenuState& menu() const { return commands_->menu(); }
  int edit_part() const { return settings().edit_part; }
  TextureDialogPage page() const { return page_; }
  ColourKind colour_kind() const { return colour_kind_; }
  // What the view's texture preview is to show now.
  TexturePreviewSettings Preview() const;

  SliderRow TextureRowState(TextureRow row) const;
  // The value a row's track bar or up-down at `position` stands for.
  double TextureValueAt(TextureRow row, int position) const;
  // A new value for a row (typed, or from the track bar or up-down). A new scale rescales the
  // offset of its axis by previous / new and lays the offset sliders out again.
  void SetTextureValue(TextureRow row, double value);

  SliderRow MaterialRowState(MaterialRow row) const;
  double MaterialValueAt(MaterialRow row, int position) const;
  // Writes the value into the material fields of the chosen kind (diffuse also into ambient).
  void SetMaterialValue(MaterialRow row, double value);
  void ChooseColourKind(ColourKind kind);

  // The "編集" menu's mapping commands (texture_mapping_menu.h ids); false for another id.
  bool RunMappingCommand(int id);
  // The "方向" menu, 0 front .. 5 down: the view and the planar direction.
  void ChooseDirection(int direction);
  // The direction the view currently shows, 0..5 (-1 for none of the six).
  int ViewDirection() const;
  // The part combo: `part` becomes edit_part with its own settings and the view turns to them.
  // The caller mirrors the tree's new selection.
  void ChoosePart(int part);
  void ShowPage(TextureDialogPage page);
  // "ﾘｾｯﾄ" on the page shown.
  void Reset();
  // After the texture image of edit_part changed: the whole model or a round mapping follows.
  void TextureChosen();
  void SetTranslucent(bool on);
  void SetFillMode(int32_t fill_mode);

  // OK: keeps the Model (marked modified) and texture_all, gives back the view settings.
  void Accept();
  // Cancel: everything as it was on opening.
  void Cancel();

 private:
  void LoadPart(int part);
  void SyncPreview();
  void LayOutOffsets(float scale_u, float scale_v);
  Part* EditPart();
  const Part* EditPart() const;
  Color* KindColour();
  const Color* KindColour() const;

  Model& model_;
  ViewState& view_;
  RenderContext& render_;
  Host& host_;
  OffsetSliderScales& scales_;
  TextureDialogBackup backup_;
  // Made again whenever edit_part changes or is reset: its opening state is the refreshed one.
  std::optional<TextureMappingCommands> commands_;
  TextureDialogPage page_ = TextureDialogPage::kTexture;
  ColourKind colour_kind_ = ColourKind::kDiffuse;
  std::array<int, 2> bases_{};
};

}  // namespace vorna
