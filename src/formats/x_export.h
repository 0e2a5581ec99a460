// .x files (".x"), written: the unit hierarchy as frames, the Parts as meshes with materials and
// texture names (optionally one skinned mesh per root Unit with per-Unit skin weights), and the
// Motions as animation sets, in text, binary or compressed binary.
//
// The export changes the Model first: every quad becomes two triangles for good, and with skin a
// Model with top-level Parts gets them (and the top-level Units) grouped under one new Unit.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "formats/xfile/document.h"
#include "formats/xfile/writer.h"
#include "model/hierarchy_edit.h"
#include "model/host.h"
#include "model/model.h"

namespace vorna {

// The file service's own format codes.
enum class XFileFormat : uint32_t { kBinary = 0, kText = 1, kCompressedBinary = 2 };

// One interval per entry of the export dialog's list (the Motions of each Anim, plus one for
// its loop). Entries past the table's end have no slot of their own and use its last slot.
inline constexpr int kKeyIntervalSlots = 999;
// What the export dialog and the command line accept: ticks from one key to the next and ticks
// per second, each from 1, with their defaults.
inline constexpr uint32_t kMaxXKeyInterval = 1000;
inline constexpr uint32_t kMaxXTicksPerSecond = 4800000;
inline constexpr uint32_t kDefaultXKeyInterval = 30;
inline constexpr uint32_t kDefaultXTicksPerSecond = 240;

struct XExportOptions {
  uint8_t loop = 0;  // the "ALL" set repeats its first Motion as a last key (no Anim only)
  uint8_t skin = 0;  // skinned meshes, one per root Unit, instead of one mesh per Unit
  std::array<uint32_t, kKeyIntervalSlots> key_intervals = FilledIntervals(kDefaultXKeyInterval);
  uint32_t ticks_per_second = kDefaultXTicksPerSecond;
  XFileFormat format = XFileFormat::kText;
  std::string file_name;
  // Told the bytes written; a stop before the rename leaves the old file as it was.
  ProgressCallback progress;

  static std::array<uint32_t, kKeyIntervalSlots> FilledIntervals(uint32_t ticks) {
    std::array<uint32_t, kKeyIntervalSlots> a;
    a.fill(ticks);
    return a;
  }
};

struct XExportDocument {
  xfile::Document document;
  xfile::WriteOptions write;  // encoding and the templates to declare
};

// Triangulates the Model, groups loose nodes for skin (a refusal is shown and the loose Parts
// stay out of every skinned mesh), and builds the object tree the file holds.
XExportDocument BuildXDocument(Model& model, const XExportOptions& options, Host& host);

// Builds the document, encodes it and saves it atomically to options.file_name. Returns a
// negative status when the file cannot be encoded, created or written (no message: the caller
// shows "保存できません"), 0 otherwise.
int ExportX(Model& model, const XExportOptions& options, Host& host);

}  // namespace vorna
