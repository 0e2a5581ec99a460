#include "formats/registry.h"

#include <algorithm>
#include <cctype>

#include "formats/beside_files.h"
#include "formats/dxf.h"
#include "formats/gltf_export.h"
#include "formats/gltf_import.h"
#include "formats/helper_import.h"
#include "formats/text_polygon.h"
#include "formats/vr2_binary.h"
#include "formats/vr2_text.h"
#include "formats/vrn_binary.h"
#include "formats/vrn_text.h"
#include "formats/x_export.h"
#include "formats/x_import.h"
#include "model/file_paths.h"

namespace vorna {

namespace {

template <bool binary>
bool WriteGltf(Model& model, const std::string& path, const SaveOptions& options, Host&,
               WriteError* error) {
  return ExportGltf(model, path, binary, options, error);
}

void XBinary(SaveOptions& options) { options.x.format = XFileFormat::kBinary; }
void XCompressed(SaveOptions& options) { options.x.format = XFileFormat::kCompressedBinary; }
constexpr CliVariant kXVariants[] = {{"x-binary", XBinary}, {"x-compressed", XCompressed}};

constexpr const char* kVrn[] = {"vrn"};
constexpr const char* kVr2[] = {"vr2"};
constexpr const char* kDxf[] = {"dxf"};
constexpr const char* kTxt[] = {"txt"};
constexpr const char* kX[] = {"x"};
constexpr const char* kGlb[] = {"glb"};
constexpr const char* kGltf[] = {"gltf"};
constexpr const char* kFbx[] = {"fbx"};
constexpr const char* kDae[] = {"dae", "zae"};
constexpr const char* kMs3d[] = {"ms3d"};
constexpr const char* kSmd[] = {"smd"};
constexpr const char* kMd5[] = {"md5mesh"};
constexpr const char* kObj[] = {"obj"};
constexpr const char* kPly[] = {"ply"};
constexpr const char* kStl[] = {"stl"};
constexpr const char* k3ds[] = {"3ds"};

using F = ModelFormat;

const FormatRow kRows[] = {
    {.format = F::kVrnText,
     .name = "VRN text",
     .cli_name = "vrn",
     .extensions = kVrn,
     .loaded_type = 1,
     .read = ReadVrnText,
     .write = WriteVrnText,
     .open_label = "VRNﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "VRNファイル",
     .binary_form = F::kVrnBinary,
     .names_textures = true,
     .read_in_vrn_form = false,
     .save_dialog = SaveDialog::kSaveFormat,
     .save_dialog_title = "VRNﾌｧｲﾙの保存形式",
     .names_create_failure = true,
     .names_write_failure = true},
    {.format = F::kVrnBinary,
     .name = "VRN binary",
     .cli_name = "vrn-binary",
     .extensions = kVrn,
     .loaded_type = 2,
     .read = ReadVrnBinary,
     .write = WriteVrnBinary,
     .open_label = "VRNﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kVrnBinary,
     .names_textures = true,
     .read_in_vrn_form = false,
     .save_dialog = SaveDialog::kSaveFormat,
     .save_dialog_title = "VRNﾌｧｲﾙの保存形式",
     .names_create_failure = true},
    {.format = F::kVr2Text,
     .name = "VR2 text",
     .cli_name = "vr2",
     .extensions = kVr2,
     .loaded_type = 6,
     .read = ReadVr2Text,
     .write = WriteVr2Text,
     .open_label = "VRNﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "VR2ファイル",
     .binary_form = F::kVr2Binary,
     .names_textures = true,
     .read_in_vrn_form = true,
     .save_dialog = SaveDialog::kSaveFormat,
     .save_dialog_title = "VR2ﾌｧｲﾙの保存形式",
     .names_create_failure = true,
     .names_write_failure = true},
    {.format = F::kVr2Binary,
     .name = "VR2 binary",
     .cli_name = "vr2-binary",
     .extensions = kVr2,
     .loaded_type = 7,
     .read = ReadVr2Binary,
     .write = WriteVr2Binary,
     .open_label = "VRNﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kVr2Binary,
     .names_textures = true,
     .read_in_vrn_form = true,
     .save_dialog = SaveDialog::kSaveFormat,
     .save_dialog_title = "VR2ﾌｧｲﾙの保存形式",
     .names_create_failure = true},
    // Parts' geometry only.
    {.format = F::kDxf,
     .name = "DXF",
     .cli_name = "dxf",
     .extensions = kDxf,
     .loaded_type = 3,
     .read = ImportDxf,
     .write = ExportDxf,
     .open_label = "DXFﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "DXFファイル [モデルデータのみ]",
     .binary_form = F::kDxf,
     .names_textures = false,
     .read_in_vrn_form = false,
     .save_as_reports_failure = false,
     .names_create_failure = true,
     .names_write_failure = true},
    {.format = F::kTextPolygon,
     .name = "text polygon",
     .cli_name = "txt",
     .extensions = kTxt,
     .loaded_type = 4,
     .read = ReadTextPolygon,
     .write = nullptr,
     .open_label = "ﾃｷｽﾄﾌｧｲﾙ",
     .open_in_all_models = false,
     .save_label = nullptr,
     .binary_form = F::kTextPolygon,
     .names_textures = false,
     .read_in_vrn_form = false},
    {.format = F::kX,
     .name = "X file",
     .cli_name = "x",
     .cli_variants = kXVariants,
     .extensions = kX,
     .loaded_type = 5,
     .read = ImportX,
     .write = ExportX,
     .open_label = "Xﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "Xファイル",
     .binary_form = F::kX,
     .names_textures = true,
     .read_in_vrn_form = false,
     .save_dialog = SaveDialog::kXExport,
     .overwrite_opens_dialog = true,
     .reads_skeletons = true,
     .skeleton_by_default = false},
    {.format = F::kGlb,
     .name = "glTF binary",
     .cli_name = "glb",
     .extensions = kGlb,
     .loaded_type = 8,
     .read = ImportGltf,
     .write = WriteGltf<true>,
     .open_label = "glTFﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "glTFバイナリ",
     .binary_form = F::kGlb,
     .names_textures = false,
     .read_in_vrn_form = false,
     .reads_skeletons = true,
     .skeleton_by_default = true},
    {.format = F::kGltf,
     .name = "glTF",
     .cli_name = "gltf",
     .extensions = kGltf,
     .loaded_type = 8,
     .read = ImportGltf,
     .write = WriteGltf<false>,
     .open_label = "glTFﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = "glTFファイル",
     .binary_form = F::kGltf,
     .names_textures = false,
     .read_in_vrn_form = false,
     .reads_skeletons = true,
     .skeleton_by_default = true},
    // Other tools' files: read only, through the import helper, after their content check.
    {.format = F::kFbx,
     .name = "FBX",
     .cli_name = "fbx",
     .extensions = kFbx,
     .loaded_type = 9,
     .read = ImportFamilyFile<F::kFbx>,
     .write = nullptr,
     .open_label = "FBXﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kFbx,
     .names_textures = false},
    {.format = F::kCollada,
     .name = "COLLADA",
     .cli_name = "dae",
     .extensions = kDae,
     .loaded_type = 10,
     .read = ImportFamilyFile<F::kCollada>,
     .write = nullptr,
     .open_label = "COLLADAﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kCollada,
     .names_textures = false},
    {.format = F::kMilkshape,
     .name = "Milkshape 3D",
     .cli_name = "ms3d",
     .extensions = kMs3d,
     .loaded_type = 11,
     .read = ImportFamilyFile<F::kMilkshape>,
     .write = nullptr,
     .open_label = "Milkshape 3Dﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kMilkshape,
     .names_textures = false},
    {.format = F::kSmd,
     .name = "Source SMD",
     .cli_name = "smd",
     .extensions = kSmd,
     .loaded_type = 12,
     .read = ImportFamilyFile<F::kSmd>,
     .write = nullptr,
     .open_label = "SMDﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kSmd,
     .names_textures = false},
    {.format = F::kMd5,
     .name = "MD5",
     .cli_name = "md5mesh",
     .extensions = kMd5,
     .loaded_type = 13,
     .read = ImportFamilyFile<F::kMd5>,
     .write = nullptr,
     .open_label = "MD5ﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kMd5,
     .names_textures = false},
    {.format = F::kObj,
     .name = "OBJ",
     .cli_name = "obj",
     .extensions = kObj,
     .loaded_type = 14,
     .read = ImportFamilyFile<F::kObj>,
     .write = nullptr,
     .open_label = "OBJﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kObj,
     .names_textures = false},
    {.format = F::kPly,
     .name = "PLY",
     .cli_name = "ply",
     .extensions = kPly,
     .loaded_type = 15,
     .read = ImportFamilyFile<F::kPly>,
     .write = nullptr,
     .open_label = "PLYﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kPly,
     .names_textures = false},
    {.format = F::kStl,
     .name = "STL",
     .cli_name = "stl",
     .extensions = kStl,
     .loaded_type = 16,
     .read = ImportFamilyFile<F::kStl>,
     .write = nullptr,
     .open_label = "STLﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::kStl,
     .names_textures = false},
    {.format = F::k3ds,
     .name = "3D Studio",
     .cli_name = "3ds",
     .extensions = k3ds,
     .loaded_type = 17,
     .read = ImportFamilyFile<F::k3ds>,
     .write = nullptr,
     .open_label = "3DSﾌｧｲﾙ",
     .open_in_all_models = true,
     .save_label = nullptr,
     .binary_form = F::k3ds,
     .names_textures = false},
};

constexpr const char* kAllModelsLabel = "3Dﾓﾃﾞﾙﾌｧｲﾙ";
constexpr const char* kAllFilesFilter = "すべてのファイル (*)";

bool HasExtension(const FormatRow& row, const std::string& extension) {
  return std::find(row.extensions.begin(), row.extensions.end(), extension) != row.extensions.end();
}

// "label (*.a *.b)" with each extension once, in row order.
std::string Filter(const std::string& label, const std::vector<const char*>& extensions) {
  std::string text = label + " (";
  std::vector<std::string> seen;
  for (const char* e : extensions) {
    if (std::find(seen.begin(), seen.end(), e) != seen.end()) continue;
    text += (seen.empty() ? "*." : " *.") + std::string(e);
    seen.emplace_back(e);
  }
  return text + ")";
}

// The open dialog's typed entries (after the first): the first row of each distinct label.
std::vector<const FormatRow*> OpenEntries() {
  std::vector<const FormatRow*> entries;
  for (const FormatRow& row : kRows) {
    const bool listed = std::any_of(entries.begin(), entries.end(), [&row](const FormatRow* e) {
      return std::string(e->open_label) == row.open_label;
    });
    if (!listed) entries.push_back(&row);
  }
  return entries;
}

std::vector<const FormatRow*> SaveEntries() {
  std::vector<const FormatRow*> entries;
  for (const FormatRow& row : kRows) {
    if (row.save_label != nullptr) entries.push_back(&row);
  }
  return entries;
}

}  // namespace

std::span<const FormatRow> FormatRows() { return kRows; }

const FormatRow& RowOf(ModelFormat format) {
  for (const FormatRow& row : kRows) {
    if (row.format == format) return row;
  }
  return kRows[0];
}

const FormatRow* RowByCliName(const std::string& cli_name, void (**apply)(SaveOptions& options)) {
  for (const FormatRow& row : kRows) {
    const CliVariant* variant = nullptr;
    for (const CliVariant& v : row.cli_variants) {
      if (cli_name == v.cli_name) variant = &v;
    }
    if (cli_name != row.cli_name && variant == nullptr) continue;
    if (apply != nullptr) *apply = variant != nullptr ? variant->apply : nullptr;
    return &row;
  }
  return nullptr;
}

const FormatRow* WritableRowForPath(const std::string& path) {
  const std::string extension = ExtensionOf(path);
  for (const FormatRow& row : kRows) {
    if (row.write != nullptr && HasExtension(row, extension)) return &row;
  }
  return nullptr;
}

const FormatRow* RowOfLoaded(int32_t loaded_type, const std::string& file_name) {
  const FormatRow* first = nullptr;
  const std::string extension = ExtensionOf(file_name);
  for (const FormatRow& row : kRows) {
    if (row.loaded_type != loaded_type) continue;
    if (HasExtension(row, extension)) return &row;
    if (first == nullptr) first = &row;
  }
  return first;
}

std::string ExtensionOf(const std::string& path) {
  const std::string_view dot_extension = SplitPath(path).extension;
  if (dot_extension.empty()) return {};
  std::string extension(dot_extension.substr(1));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

std::vector<std::string> OpenDialogFilters() {
  std::vector<const char*> all_models;
  for (const FormatRow& row : kRows) {
    if (row.open_in_all_models)
      all_models.insert(all_models.end(), row.extensions.begin(), row.extensions.end());
  }
  std::vector<std::string> filters = {Filter(kAllModelsLabel, all_models)};
  for (const FormatRow* entry : OpenEntries()) {
    std::vector<const char*> extensions;
    for (const FormatRow& row : kRows) {
      if (std::string(row.open_label) == entry->open_label) {
        extensions.insert(extensions.end(), row.extensions.begin(), row.extensions.end());
      }
    }
    filters.push_back(Filter(entry->open_label, extensions));
  }
  filters.emplace_back(kAllFilesFilter);
  return filters;
}

std::vector<std::string> SaveDialogFilters() {
  std::vector<std::string> filters;
  for (const FormatRow* row : SaveEntries()) {
    filters.push_back(Filter(row->save_label, {row->extensions.begin(), row->extensions.end()}));
  }
  return filters;
}

const FormatRow* OpenFilterRow(int filter_index) {
  const std::vector<const FormatRow*> entries = OpenEntries();
  // Index 1 gathers the model types; the typed entries follow it.
  const int entry = filter_index - 2;
  if (entry < 0 || entry >= static_cast<int>(entries.size())) return nullptr;
  return entries[static_cast<size_t>(entry)];
}

const FormatRow* SaveFilterRow(int filter_index) {
  const std::vector<const FormatRow*> entries = SaveEntries();
  if (filter_index < 1 || filter_index > static_cast<int>(entries.size())) return nullptr;
  return entries[static_cast<size_t>(filter_index - 1)];
}

const FormatRow* SaveRowForName(const std::string& name, int filter_index) {
  const FormatRow* chosen = SaveFilterRow(filter_index);
  const std::string extension = ExtensionOf(name);
  if (chosen == nullptr || extension.empty() || HasExtension(*chosen, extension)) return chosen;
  for (const FormatRow* row : SaveEntries()) {
    if (HasExtension(*row, extension)) return row;
  }
  return chosen;
}

int OpenFilterIndex(ModelFormat format) {
  const std::vector<const FormatRow*> entries = OpenEntries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (std::string(entries[i]->open_label) == RowOf(format).open_label) {
      return static_cast<int>(i) + 2;
    }
  }
  return 0;
}

int SaveFilterIndex(ModelFormat format) {
  const std::vector<const FormatRow*> entries = SaveEntries();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i]->format == format || entries[i]->binary_form == format) {
      return static_cast<int>(i) + 1;
    }
  }
  return 0;
}

bool HasReaderFor(const std::string& path, ReadError* error) {
  if (path.empty() || !FileExists(path)) return Fail(error, ReadErrorKind::kIo, "no such file");
  const std::string extension = ExtensionOf(path);
  for (const FormatRow& row : kRows) {
    if (HasExtension(row, extension)) return true;
  }
  return Fail(error, ReadErrorKind::kNotThisFormat,
              extension.empty() ? "the file name has no extension"
                                : "no reader for ." + extension + " files");
}

bool ReadModelFile(Model& model, const std::string& path, Host& host, const ReadOptions& options,
                   ReadError* error) {
  if (!HasReaderFor(path, error)) return false;
  const std::string extension = ExtensionOf(path);
  std::vector<const FormatRow*> rows;
  for (const FormatRow& row : kRows) {
    if (HasExtension(row, extension)) rows.push_back(&row);
  }
  std::string reasons;
  ReadError last;
  for (const FormatRow* row : rows) {
    last = ReadError{};
    ReadOptions resolved = options;
    if (!resolved.skeleton && row->reads_skeletons) resolved.skeleton = row->skeleton_by_default;
    if (row->read(model, path, host, resolved, &last)) {
      model.loaded_type = row->loaded_type;
      return true;
    }
    // A stop is the caller's answer, not this reader's refusal: no other reader is tried.
    if (last.kind == ReadErrorKind::kCancelled) break;
    if (!reasons.empty()) reasons += "; ";
    reasons +=
        rows.size() > 1 ? "as " + std::string(row->name) + ": " + last.Describe() : last.Describe();
  }
  if (rows.size() == 1 || last.kind == ReadErrorKind::kCancelled) {
    if (error != nullptr) *error = last;
    return false;
  }
  return Fail(error, last.kind, reasons);
}

bool SaveModel(Model& model, const std::string& path, ModelFormat format,
               const SaveOptions& options, Host& host, WriteError* error) {
  const FormatRow& row = RowOf(format);
  if (row.write == nullptr) {
    return Fail(error, WriteErrorKind::kNoWriter, std::string(row.name) + " has no writer", path);
  }
  std::vector<BesideFile> textures;
  if (row.names_textures &&
      !PlanTextureFiles(model, DirectoryOf(path), &textures, options.beside, error)) {
    return false;
  }
  if (!row.write(model, path, options, host, error)) return false;
  for (const BesideFile& file : textures) {
    if (!WriteBesideFile(file, file.bytes, {}, error)) return false;
  }
  model.modified = 0;
  return true;
}

}  // namespace vorna
