#include "editor/commands.h"

#include <array>

#include "animation/playback.h"

namespace vorna {
namespace {

constexpr std::array<std::string_view, kMenuTableCount> kMenuTitles = {
    "ﾌｧｲﾙ(&F)", "編集(&E)", "ｱｲﾃﾑ(&A)", "ﾓｰｼｮﾝ(&M)", "ｱﾆﾒ(&N)",  "ﾓﾃﾞﾙ(&O)", "描画順序(&O)",
    "表示(&V)", "方向(&D)", "ﾍﾙﾌﾟ(&H)", "ﾌｧｲﾙ(&F)",  "編集(&E)", "表示(&V)", "編集(&E)",
};

// The add-unit key is Ctrl+U: Ctrl+A belongs to the text boxes (select all), so the label names
// the key that really runs the command.
constexpr CommandInfo kCommands[] = {
    {kCmdOpen, kMenuFile, false, false, "開く(&O)...\tCtrl+O", "Ctrl+O"},
    {kCmdSave, kMenuFile, false, false, "上書き保存(&S)\tCtrl+S", "Ctrl+S"},
    {kCmdSaveAs, kMenuFile, false, false, "名前を付けて保存(&A)..", ""},
    {kCmdImportSkeleton, kMenuFile, false, true, "骨格とアニメーションを読み込む(&K)", "",
     MarkKind::kToggle},
    {kCmdClose, kMenuFile, false, true, "閉じる(&C)", ""},
    {kCmdExit, kMenuFile, false, true, "終了(&X)\tEsc", "Esc"},
    {kCmdUndo, kMenuEdit, false, false, "元に戻す(&U)\tCtrl+Z", "Ctrl+Z"},
    {kCmdRedo, kMenuEdit, false, false, "やり直し(&R)\tCtrl+Y", "Ctrl+Y", MarkKind::kNone,
     "Ctrl+Shift+Z"},
    {kCmdAddUnit, kMenuItem, false, false, "ﾕﾆｯﾄの追加(&A)\tCtrl+U", "Ctrl+U"},
    {kCmdDeleteUnits, kMenuItem, false, false, "ﾕﾆｯﾄの削除(&D)\tDelete", ""},
    {kCmdEditUnit, kMenuItem, false, true, "ﾕﾆｯﾄの編集(&E)...", ""},
    {kCmdCopyUnit, kMenuItem, false, false, "ﾕﾆｯﾄのｺﾋﾟｰ・交換(&C)...", ""},
    {kCmdTextureColour, kMenuItem, false, false, "ﾃｸｽﾁｬ・色の設定(&T)...", ""},
    {kCmdTickAll, kMenuItem, false, true, "全てﾁｪｯｸ(&H)", ""},
    {kCmdClearTicks, kMenuItem, false, false, "全てのﾁｪｯｸを外す(&U)", ""},
    {kCmdAddMotion, kMenuMotion, false, false, "追加(&A)", ""},
    {kCmdDeleteMotion, kMenuMotion, false, false, "削除(&D)", ""},
    {kCmdReorderMotions, kMenuMotion, false, false, "並び替え・削除(&S)...", ""},
    {kCmdKeyFrames, kMenuMotion, false, true, "ｷｰﾌﾚｰﾑ(&K)...", ""},
    {kCmdSpeed100, kMenuAnim, true, false, "100(&1)", "", MarkKind::kRadio},
    {kCmdSpeed200, kMenuAnim, true, false, "200(&2)", "", MarkKind::kRadio},
    {kCmdSpeed300, kMenuAnim, true, false, "300(&3)", "", MarkKind::kRadio},
    {kCmdSpeed500, kMenuAnim, true, false, "500(&5)", "", MarkKind::kRadio},
    {kCmdEditAnims, kMenuAnim, false, false, "ｱﾆﾒの追加と削除(&A)...", ""},
    {kCmdChooseAnim, kMenuAnim, false, false, "ｱﾆﾒの選択(&N)...", ""},
    {kCmdPlayStop, kMenuAnim, false, false, "再生/停止(&P)\tSpace", "Space", MarkKind::kToggle},
    {kCmdSizePosition, kMenuModel, false, false, "ｻｲｽﾞと位置(&S)...\tCtrl+E", "Ctrl+E"},
    {kCmdRotate, kMenuModel, false, false, "回転(&R)...\tCtrl+R", "Ctrl+R"},
    {kCmdFlipCulling, kMenuModel, false, true, "ｶﾘﾝｸﾞ反転(&C)", ""},
    {kCmdRecomputeNormals, kMenuModel, false, false, "法線再計算(&O)", ""},
    {kCmdRecomputeBounds, kMenuModel, false, false, "中心点・ﾎﾞｯｸｽ再計算(&E)", ""},
    {kCmdTriangulate, kMenuModel, false, true, "三角形ﾎﾟﾘｺﾞﾝに変換(&P)", ""},
    {kCmdShiftFaces, kMenuModel, false, false, "面番号を1つずらす(&H)", ""},
    {kCmdFreezePose, kMenuModel, false, true, "現在のﾎﾟｰｽﾞを固定(&F)", ""},
    {kCmdDrawOrder, kMenuDrawOrder, false, false, "ﾊﾟｰﾂの描画順序変更(&O)...", ""},
    {kCmdSemiTransparent, kMenuView, false, false, "半透明(&A)", "", MarkKind::kToggle},
    {kCmdTextureLook, kMenuView, false, false, "ﾃｸｽﾁｬ・色(&T)", "", MarkKind::kToggle},
    {kCmdGround, kMenuView, false, false, "地面(&G)", "", MarkKind::kToggle},
    {kCmdFillSolid, kMenuView, false, true, "面(&S)", "", MarkKind::kRadio},
    {kCmdFillWireframe, kMenuView, false, false, "ﾜｲﾔﾌﾚｰﾑ(&W)", "", MarkKind::kRadio},
    {kCmdFillPoints, kMenuView, false, false, "点(&P)", "", MarkKind::kRadio},
    {kCmdViewFront, kMenuDirection, false, false, "前(&F)\t↓", "Down", MarkKind::kRadio},
    {kCmdViewBack, kMenuDirection, false, false, "後(&B)\t↑", "Up", MarkKind::kRadio},
    {kCmdViewLeft, kMenuDirection, false, false, "左(&L)\t←", "Left", MarkKind::kRadio},
    {kCmdViewRight, kMenuDirection, false, false, "右(&R)\t→", "Right", MarkKind::kRadio},
    {kCmdViewTop, kMenuDirection, false, false, "上(U)\tCtrl+↑", "Ctrl+Up", MarkKind::kRadio},
    {kCmdViewBottom, kMenuDirection, false, false, "下(&D)\tCtrl+↓", "Ctrl+Down", MarkKind::kRadio},
    {kCmdHelp, kMenuHelp, false, false, "目次(&C)", ""},
    {kCmdAbout, kMenuHelp, false, false, "ﾊﾞｰｼﾞｮﾝ情報(&A)", ""},
    {kCmdFixedView, kMenuDirection, false, true, "固定の方向に戻す(&H)\tHome", "Home"},
    {kCmdPerspective, kMenuView, false, true, "透視投影(&E)", "", MarkKind::kToggle},
    {kCmdHeadlight, kMenuView, false, false, "ﾍｯﾄﾞﾗｲﾄ(&L)", "", MarkKind::kToggle},
    {kCmdWeightDisplay, kMenuView, false, false, "ｳｪｲﾄ表示(&B)", "", MarkKind::kToggle},
    {kCmdOpenImage, kMenuTextureFile, false, false, "開く(&O)...", ""},
    {kCmdSaveImage, kMenuTextureFile, false, false, "名前を付けて保存(&A)..", ""},
    {kCmdPlanarMapping, kMenuTextureEdit, false, false, "平面ﾏｯﾋﾟﾝｸﾞ(&P)", "", MarkKind::kRadio},
    {kCmdSphericalMapping, kMenuTextureEdit, false, false, "球面ﾏｯﾋﾟﾝｸﾞ(&S)", "", MarkKind::kRadio},
    {kCmdWrapMapping, kMenuTextureEdit, false, false, "一周ﾏｯﾋﾟﾝｸﾞ(&L)", "", MarkKind::kRadio},
    {kCmdApplyMapping, kMenuTextureEdit, false, true, "適用(&E)", ""},
    {kCmdUnapplyMapping, kMenuTextureEdit, false, false, "適用解除(&C)", ""},
    {kCmdMapParts, kMenuTextureEdit, false, true, "パーツ(&R)", ""},
    {kCmdMapWhole, kMenuTextureEdit, false, false, "全体(&A)", ""},
    {kCmdCopyToAllParts, kMenuTextureEdit, false, true, "すべてのﾊﾟｰﾂにｺﾋﾟｰ(&O)", ""},
    {kCmdDialogTranslucent, kMenuDialogView, false, false, "半透明(&A)", "", MarkKind::kToggle},
    {kCmdDialogFillSolid, kMenuDialogView, false, true, "面(&S)", "", MarkKind::kRadio},
    {kCmdDialogFillWireframe, kMenuDialogView, false, false, "ﾜｲﾔｰﾌﾚｰﾑ(&W)", "", MarkKind::kRadio},
    {kCmdDialogFillPoints, kMenuDialogView, false, false, "点(&P)", "", MarkKind::kRadio},
    {kCmdResetUnitPose, kMenuUnitEdit, false, false, "角度・移動・ｽｹｰﾙのﾘｾｯﾄ", ""},
};

struct StepInfo {
  int id;
  std::string_view name;
};
constexpr StepInfo kSteps[] = {
    {kCmdAddUnit, "ユニットの追加"},
    {kCmdDeleteUnits, "ユニットの削除"},
    {kCmdEditUnit, "ユニットの編集"},
    {kCmdCopyUnit, "ユニットのコピー・交換"},
    {kCmdTextureColour, "テクスチャ・色の設定"},
    {kCmdAddMotion, "モーションの追加"},
    {kCmdDeleteMotion, "モーションの削除"},
    {kCmdReorderMotions, "モーションの並び替え・削除"},
    {kCmdKeyFrames, "キーフレーム"},
    {kCmdEditAnims, "アニメの追加と削除"},
    {kCmdSizePosition, "サイズ変更"},
    {kCmdRotate, "回転"},
    {kCmdFlipCulling, "カリング反転"},
    {kCmdRecomputeNormals, "法線再計算"},
    {kCmdRecomputeBounds, "中心点・ボックス再計算"},
    {kCmdTriangulate, "三角形ポリゴンに変換"},
    {kCmdShiftFaces, "面番号を1つずらす"},
    {kCmdFreezePose, "現在のポーズを固定"},
    {kCmdDrawOrder, "パーツの描画順序変更"},
    {kStepRenameNode, "名前の変更"},
    {kStepDropNodes, "ユニットの移動"},
    {kStepExportX, "X ファイルへの保存"},
};

struct Direction {
  int id;
  float yaw;
  float pitch;
};
constexpr Direction kDirections[] = {
    {kCmdViewFront, 0.0f, -1.0f},  {kCmdViewBack, 180.0f, -1.0f}, {kCmdViewLeft, 270.0f, -1.0f},
    {kCmdViewRight, 90.0f, -1.0f}, {kCmdViewTop, -1.0f, 270.0f},  {kCmdViewBottom, -1.0f, -270.0f},
};

bool MotionsToPlay(const Model& model) { return model.motion_count > 1; }

int SelectedNode(const Model& model) {
  const int node = model.forest.Selected();
  return node >= 0 && node < model.node_count ? node : -1;
}

bool AnyUnitTicked(const Model& model) {
  for (int node = model.parts_count; node < model.node_count; ++node) {
    if (model.forest.Contains(node) && model.forest.at(node).ticked) return true;
  }
  return false;
}

}  // namespace

int DirectionCommand(const ViewState& view) {
  for (const Direction& d : kDirections) {
    if (d.id != kCmdViewBottom && view.view_yaw == d.yaw && view.view_pitch == d.pitch) return d.id;
  }
  return kCmdViewBottom;
}

std::span<const CommandInfo> CommandTable() { return kCommands; }

const CommandInfo* FindCommand(int id) {
  for (const CommandInfo& command : kCommands) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

std::string_view StepName(int id) {
  for (const StepInfo& step : kSteps) {
    if (step.id == id) return step.name;
  }
  return {};
}

std::string UndoItemLabel(int id, std::string_view step_name) {
  const CommandInfo* command = FindCommand(id);
  if (command == nullptr) return {};
  std::string label(command->label);
  if (step_name.empty()) return label;
  const size_t mnemonic = label.find("(&");
  label.insert(mnemonic == std::string::npos ? label.find('\t') : mnemonic,
               std::string(": ").append(step_name));
  return label;
}

std::string_view MenuTitle(MenuIndex menu) {
  return menu >= 0 && menu < kMenuTableCount ? kMenuTitles[menu] : std::string_view();
}

int MainViewCommand(int id) {
  switch (id) {
    case kCmdDialogTranslucent:
      return kCmdSemiTransparent;
    case kCmdDialogFillSolid:
      return kCmdFillSolid;
    case kCmdDialogFillWireframe:
      return kCmdFillWireframe;
    case kCmdDialogFillPoints:
      return kCmdFillPoints;
    default:
      return id;
  }
}

bool MenuEnabled(const Model& model, const ViewState&, MenuFacts facts, MenuIndex menu) {
  switch (menu) {
    case kMenuFile:
    case kMenuEdit:
    case kMenuDirection:
    case kMenuHelp:
      return true;
    case kMenuAnim:
      return facts.model_loaded && MotionsToPlay(model);
    default:
      return facts.model_loaded && menu > kMenuFile && menu < kMenuCount;
  }
}

bool SpeedSubmenuEnabled(const Model& model, const ViewState& view, MenuFacts facts) {
  return MenuEnabled(model, view, facts, kMenuAnim);
}

bool CommandEnabled(const Model& model, const ViewState& view, MenuFacts facts, int id) {
  const CommandInfo* command = FindCommand(id);
  if (command == nullptr) return false;
  switch (id) {
    case kCmdOpen:
    case kCmdImportSkeleton:
    case kCmdExit:
    case kCmdHelp:
    case kCmdAbout:
      return true;
    case kCmdUndo:
      return facts.can_undo;
    case kCmdRedo:
      return facts.can_redo;
    default:
      break;
  }
  if (!facts.model_loaded || !MenuEnabled(model, view, facts, command->menu)) return false;
  const int selected = SelectedNode(model);
  switch (id) {
    case kCmdDeleteUnits:
      return model.IsUnitNode(selected) || AnyUnitTicked(model);
    case kCmdEditUnit:
      return model.IsUnitNode(selected);
    case kCmdTextureColour:
      return selected >= 0 && !model.IsUnitNode(selected);
    case kCmdCopyUnit:
      return model.unit_count() > 0;
    case kCmdDeleteMotion:
    case kCmdReorderMotions:
    case kCmdKeyFrames:
      return MotionsToPlay(model);
    case kCmdChooseAnim:
      return model.anim_count > 0;
    case kCmdTriangulate:
      return model.all_triangles == 0;
    case kCmdFreezePose:
      return model.unit_count() > 0;
    default:
      return true;
  }
}

bool CommandChecked(const Model&, const ViewState& view, MenuFacts facts, int id) {
  if (id == kCmdImportSkeleton) return facts.import_skeleton;
  if (!facts.model_loaded) return false;
  switch (id) {
    case kCmdSemiTransparent:
      return view.part_alpha == 128;
    case kCmdTextureLook:
      return view.texture_colour_on;
    case kCmdGround:
      return view.ground_on;
    case kCmdPlayStop:
      return view.playing;
    case kCmdSpeed100:
      return view.play_period_ms == 100;
    case kCmdSpeed200:
      return view.play_period_ms == 200;
    case kCmdSpeed300:
      return view.play_period_ms == 300;
    case kCmdSpeed500:
      return view.play_period_ms == 500;
    case kCmdFillSolid:
      return view.fill_mode == kFillSolid;
    case kCmdFillWireframe:
      return view.fill_mode == kFillWireframe;
    case kCmdFillPoints:
      return view.fill_mode != kFillSolid && view.fill_mode != kFillWireframe;
    default:
      break;
  }
  switch (id) {
    case kCmdPerspective:
      return view.perspective;
    case kCmdHeadlight:
      return view.headlight;
    case kCmdWeightDisplay:
      return view.weight_display;
    default:
      break;
  }
  if (id >= kCmdViewFront && id <= kCmdViewBottom) {
    return !view.free_camera.active && DirectionCommand(view) == id;
  }
  return false;
}

ViewCommandEffect ApplyViewCommand(int id, ViewState& view, RenderContext& render) {
  ViewCommandEffect effect;
  effect.handled = true;
  switch (id) {
    case kCmdSpeed100:
    case kCmdSpeed200:
    case kCmdSpeed300:
    case kCmdSpeed500: {
      static constexpr int32_t kPeriods[] = {100, 200, 300, 500};
      effect.restart_timer =
          ChangePlaybackSpeed(kPeriods[id - kCmdSpeed100], view.playing, view.play_period_ms);
      return effect;
    }
    case kCmdSemiTransparent:
      if (view.part_alpha == 128) {
        view.part_alpha = 255;
      } else {
        view.part_alpha = 128;
        view.texture_colour_on = false;
      }
      effect.regenerate_thumbnail = true;
      return effect;
    case kCmdTextureLook:
      view.texture_colour_on = !view.texture_colour_on;
      if (view.texture_colour_on) {
        view.part_alpha = 255;
      } else {
        SetDefaultMaterial(render, 0.7f, 0.7f, 0.7f);
      }
      effect.regenerate_thumbnail = true;
      return effect;
    case kCmdGround:
    case kCmdPerspective:
    case kCmdHeadlight:
    case kCmdWeightDisplay: {
      bool& on = id == kCmdGround        ? view.ground_on
                 : id == kCmdPerspective ? view.perspective
                 : id == kCmdHeadlight   ? view.headlight
                                         : view.weight_display;
      on = !on;
      effect.redraw = true;
      return effect;
    }
    case kCmdFillSolid:
    case kCmdFillWireframe:
    case kCmdFillPoints:
      view.fill_mode = id == kCmdFillSolid       ? kFillSolid
                       : id == kCmdFillWireframe ? kFillWireframe
                                                 : kFillPoint;
      effect.regenerate_thumbnail = true;
      return effect;
    case kCmdFixedView:
      view.free_camera.active = false;
      effect.redraw = true;
      return effect;
    default:
      break;
  }
  for (const Direction& d : kDirections) {
    if (d.id == id) {
      view.free_camera.active = false;
      view.view_yaw = d.yaw;
      view.view_pitch = d.pitch;
      effect.redraw = true;
      return effect;
    }
  }
  return ViewCommandEffect{};
}

}  // namespace vorna
