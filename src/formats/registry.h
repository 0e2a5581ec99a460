// Every model file format in one table: what it is called, which extensions it has, the
// loaded_type a read gives, its reader and writer, how the file dialogs list it and what a save
// in it asks. Adding a format is one row here plus its reader and writer files; the open and
// save flow, the unit tree, the file dialogs and the command line read everything else from the
// table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/save_options.h"
#include "io/read_error.h"
#include "io/read_options.h"
#include "io/write_error.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

enum class ModelFormat {
  kVrnText,
  kVrnBinary,
  kVr2Text,
  kVr2Binary,
  kDxf,
  kTextPolygon,
  kX,
  kGlb,
  kGltf,
  // Other tools' files, read through the import helper (formats/helper_import.h).
  kFbx,
  kCollada,
  kMilkshape,
  kSmd,
  kMd5,
  kObj,
  kPly,
  kStl,
  k3ds,
};

// What a save in a format asks before it writes.
enum class SaveDialog {
  kNone,        // nothing: it writes at once
  kSaveFormat,  // the save-format dialog: text or binary form, and four things to leave out
  kXExport,     // the X export dialog, which writes by itself
};

using FormatReader = bool (*)(Model& model, const std::string& path, Host& host,
                              const ReadOptions& options, ReadError* error);
// Every writer reads the options that concern its format and reports a failure as `error`
// (may be null); `host` carries the notices some writers give on the way (the X export's).
using FormatWriter = bool (*)(Model& model, const std::string& path, const SaveOptions& options,
                              Host& host, WriteError* error);

// A further name on the command line for a format with one of its options set ("x-binary").
struct CliVariant {
  const char* cli_name;
  void (*apply)(SaveOptions& options);
};

struct FormatRow {
  ModelFormat format;
  const char* name;      // for people: "VRN text"
  const char* cli_name;  // vorna-cli's --format / --to value
  std::span<const CliVariant> cli_variants;
  // Lower case, without the dot; the first is the one a new file gets.
  std::span<const char* const> extensions;
  // What a read sets as the Model's loaded_type: fixed numbers, as `vorna-cli info --json`
  // prints them (rows may share one).
  int32_t loaded_type;
  // Rows that share an extension are tried in table order, each after the one before refused.
  FormatReader read;
  FormatWriter write;  // null: no writer
  // The open dialog's type: rows with the same label share one entry listing all their
  // extensions. `open_in_all_models`: listed in the first entry, which gathers the model types.
  const char* open_label;
  bool open_in_all_models;
  // The save-as dialog's type label; null: not offered there (a binary form is chosen in the
  // save-format dialog of its text form).
  const char* save_label;
  // The binary form of a text format, chosen in its save-format dialog; the row's own format
  // when it has none.
  ModelFormat binary_form;
  // The file names texture files, so a save writes embedded textures beside it and copies the
  // named files when it goes to another folder.
  bool names_textures;
  // Read into the VRN form (per-corner texture coordinates move to the vertices), which the
  // editor tells the user after a load.
  bool read_in_vrn_form = false;
  // The dialog save as opens for this format, and its title where it has its own.
  SaveDialog save_dialog = SaveDialog::kNone;
  const char* save_dialog_title = nullptr;
  // Overwrite save opens that dialog too; otherwise it writes with every option on.
  bool overwrite_opens_dialog = false;
  // Save as follows a failed write with "保存できません"; not where the writer's own message
  // says enough.
  bool save_as_reports_failure = true;
  // The failures of its own file that a save in this format names before "保存できません":
  // a file that cannot be created ("ファイルを作成できません") and one that cannot be written
  // ("ファイルを保存できません").
  bool names_create_failure = false;
  bool names_write_failure = false;
  // The file can carry skeletons, skins and animations for the skeletal import, and whether
  // they are read when ReadOptions::skeleton does not say.
  bool reads_skeletons = false;
  bool skeleton_by_default = false;
};

// Every row, in the order the dialogs list them.
std::span<const FormatRow> FormatRows();
const FormatRow& RowOf(ModelFormat format);
// The row named `cli_name` on the command line, by its own name or one of its variants'; `apply`
// (may be null) gets the variant's option setter, or null for the row's own name.
const FormatRow* RowByCliName(const std::string& cli_name,
                              void (**apply)(SaveOptions& options) = nullptr);
// The first row with a writer that takes files with this extension (from `path`'s file name).
const FormatRow* WritableRowForPath(const std::string& path);
// The row a model read as `loaded_type` from `file_name` came from: among the rows with that
// loaded_type the one whose extension the name has, else the first; null for kLoadedNone.
const FormatRow* RowOfLoaded(int32_t loaded_type, const std::string& file_name);

// The lower-case extension after the last '.' of the file name (not of a folder), or "".
std::string ExtensionOf(const std::string& path);

// The file dialogs' filters ("label (*.a *.b)"), in the order the dialogs show them. The open
// dialog's first entry gathers the model types and its last is every file.
std::vector<std::string> OpenDialogFilters();
std::vector<std::string> SaveDialogFilters();
// What a 1-based filter index of those dialogs stands for: the first row of the entry, or null
// for the open dialog's first and last entries and for indices out of range.
const FormatRow* OpenFilterRow(int filter_index);
const FormatRow* SaveFilterRow(int filter_index);
// The type a save as under `name` writes: the one whose extension the name has when that is one
// of the offered types (so that "export.x" never holds a VRN file), else the chosen entry's.
const FormatRow* SaveRowForName(const std::string& name, int filter_index);
// The dialogs' index of the entry that lists a format (for the save-as dialog, a binary form
// is listed by its text form), 0 when none does.
int OpenFilterIndex(ModelFormat format);
int SaveFilterIndex(ModelFormat format);

// Reads `path` with the readers its extension picks, ignoring case, and sets loaded_type. A path
// without a reader fails without touching the Model; a reader that fails has reset it. When every
// reader of the extension refused, `error` says why each did. A stop asked through
// options.progress ends the read at once with ReadErrorKind::kCancelled and the Model reset.
bool ReadModelFile(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                   ReadError* error);
// Whether ReadModelFile hands `path` to a reader: it names a file whose extension has one. When
// not, `error` (may be null) says why and ReadModelFile would fail without touching the Model.
bool HasReaderFor(const std::string& path, ReadError* error = nullptr);

// Writes `model` to `path` in `format` with the options that concern it, then, for formats that
// name texture files, the texture files beside it (beside_files.h, planned before the model is
// written): the one way every save goes. False, with `error` (may be null) saying what failed
// and which file, when the format has no writer, a texture file would replace another file or a
// file cannot be written. Success clears `modified`.
bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host, WriteError* error = nullptr);

}  // namespace vorna
