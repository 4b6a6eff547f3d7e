#include "app/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <utility>

#include "base/Messages.h"

namespace filamorph {
namespace {

void defaultMessageBox(const QString& text) {
  QMessageBox box(QMessageBox::Information, QApplication::applicationName(), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

QStringList defaultFileDialog(const FileDialogRequest& request) {
  QFileDialog dialog(QApplication::activeWindow(), request.title, request.directory, request.filter);
  if (request.kind == FileDialogRequest::Kind::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // An existing file is replaced without a question, as Compress to File does.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (request.multiSelect)
      dialog.setFileMode(QFileDialog::ExistingFiles);
    else
      dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  }
  if (!request.selectedFile.isEmpty()) dialog.selectFile(request.selectedFile);
  if (dialog.exec() != QDialog::Accepted) return {};
  return dialog.selectedFiles();
}

MessageBoxFunction& messageBoxFunction() {
  static MessageBoxFunction function = defaultMessageBox;
  return function;
}

FileDialogFunction& fileDialogFunction() {
  static FileDialogFunction function = defaultFileDialog;
  return function;
}

}  // namespace

void showMessageBox(const QString& text) {
  messageBoxFunction()(text);
}

MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function) {
  return std::exchange(messageBoxFunction(), std::move(function));
}

void routeCoreMessagesToMessageBox() {
  setMessageHandler([](const std::string& text) { showMessageBox(QString::fromStdString(text)); });
}

QStringList runFileDialog(const FileDialogRequest& request) {
  return fileDialogFunction()(request);
}

FileDialogFunction setFileDialogFunction(FileDialogFunction function) {
  return std::exchange(fileDialogFunction(), std::move(function));
}

QString existingDirectoryOrHome(const QString& directory) {
  return QDir(directory).exists() ? directory : QDir::homePath();
}

}  // namespace filamorph
