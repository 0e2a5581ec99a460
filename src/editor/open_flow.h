// What the editor does around reading and writing a model file: the steps after every load (the
// VR2 notice, the fit question, the forest, the Motions, the missing-texture message), the
// save-format choice and what an overwrite save does. The formats themselves are in
// formats/registry.h; the dialogs and the commands that show them in editor/file_commands.h.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "animation/skeleton_import.h"
#include "formats/registry.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// Shown after any failed save, whichever format or command wrote it.
inline constexpr char kCannotSaveMessage[] = "保存できません";

// What the window does while a load runs, each at its moment; the defaults do nothing.
class LoadEvents {
 public:
  virtual ~LoadEvents() = default;
  // The fit was applied; `model_size` is the model's new size, for the unit markers.
  virtual void ModelFitted(double /*model_size*/) {}
  // The forest is rebuilt and all_triangles checked: the window shows the new model and
  // removes every Motion button.
  virtual void ModelReplaced(const Model& /*model*/) {}
  // For every Motion m from 0 up, once current_motion is m and the Motion is in use.
  virtual void MotionAdded(const Model& /*model*/, int /*motion*/) {}
  // After the last Motion, before the missing-texture message.
  virtual void MotionsReady() {}
};

struct LoadResult {
  bool ok = false;
  std::string error;  // why the load failed, for the command line and tests
  // The current Model was kept: the user chose to keep unsaved edits or stopped the read (ok,
  // editor/file_commands.h), or the file could not be read (not ok).
  bool kept_current = false;
  bool cancelled = false;  // ... because the read was stopped
  int32_t loaded_type = kLoadedNone;
  bool fit_offered = false;  // the model was larger than 1.7 and the fit was asked about
  bool fitted = false;       // ... and applied
  // Texture files that the model names but that are missing, each once, in Part order.
  std::vector<std::string> missing_textures;
  // What the skeletal import made and cost, when it gave the model its Units.
  std::optional<SkeletonReport> skeleton;
};

// Loads `path` into `model` with ReadModelFile . The file is read as a long task of `host` into a
// Model of its own, which replaces `model` only when the read succeeds: a read that fails leaves
// `model` as it was (kept_current set), and a read the user stops also shows nothing (cancelled).
// The reader's messages are shown once it has finished. After a successful read, in this order: for
// VR2 files the notice that they are read in VRN form; modified cleared and draw_order the
// identity; model_dir and model_file_name from the path; for a model that OffersFit the question
// whether to fit it to the window, and on Yes FitToWindow (which sets modified again); the forest
// built and all_triangles checked; at least one Motion, every one in use, current_motion the last;
// and the missing texture files shown as one message, each distinct name once, the list cut short
// after 32 names. `events` (may be null) follows along.
LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
                LoadEvents* events = nullptr);

// What a save-format dialog holds: text (selected when it opens) or binary, and the four "なし"
// boxes (all unchecked when it opens).
struct SaveFormatChoice {
  bool binary = false;
  bool no_skin = false;
  bool no_translation = false;
  bool no_scale = false;
  bool no_anim = false;
  // Each option is the inverse of its box.
  SaveOptions Options() const {
    SaveOptions options;
    options.skin = !no_skin;
    options.translation = !no_translation;
    options.scale = !no_scale;
    options.anim = !no_anim;
    return options;
  }
};

// Runs `write` as a long task of `host` on a copy of `model`, so that the window may go on
// drawing the Model on show meanwhile; `write` gets the copy, a Host whose messages are shown
// afterwards and the progress to hand to the writer. When the write ended (saved or failed) the
// copy, with what the writer changed, replaces `model`; when the user stopped it, `model` is
// left as it was, no message is shown and `cancelled` (may be null) is set. Returns what
// `write` returned, false when stopped.
bool WriteInBackground(Model& model, Host& host,
                       const std::function<bool(Model&, Host&, const ProgressCallback&)>& write,
                       bool* cancelled = nullptr);

// SaveModel through WriteInBackground; `error` (may be null) says why a save failed.
bool SaveModelInBackground(Model& model, const std::string& path, ModelFormat format,
                           const SaveOptions& options, Host& host, bool* cancelled = nullptr,
                           WriteError* error = nullptr);

// The one notice of what a save did beside the model (texture files copied into its folder,
// files written under another name), if it did anything.
void ReportBesideFiles(const BesideReport& report, Host& host);

// The one save flow every save of the editor goes through: SaveModelInBackground in `row`'s
// format, and a failure shown as the user sees it: for a failure of the model's own file the
// row's message for it, if it names that kind ("ファイルを作成できません" when the file cannot be
// created, "ファイルを保存できません" when it cannot be written, stop icon), then
// "保存できません" when `add_cannot_save`; a file beside it that the save would not replace is
// named first. A save the user stopped shows nothing and sets `cancelled` (may be null); a save
// that did something beside the model says so (ReportBesideFiles).
bool SaveAndReport(Model& model, const std::string& path, const FormatRow& row,
                   const SaveOptions& options, Host& host, bool add_cannot_save = true,
                   bool* cancelled = nullptr);

// OK of the save-format dialog of `row`: SaveAndReport in the row's format or its binary form,
// with the chosen options.
bool SaveWithChoice(Model& model, const std::string& path, const FormatRow& row,
                    const SaveFormatChoice& choice, Host& host, bool* cancelled = nullptr);

// What an overwrite save does, decided by the row of the format the model was loaded from.
enum class OverwriteAction {
  kWrite,       // the format's writer, every option on
  kOpenDialog,  // the format's save dialog for the path
  kSaveAs,      // no writer for the loaded format, or nothing loaded: save as instead
};

struct OverwritePlan {
  OverwriteAction action = OverwriteAction::kSaveAs;
  const FormatRow* row = nullptr;  // for kWrite and kOpenDialog
  std::string path;                // model_dir + model_file_name
};

OverwritePlan PlanOverwriteSave(const Model& model);

}  // namespace vorna
