#ifndef FILAMORPH_APP_HELPVIEWER_H
#define FILAMORPH_APP_HELPVIEWER_H
// The program's help file and the window that shows it at a context number.

#include <QRect>
#include <QString>
#include <QTextBrowser>

namespace filamorph {

// The help file the program uses; by default the HTML page compiled into it.
void setApplicationHelpFile(const QString& path);
QString applicationHelpFile();

// A help window: the help page, opened at the section whose anchor is
// "context<number>".
class HelpViewer : public QTextBrowser {
  Q_OBJECT
 public:
  explicit HelpViewer(QWidget* parent = nullptr);
  void showContext(int context);
  // Places the window beside the main window's frame when the screen has room
  // there, otherwise at the screen's right edge below keepClear (the main
  // window's menu and tool bar), so that it never covers them; and below
  // avoid (the parameters dialog's frame, when shown) when it has room there.
  void placeBeside(const QRect& mainFrame, const QRect& keepClear, const QRect& avoid = {});
};

}  // namespace filamorph

#endif  // FILAMORPH_APP_HELPVIEWER_H
