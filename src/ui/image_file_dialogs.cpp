#include "ui/image_file_dialogs.h"

#include <memory>
#include <vector>

#include "editor/open_flow.h"
#include "editor/texture_file_choice.h"
#include "render/snapshot.h"
#include "ui/file_dialogs.h"

namespace vorna {
namespace {

QString Text(std::string_view bytes) {
  return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

// The dialog matches files by the patterns in the filter's parentheses, separated by spaces;
// "*.*" would leave out names without a dot, which "all files" must show here.
QString QtFilter(const TextureImageFilter& filter) {
  const QString text = Text(filter.filter_text);
  QString patterns = Text(filter.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
  if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
  return text.left(text.indexOf(QLatin1String(" ("))) + QStringLiteral(" (") + patterns +
         QLatin1Char(')');
}

// The dialog adds the selected filter's extension to a name without a dot itself, so that it
// checks (for opening) or asks about overwriting (for saving) the name that is really used.
void FollowFilterExtension(QFileDialog* dialog, std::vector<QString> extensions) {
  auto apply = [dialog, extensions = std::move(extensions)](const QString& filter) {
    const qsizetype index = dialog->nameFilters().indexOf(filter);
    dialog->setDefaultSuffix(index >= 0 && index < static_cast<qsizetype>(extensions.size())
                                 ? extensions[static_cast<size_t>(index)]
                                 : QString());
  };
  apply(dialog->selectedNameFilter());
  QObject::connect(dialog, &QFileDialog::filterSelected, dialog, apply);
}

QString SuffixOf(std::string_view extension) {
  return extension.empty() ? QString() : Text(extension.substr(1));
}

}  // namespace

QFileDialog* CreateTextureOpenDialog(QWidget* owner, const QString& directory) {
  auto* dialog = new QFileDialog(owner, QStringLiteral("開く"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setDirectory(directory);
  QStringList filters;
  std::vector<QString> extensions;
  for (const TextureImageFilter& filter : TextureImageFilters()) {
    filters << QtFilter(filter);
    extensions.push_back(SuffixOf(filter.extension));
  }
  dialog->setNameFilters(filters);
  dialog->selectNameFilter(filters.front());
  FollowFilterExtension(dialog, std::move(extensions));
  return dialog;
}

QFileDialog* CreateImageExportDialog(QWidget* owner, const QString& directory) {
  auto* dialog = new QFileDialog(owner, QStringLiteral("名前を付けて保存"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setDirectory(directory);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  std::vector<QString> extensions;
  for (const ImageFormatRow* format : ImageExportFormats()) {
    filters << Text(format->dialog_label);
    extensions.push_back(SuffixOf(format->extension));
  }
  dialog->setNameFilters(filters);
  dialog->selectNameFilter(filters.front());
  FollowFilterExtension(dialog, std::move(extensions));
  return dialog;
}

bool RunFileDialog(QFileDialog* dialog, FileChoice* choice) {
  std::unique_ptr<QFileDialog> owned(dialog);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  RememberChosenFile(dialog->selectedFiles().front());
  choice->path = PathBytes(dialog->selectedFiles().front());
  choice->filter_index = SelectedFilterIndex(*dialog);
  return true;
}

bool UseChosenTextureImage(const FileChoice& choice, Model& model, Host& host, int part) {
  const std::string path = TextureImagePath(choice.path, choice.filter_index);
  return !path.empty() && UseTextureImage(model, part, path, host);
}

bool SaveChosenViewImage(const FileChoice& choice, const RenderContext& render, Host& host) {
  const std::string path = ImageSavePath(choice.path, choice.filter_index);
  if (path.empty()) return false;
  // A picture the user believes saved but that is not there would be found missing only later.
  if (!SaveViewImage(render, path, ImageExportFormatAt(choice.filter_index)->format)) {
    host.Message(kCannotSaveMessage, MessageIcon::kStop);
    return false;
  }
  return true;
}

bool ChooseTextureImage(QWidget* owner, Model& model, Host& host, int part) {
  FileChoice choice;
  if (!RunFileDialog(CreateTextureOpenDialog(owner, StartFolder(model.model_dir)), &choice)) {
    return false;
  }
  return UseChosenTextureImage(choice, model, host, part);
}

void ExportViewImage(QWidget* owner, const Model& model, const RenderContext& render, Host& host) {
  FileChoice choice;
  if (RunFileDialog(CreateImageExportDialog(owner, StartFolder(model.model_dir)), &choice)) {
    SaveChosenViewImage(choice, render, host);
  }
}

}  // namespace vorna
