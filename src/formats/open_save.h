// Getting a model file into the Model and back out, without dialogs: the reader chosen by
// extension with the steps after every load, the writers chosen by format, the save-format
// choice and the writer an overwrite save uses. The dialogs themselves and the flows that show
// them are in editor/file_commands.h.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "formats/save_options.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The file formats we write.
enum class ModelFormat { kVrnText, kVrnBinary, kVr2Text, kVr2Binary, kDxf, kX, kGlb, kGltf };

// The window's own steps among those after a load, called in this order; any may be empty.
struct LoadHooks {
  // The fit's unit markers: the renderer multiplies its marker meshes by the new model size.
  std::function<void(double model_size)> scale_markers;
  // Once the forest is rebuilt and all_triangles checked: rebuild the unit tree from the forest,
  // enable the model menus, update the selection state and remove every Motion button.
  std::function<void(const Model&)> model_replaced;
  // For every Motion m from 0 up, once current_motion is m and the Motion is in use: add its
  // button and thumbnail.
  std::function<void(const Model&, int motion)> motion_added;
  // After the last Motion: resize the Motion pager and lay out the window again.
  std::function<void()> motions_ready;
};

struct LoadResult {
  bool ok = false;
  std::string error;  // why the load failed, for the command line and tests
  // A load that asked about unsaved edits and was told to keep the current Model: ok, nothing
  // loaded (editor/file_commands.h).
  bool kept_current = false;
  int32_t loaded_type = kLoadedNone;
  bool fit_offered = false;  // the model was larger than 1.7 and the fit was asked about
  bool fitted = false;       // ... and applied
  // Texture files that the model names but that are missing, each once, in Part order.
  std::vector<std::string> missing_textures;
};

// Loads `path` into `model`. A path that does not exist, has no extension or an extension no
// reader takes fails at once and leaves the Model untouched. The extension after the last '.'
// picks the reader, ignoring case: "vrn" the VRN text reader and, when it fails, the VRN binary
// reader; "vr2" likewise with the VR2 readers; "dxf", "txt" and "x" their readers. A reader
// that fails has reset the Model. After a successful read, in this order: loaded_type set; for
// VR2 files the notice that they are read in VRN form; modified cleared and draw_order the
// identity; model_dir and model_file_name from the path; for a model size above 1.7 the question
// whether to fit it to the window, and on Yes the fit (centred at the origin, largest extent 1.2,
// which sets modified again); the forest built and all_triangles checked (then
// hooks.model_replaced); at least one Motion, every one in use, current_motion the last (with
// hooks.motion_added for each, then hooks.motions_ready); and the missing texture files shown
// as one message, each distinct name once, the list cut short after 32 names.
LoadResult Load(Model& model, const std::string& path, Host& host, const ReadOptions& options = {},
                const LoadHooks& hooks = {});

// Writes `model` to `path` in `format`; the writer shows its own messages through `host`.
// Formats without a writer yet fail without a message. Success clears `modified`.
bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host);

// The lower-case extension after the last '.' of the file name (not of a folder), or "".
std::string ExtensionOf(const std::string& path);

// The two save-format dialogs, one per format family.
enum class SaveFamily { kVrn, kVr2 };

// What a save-format dialog holds: text (selected when it opens) or binary, and the four "なし"
// boxes (all unchecked when it opens).
struct SaveFormatChoice {
  bool binary = false;
  bool no_skin = false;
  bool no_translation = false;
  bool no_scale = false;
  bool no_anim = false;
  // Each option is the inverse of its box.
  SaveOptions Options() const { return {!no_skin, !no_translation, !no_scale, !no_anim}; }
};

ModelFormat FormatOf(SaveFamily family, bool binary);

// OK of a save-format dialog: the chosen writer with the chosen options; when it fails,
// "保存できません" follows the writer's own message.
bool SaveWithChoice(Model& model, const std::string& path, SaveFamily family,
                    const SaveFormatChoice& choice, Host& host);

// What an overwrite save does, decided by how the model was loaded.
enum class OverwriteAction {
  kWrite,    // the format's writer, every option on
  kExportX,  // the X export dialog for the path
  kSaveAs,   // no writer for the loaded format, or nothing loaded: save as instead
};

struct OverwritePlan {
  OverwriteAction action = OverwriteAction::kSaveAs;
  ModelFormat format = ModelFormat::kVrnText;  // for kWrite
  std::string path;                            // model_dir + model_file_name
};

OverwritePlan PlanOverwriteSave(const Model& model);

}  // namespace vorna
