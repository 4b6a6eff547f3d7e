#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("Filamorph Codec");
  QMainWindow window;
  window.setWindowTitle("Untitled - Filamorph Codec ");
  window.show();
  return application.exec();
}
