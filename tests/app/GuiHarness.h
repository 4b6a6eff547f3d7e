#ifndef FILAMORPH_TESTS_APP_GUIHARNESS_H
#define FILAMORPH_TESTS_APP_GUIHARNESS_H
// A main window and its parameters dialog on fresh codec objects, with the
// message boxes recorded and the file dialogs answered by the test.

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPointer>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>

#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/UserDialogs.h"
#include "contours/ContourCoder.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph::testing {

class GuiHarness {
 public:
  GuiHarness() {
    previousBox_ = setMessageBoxFunction([this](const UserMessage& message) {
      messages.append(message.text);
      boxes.append(message);
    });
    previousDialog_ = setFileDialogFunction([this](const FileDialogRequest& request) {
      dialogRequests.append(request.name);
      dialogParents.append(request.parent);
      if (answers.empty()) return QStringList();
      QStringList answer = answers.front();
      answers.pop_front();
      return answer;
    });
    form1 = std::make_unique<TForm1>(analysis, reconstruction);
    form2 = new TForm2(*form1);  // owned by form1
    form1->setParametersDialog(form2);
  }
  ~GuiHarness() {
    form1.reset();
    setMessageBoxFunction(previousBox_);
    setFileDialogFunction(previousDialog_);
  }
  // The program's own message box, as it runs outside the tests.
  const MessageBoxFunction& programMessageBox() const { return previousBox_; }

  GuiHarness(const GuiHarness&) = delete;
  GuiHarness& operator=(const GuiHarness&) = delete;

  template <typename T = QObject>
  T* find(const char* name) const {
    if (T* inForm1 = form1->findChild<T*>(QLatin1String(name))) return inForm1;
    return form2->findChild<T*>(QLatin1String(name));
  }
  QAction* action(const char* name) const { return find<QAction>(name); }
  void trigger(const char* name) const { action(name)->trigger(); }

  // Runs a command whose file dialog the test answers with this file.
  void triggerWithFile(const char* name, const QString& file) {
    answers.push_back({file});
    trigger(name);
  }

  // A 24-bit bitmap file of the picture, in the harness's directory.
  QString writeBitmap(const QString& name, const QImage& picture) const {
    const QString path = directory.filePath(name);
    if (!picture.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) qFatal("cannot write %s", qPrintable(path));
    return path;
  }

  // Bright squares on a dark ground, each far enough from the others and the
  // border that the edge filter sees it alone: one closed contour each.
  static QImage squares(int columns, int rows) {
    constexpr int kCell = 32;
    constexpr int kSide = 12;
    QImage picture(columns * kCell + kCell, rows * kCell + kCell, QImage::Format_RGB888);
    picture.fill(QColor(30, 30, 30));
    QPainter painter(&picture);
    for (int row = 0; row < rows; ++row)
      for (int column = 0; column < columns; ++column)
        painter.fillRect(kCell + column * kCell - kSide / 2, kCell + row * kCell - kSide / 2, kSide, kSide,
                         QColor(220, 220, 220));
    return picture;
  }

  // Vertical bands of alternating gray: edges everywhere, so that the
  // reconstruction has little to fill in and converges in few sweeps.
  static QImage stripes(int width, int height, int band) {
    QImage picture(width, height, QImage::Format_RGB888);
    QPainter painter(&picture);
    for (int x = 0; x < width; x += band)
      painter.fillRect(x, 0, band, height, (x / band) % 2 == 0 ? QColor(40, 40, 40) : QColor(210, 210, 210));
    return picture;
  }

  static QImage plain(int width, int height, QColor color) {
    QImage picture(width, height, QImage::Format_RGB888);
    picture.fill(color);
    return picture;
  }

  QTemporaryDir directory;
  ContourCoder analysis;
  Reconstructor reconstruction;
  std::unique_ptr<TForm1> form1;
  TForm2* form2 = nullptr;
  QStringList messages;
  QList<UserMessage> boxes;  // the messages with their kinds and owners
  QStringList dialogRequests;
  QList<QPointer<QWidget>> dialogParents;
  std::deque<QStringList> answers;

 private:
  MessageBoxFunction previousBox_;
  FileDialogFunction previousDialog_;
};

}  // namespace filamorph::testing

#endif  // FILAMORPH_TESTS_APP_GUIHARNESS_H
