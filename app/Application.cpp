#include "app/Application.h"

#include <exception>
#include <new>

#include "app/UserDialogs.h"

namespace filamorph {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    showMessageBox(currentExceptionMessage());
    return false;
  }
}

QString currentExceptionMessage() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory.");
  } catch (const std::exception& error) {
    return QString::fromLocal8Bit(error.what());
  } catch (...) {
    return QStringLiteral("An unknown error occurred.");
  }
}

}  // namespace filamorph
