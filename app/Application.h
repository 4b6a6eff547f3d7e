#ifndef FILAMORPH_APP_APPLICATION_H
#define FILAMORPH_APP_APPLICATION_H
// The application object of the desktop program.

#include <QApplication>

namespace filamorph {

// An exception that escapes an event handler is shown in a message box with
// its message, and the event loop goes on.
class Application : public QApplication {
  Q_OBJECT
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// The text of the exception being handled, for display.
QString currentExceptionMessage();

}  // namespace filamorph

#endif  // FILAMORPH_APP_APPLICATION_H
