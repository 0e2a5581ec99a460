#include "ui/file_dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

namespace vorna {
namespace {

QStringList Texts(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list.push_back(QString::fromStdString(text));
  return list;
}

const QStringList& OpenFilters() {
  static const QStringList filters = Texts(OpenDialogFilters());
  return filters;
}

const QStringList& SaveFilters() {
  static const QStringList filters = Texts(SaveDialogFilters());
  return filters;
}

// Kept between runs by the window's settings.
QString& ChosenFolder() {
  static QString folder;
  return folder;
}

QLineEdit* NameBox(const QFileDialog& dialog) {
  return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

}  // namespace

std::string PathBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString PathText(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

QString StartFolder(const std::string& model_dir) {
  const QString folder = PathText(model_dir);
  if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
  if (!ChosenFolder().isEmpty() && QFileInfo(ChosenFolder()).isDir()) return ChosenFolder();
  return QDir::currentPath();
}

void RememberChosenFile(const QString& file) { ChosenFolder() = QFileInfo(file).absolutePath(); }

QString LastChosenFolder() { return ChosenFolder(); }

void SetLastChosenFolder(const QString& folder) { ChosenFolder() = folder; }

QFileDialog* CreateOpenDialog(QWidget* owner, const QString& folder) {
  auto* dialog = new QFileDialog(owner);
  dialog->setDirectory(folder);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setNameFilters(OpenFilters());
  dialog->selectNameFilter(OpenFilters().front());
  return dialog;
}

QFileDialog* CreateSaveAsDialog(QWidget* owner, const QString& proposed_name,
                                const QString& folder) {
  auto* dialog = new QFileDialog(owner);
  dialog->setDirectory(folder);
  // Our own dialog: the name box must be reachable to rename it when the type changes.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  dialog->setFileMode(QFileDialog::AnyFile);
  dialog->setNameFilters(SaveFilters());
  dialog->selectNameFilter(SaveFilters().front());
  dialog->selectFile(proposed_name);
  QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
    QLineEdit* box = NameBox(*dialog);
    if (box == nullptr) return;
    const int index = static_cast<int>(SaveFilters().indexOf(filter)) + 1;
    const std::string renamed = RenameForFileType(PathBytes(box->text()), index);
    box->setText(PathText(renamed));
  });
  return dialog;
}

int SelectedFilterIndex(const QFileDialog& dialog) {
  return static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
}

QString FileNameBoxText(const QFileDialog& dialog) {
  const QLineEdit* box = NameBox(dialog);
  return box != nullptr ? box->text() : QString();
}

SaveFormatDialog::SaveFormatDialog(const FormatRow& row, QWidget* owner) : QDialog(owner) {
  setWindowTitle(QString::fromUtf8(row.save_dialog_title));
  auto* layout = new QVBoxLayout(this);
  text_ = new QRadioButton(QStringLiteral("ﾃｷｽﾄ形式"), this);
  binary_ = new QRadioButton(QStringLiteral("ﾊﾞｲﾅﾘ形式"), this);
  text_->setChecked(true);
  layout->addWidget(text_);
  layout->addWidget(binary_);
  static const char* const kLabels[4] = {"ｽｷﾝなし", "平行移動なし", "拡大・縮小なし", "ｱﾆﾒなし"};
  for (int i = 0; i < 4; ++i) {
    checks_[i] = new QCheckBox(QString::fromUtf8(kLabels[i]), this);
    layout->addWidget(checks_[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("ｷｬﾝｾﾙ"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

SaveFormatChoice SaveFormatDialog::choice() const {
  SaveFormatChoice choice;
  choice.binary = binary_->isChecked();
  choice.no_skin = checks_[0]->isChecked();
  choice.no_translation = checks_[1]->isChecked();
  choice.no_scale = checks_[2]->isChecked();
  choice.no_anim = checks_[3]->isChecked();
  return choice;
}

bool FileDialogs::ShowOpenDialog(std::string* path, int* filter_index) {
  std::unique_ptr<QFileDialog> dialog(CreateOpenDialog(owner_, StartFolder(model_.model_dir)));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  RememberChosenFile(dialog->selectedFiles().front());
  *path = PathBytes(dialog->selectedFiles().front());
  *filter_index = SelectedFilterIndex(*dialog);
  return true;
}

bool FileDialogs::ShowSaveAsDialog(const std::string& proposed_name, std::string* name,
                                   int* filter_index) {
  std::unique_ptr<QFileDialog> dialog(
      CreateSaveAsDialog(owner_, PathText(proposed_name), StartFolder(model_.model_dir)));
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return false;
  RememberChosenFile(dialog->selectedFiles().front());
  *name = PathBytes(dialog->selectedFiles().front());
  *filter_index = SelectedFilterIndex(*dialog);
  return true;
}

bool FileDialogs::ShowSaveFormatDialog(const FormatRow& row, SaveFormatChoice* choice) {
  SaveFormatDialog dialog(row, owner_);
  if (dialog.exec() != QDialog::Accepted) return false;
  *choice = dialog.choice();
  return true;
}

}  // namespace vorna
