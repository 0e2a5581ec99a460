// The file dialogs of the texture dialog's "ﾌｧｲﾙ" menu: choosing a Part's texture image (with the
// offer to copy it beside the model) and saving the view's picture as an image file. The rules
// (filters, extensions, the copy) are the core's; these functions only ask and report.
#pragma once

#include <QFileDialog>

#include "model/host.h"
#include "model/model.h"
#include "render/camera.h"

namespace vorna {

// The texture dialog's "開く(&O)...": asks for an image for Part `part` (six filters), offers to
// copy it beside the model, loads it. True when the Part's texture_file changed.
bool ChooseTextureImage(QWidget* owner, Model& model, Host& host, int part);
// The texture dialog's "名前を付けて保存(&A)..": saves the view's picture as an image file.
void ExportViewImage(QWidget* owner, const RenderContext& render, Host& host);

}  // namespace vorna
