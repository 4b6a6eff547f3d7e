#ifndef FILAMORPH_APP_USERDIALOGS_H
#define FILAMORPH_APP_USERDIALOGS_H
// The program's only routes to modal message boxes and file dialogs; tests
// replace both so that nothing modal ever waits for a user.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace filamorph {

// Decides the box's icon: information, warning or critical.
enum class MessageKind { Information, Warning, Error };

struct UserMessage {
  QString text;
  MessageKind kind = MessageKind::Error;
  QPointer<QWidget> parent;  // the window the box belongs to (dialogParent())
};

using MessageBoxFunction = std::function<void(const UserMessage& message)>;

// Shows text in a modal message box with an OK button over dialogParent() (or
// hands it to the installed replacement) and returns when it has been dismissed.
void showMessageBox(const QString& text, MessageKind kind = MessageKind::Error);
MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function);
// Makes every message of the codec core go through showMessageBox.
void routeCoreMessagesToMessageBox();

// The window that a new box or file dialog belongs to, so that it opens above
// everything the program shows: a modal window that is open, else a visible
// stay-on-top window (the parameters dialog), else the active window, else
// the main window.
QWidget* dialogParent();
// A box owned by a stay-on-top window stays on top too, so that no window
// manager can put it under its owner's layer.
void raiseWithParent(QWidget* dialog);

struct FileDialogRequest {
  enum class Kind { Open, Save };
  QString name;           // the dialog's component name, e.g. "OpenPictureDialog1"
  Kind kind = Kind::Open;
  QString title;
  QString filter;         // Qt form: "Bitmaps (*.bmp)" or "A (*.x);;B (*)"
  QString directory;      // an existing directory to start in
  QString selectedFile;   // the dialog's previous answer, offered again
  bool mustExist = false;
  bool multiSelect = false;
  QPointer<QWidget> parent;  // filled in by runFileDialog (dialogParent())
};

// Returns the chosen files, in the order the user gave them; an empty list
// means the user cancelled.
using FileDialogFunction = std::function<QStringList(const FileDialogRequest& request)>;
QStringList runFileDialog(FileDialogRequest request);
FileDialogFunction setFileDialogFunction(FileDialogFunction function);

// The directory itself when it exists here, otherwise the user's home.
QString existingDirectoryOrHome(const QString& directory);

}  // namespace filamorph

#endif  // FILAMORPH_APP_USERDIALOGS_H
