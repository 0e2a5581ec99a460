// The file dialogs of the texture dialog's "ﾌｧｲﾙ" menu: choosing a Part's texture image (with the
// offer to copy it beside the model) and saving the view's picture as an image file. The rules
// (filters, extensions, the copy, the encoders) are the core's; these functions only ask.
#pragma once

#include <QFileDialog>

#include "model/host.h"
#include "model/model.h"
#include "render/camera.h"

namespace vorna {

// The texture dialog's "開く(&O)...": asks for an image for Part `part` (six filters), offers to
// copy it beside the model, loads it. True when a file was chosen: the Part's texture_file was
// set (perhaps to the name it had) and its texture loaded again; false on cancel.
bool ChooseTextureImage(QWidget* owner, Model& model, Host& host, int part);
// The texture dialog's "名前を付けて保存(&A)..": saves the view's picture as an image file.
void ExportViewImage(QWidget* owner, const Model& model, const RenderContext& render, Host& host);

// The image open dialog, not yet shown: the six filters with the first selected, in `directory`.
QFileDialog* CreateTextureOpenDialog(QWidget* owner, const QString& directory);
// The image save dialog, not yet shown: in `directory`, the five file types with the first
// selected. A name typed without a dot gets the selected type's extension before the overwrite
// question.
QFileDialog* CreateImageExportDialog(QWidget* owner, const QString& directory);

// What the user chose in either dialog: the typed path and the 1-based filter index.
struct FileChoice {
  std::string path;
  int filter_index = 0;
};
// Runs `dialog` (and deletes it); nothing on cancel.
bool RunFileDialog(QFileDialog* dialog, FileChoice* choice);

// The steps after each dialog, for a choice already made.
bool UseChosenTextureImage(const FileChoice& choice, Model& model, Host& host, int part);
// Saves the view as the chosen file; a failed write shows "保存できません". False when nothing
// was saved.
bool SaveChosenViewImage(const FileChoice& choice, const RenderContext& render, Host& host);

}  // namespace vorna
