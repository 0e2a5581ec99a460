// The editor's menu bar as data: every command with its menu, label and key, and the rules that
// enable and check the items from the editor's state. The window builds its menus from this
// table and asks it for each item's state; it keeps no rule of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "model/model.h"
#include "render/camera.h"
#include "render/view_state.h"

namespace vorna {

// Command ids, shared by menus, keys and the Motion strip's buttons.
enum CommandId : int {
  kCmdOpen = 40001,
  kCmdSave = 40002,
  kCmdSaveAs = 40003,
  kCmdClose = 40004,
  kCmdExit = 40005,
  kCmdAddUnit = 40006,
  kCmdDeleteUnits = 40007,
  kCmdEditUnit = 40008,
  kCmdCopyUnit = 40009,
  kCmdTextureColour = 40010,
  kCmdTickAll = 40011,
  kCmdClearTicks = 40012,
  kCmdAddMotion = 40013,
  kCmdDeleteMotion = 40014,
  kCmdReorderMotions = 40015,
  kCmdKeyFrames = 40016,
  kCmdSpeed100 = 40017,
  kCmdSpeed200 = 40018,
  kCmdSpeed300 = 40019,
  kCmdSpeed500 = 40020,
  kCmdEditAnims = 40021,
  kCmdChooseAnim = 40022,
  kCmdPlayStop = 40023,
  kCmdSizePosition = 40024,
  kCmdRotate = 40025,
  kCmdFlipCulling = 40026,
  kCmdRecomputeNormals = 40028,
  kCmdRecomputeBounds = 40029,
  kCmdTriangulate = 40030,
  kCmdShiftFaces = 40031,
  kCmdDrawOrder = 40032,
  kCmdSemiTransparent = 40033,
  kCmdTextureLook = 40034,
  kCmdGround = 40035,
  kCmdFillSolid = 40036,
  kCmdFillWireframe = 40037,
  kCmdFillPoints = 40038,
  kCmdViewFront = 40039,
  kCmdViewBack = 40040,
  kCmdViewLeft = 40041,
  kCmdViewRight = 40042,
  kCmdViewTop = 40043,
  kCmdViewBottom = 40044,
  kCmdHelp = 40045,
  kCmdAbout = 40046,
  kCmdFreezePose = 40047,
  kCmdUndo = 40048,
  kCmdRedo = 40049,
  kCmdFixedView = 40050,
  kCmdPerspective = 40051,
  kCmdHeadlight = 40052,
  kCmdWeightDisplay = 40053,
  kCmdImportSkeleton = 40054,
  // The texture dialog's own menus (the mapping kinds and the fill items in this order).
  kCmdOpenImage = 40101,
  kCmdSaveImage = 40102,
  kCmdPlanarMapping = 40103,
  kCmdSphericalMapping = 40104,
  kCmdWrapMapping = 40105,
  kCmdApplyMapping = 40106,
  kCmdUnapplyMapping = 40107,
  kCmdMapParts = 40108,
  kCmdMapWhole = 40109,
  kCmdCopyToAllParts = 40110,
  // The view menu the texture and unit dialogs share.
  kCmdDialogTranslucent = 40111,
  kCmdDialogFillSolid = 40112,
  kCmdDialogFillWireframe = 40113,
  kCmdDialogFillPoints = 40114,
  // The unit dialog's own menu.
  kCmdResetUnitPose = 40115,
  // Edits made in the tree rather than from a menu, named as undoable steps.
  kStepRenameNode = 40201,
  kStepDropNodes = 40202,
  kStepExportX = 40203,
  kCmdMotionButton = 10000,  // + Motion number, 0 .. 255
};

// The menu bar's popups, in their order.
enum MenuIndex : int {
  kMenuFile,
  kMenuEdit,
  kMenuItem,
  kMenuMotion,
  kMenuAnim,
  kMenuModel,
  kMenuDrawOrder,
  kMenuView,
  kMenuDirection,
  kMenuHelp,
  kMenuCount,
  // The editing dialogs' menu bars, built from the same table.
  kMenuTextureFile = kMenuCount,
  kMenuTextureEdit,
  kMenuDialogView,
  kMenuUnitEdit,
  kMenuTableCount,
};

// Items of one group carry a radio mark; a toggle carries a check mark.
enum class MarkKind : uint8_t { kNone, kToggle, kRadio };

struct CommandInfo {
  int id = 0;
  MenuIndex menu = kMenuFile;
  bool in_speed_submenu = false;  // inside the anim popup's "再生速度(&E)" submenu
  bool separator_before = false;
  // The label as the menu shows it: '&' marks the mnemonic, the text after a tab names the key.
  std::string_view label;
  // The key that runs the command from anywhere in the window ("" for none), in the notation of
  // the toolkit's key sequences. The delete key is the tree's own and is not listed here.
  std::string_view key;
  MarkKind mark = MarkKind::kNone;
  // A second key for the same command ("" for none).
  std::string_view alternate_key;
};

std::span<const CommandInfo> CommandTable();
const CommandInfo* FindCommand(int id);
std::string_view MenuTitle(MenuIndex menu);
// The view command of the main menu that a dialog's view item stands for; other ids unchanged.
int MainViewCommand(int id);
inline constexpr std::string_view kSpeedSubmenuTitle = "再生速度(&E)";

// The name of the undoable step a command or tree edit records ("サイズ変更"), "" for commands
// that change nothing in the Model worth undoing.
std::string_view StepName(int id);
// The undo or redo item's label naming the step it would take back or do again
// ("元に戻す: サイズ変更(&U)\tCtrl+Z"); without a step the plain label.
std::string UndoItemLabel(int id, std::string_view step_name);

// What the menu rules read besides the Model and the view state.
struct MenuFacts {
  bool model_loaded = false;
  bool can_undo = false;
  bool can_redo = false;
  // The skeleton item's mark (file_commands.h, SkeletonImportShown).
  bool import_skeleton = false;
};

// Whether a popup of the menu bar can be opened.
bool MenuEnabled(const Model& model, const ViewState& view, MenuFacts facts, MenuIndex menu);
bool SpeedSubmenuEnabled(const Model& model, const ViewState& view, MenuFacts facts);
// Whether a command's item is enabled (and so whether its key works).
bool CommandEnabled(const Model& model, const ViewState& view, MenuFacts facts, int id);
// Whether a command's item carries its check or radio mark. Marks are shown only with a model,
// except the skeleton item's, which says how the next file is read.
bool CommandChecked(const Model& model, const ViewState& view, MenuFacts facts, int id);

// The direction item of the fixed view the angles call for (the bottom view takes every pair
// that is none of the other five).
int DirectionCommand(const ViewState& view);

// What the window has to do after a view command changed the view state.
struct ViewCommandEffect {
  bool handled = false;
  bool redraw = false;
  // Remake the current Motion's thumbnail (which also stops playback and turns the view to the
  // front) and repaint the strip.
  bool regenerate_thumbnail = false;
  bool restart_timer = false;  // playing, and the period changed
};

// The speed, look, ground, fill, direction and camera commands. A direction, like the fixed view
// command, leaves the free camera. Other ids are not handled.
ViewCommandEffect ApplyViewCommand(int id, ViewState& view, RenderContext& render);

}  // namespace vorna
