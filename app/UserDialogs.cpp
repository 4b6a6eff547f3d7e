#include "app/UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QMainWindow>
#include <QMessageBox>
#include <QTreeView>
#include <utility>

#include "base/Messages.h"

namespace filamorph {
namespace {

// Room for long file names and full dates in the file dialog's detail view.
constexpr QSize kFileDialogSize(900, 560);
constexpr int kFileNameColumnWidth = 380;

QMessageBox::Icon iconOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Information:
      return QMessageBox::Information;
    case MessageKind::Warning:
      return QMessageBox::Warning;
    case MessageKind::Error:
      break;
  }
  return QMessageBox::Critical;
}

void defaultMessageBox(const UserMessage& message) {
  QMessageBox box(iconOf(message.kind), QApplication::applicationName(), message.text, QMessageBox::Ok, message.parent);
  raiseWithParent(&box);
  box.exec();
}

void widenColumns(QFileDialog& dialog) {
  dialog.resize(kFileDialogSize);
  for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
    view->header()->resizeSection(0, kFileNameColumnWidth);
    for (int column = 1; column < view->header()->count(); ++column)
      view->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  }
}

QStringList defaultFileDialog(const FileDialogRequest& request) {
  QFileDialog dialog(request.parent, request.title, request.directory, request.filter);
  // The toolkit's own dialog: it honours the parent and the stay-on-top hint.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  raiseWithParent(&dialog);
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
  dialog.setViewMode(QFileDialog::Detail);
  widenColumns(dialog);
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

bool staysOnTop(const QWidget* window) {
  return window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace

void showMessageBox(const QString& text, MessageKind kind) {
  messageBoxFunction()({text, kind, dialogParent()});
}

MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function) {
  return std::exchange(messageBoxFunction(), std::move(function));
}

void routeCoreMessagesToMessageBox() {
  setMessageHandler([](const std::string& text, MessageSeverity severity) {
    showMessageBox(QString::fromStdString(text),
                   severity == MessageSeverity::Warning ? MessageKind::Warning : MessageKind::Information);
  });
}

QWidget* dialogParent() {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* window : windows)
    if (window->isVisible() && window->windowType() == Qt::Dialog && staysOnTop(window)) return window;
  if (QWidget* active = QApplication::activeWindow()) return active;
  for (QWidget* window : windows)
    if (qobject_cast<QMainWindow*>(window) != nullptr) return window;
  return nullptr;
}

void raiseWithParent(QWidget* dialog) {
  const QWidget* parent = dialog->parentWidget();
  if (parent != nullptr && staysOnTop(parent->window())) dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
}

QStringList runFileDialog(FileDialogRequest request) {
  request.parent = dialogParent();
  return fileDialogFunction()(request);
}

FileDialogFunction setFileDialogFunction(FileDialogFunction function) {
  return std::exchange(fileDialogFunction(), std::move(function));
}

QString existingDirectoryOrHome(const QString& directory) {
  return QDir(directory).exists() ? directory : QDir::homePath();
}

}  // namespace filamorph
