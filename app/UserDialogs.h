#ifndef FILAMORPH_APP_USERDIALOGS_H
#define FILAMORPH_APP_USERDIALOGS_H
// The program's only routes to modal message boxes and file dialogs; tests
// replace both so that nothing modal ever waits for a user.

#include <QString>
#include <QStringList>
#include <functional>

namespace filamorph {

using MessageBoxFunction = std::function<void(const QString& text)>;

// Shows text in a modal message box with an OK button (or hands it to the
// installed replacement) and returns when it has been dismissed.
void showMessageBox(const QString& text);
MessageBoxFunction setMessageBoxFunction(MessageBoxFunction function);
// Makes every message of the codec core go through showMessageBox.
void routeCoreMessagesToMessageBox();

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
};

// Returns the chosen files, in the order the user gave them; an empty list
// means the user cancelled.
using FileDialogFunction = std::function<QStringList(const FileDialogRequest& request)>;
QStringList runFileDialog(const FileDialogRequest& request);
FileDialogFunction setFileDialogFunction(FileDialogFunction function);

// The directory itself when it exists here, otherwise the user's home.
QString existingDirectoryOrHome(const QString& directory);

}  // namespace filamorph

#endif  // FILAMORPH_APP_USERDIALOGS_H
