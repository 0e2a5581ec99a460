#include "ui/image_file_dialogs.h"

namespace vorna {

bool ChooseTextureImage(QWidget* owner, Model& model, Host& host, int part) {
  (void)owner;
  (void)model;
  (void)host;
  (void)part;
  return false;
}

void ExportViewImage(QWidget* owner, const RenderContext& render, Host& host) {
  (void)owner;
  (void)render;
  (void)host;
}

}  // namespace vorna
