// The window in daily use: boxes and dialogs above the parameters dialog, the
// menu's shortcuts while that dialog has the keyboard, a caption that names
// what is shown after a failed open, the progress window, the status bar and
// the placing of the help window and the dialog's columns.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "GuiHarness.h"
#include "app/HelpViewer.h"
#include "app/ImageView.h"
#include "evaluation/Metrics.h"

using filamorph::ImageView;
using filamorph::MessageKind;
using filamorph::testing::GuiHarness;

namespace {

QString captionOf(const QString& file) {
  return QStringLiteral("  ") + file + QStringLiteral("  -  Filamorph Codec");
}

QString writeFile(const GuiHarness& gui, const char* name, const QByteArray& bytes) {
  const QString path = gui.directory.filePath(QLatin1String(name));
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", name);
  return path;
}

// A 1-bit bitmap, white on its left half and black on its right: a pixel
// format the codec refuses and the toolkit reads.
QString writeMonoBitmap(const GuiHarness& gui, const char* name) {
  QImage picture = GuiHarness::plain(16, 8, Qt::black);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) picture.setPixelColor(x, y, Qt::white);
  const QString path = gui.directory.filePath(QLatin1String(name));
  if (!picture.convertToFormat(QImage::Format_Mono).save(path, "BMP")) qFatal("cannot write %s", name);
  return path;
}

void obtainModel(GuiHarness& gui, const QString& bitmap) {
  gui.triggerWithFile("Image1", bitmap);
  gui.trigger("DetectContours1");
  gui.trigger("TraceContours1");
  gui.trigger("ObtainFilamorph1");
}

filamorph::Plane<uint8_t> grayPlaneOf(const QImage& picture) {
  const QImage gray = picture.convertToFormat(QImage::Format_Grayscale8);
  filamorph::Plane<uint8_t> plane;
  plane.allocate(gray.height(), gray.width());
  for (int y = 0; y < gray.height(); ++y)
    for (int x = 0; x < gray.width(); ++x) plane[y][x] = gray.constScanLine(y)[x];
  return plane;
}

// The geometry of every group box and track bar of the dialog, in its coordinates.
QList<QRect> layoutOf(QWidget* dialog) {
  QList<QRect> rects;
  for (QWidget* child : dialog->findChildren<QWidget*>())
    if (qobject_cast<QGroupBox*>(child) || qobject_cast<QSlider*>(child))
      rects.append(QRect(child->mapTo(dialog, QPoint()), child->size()));
  return rects;
}

}  // namespace

class WindowInUseTest : public QObject {
  Q_OBJECT

 private slots:
  void boxesAndFileDialogsBelongToTheParametersDialogWhileItIsShown();
  void theProgramsBoxStaysAboveTheParametersDialogWithItsIcon();
  void mainShortcutsWorkWhileTheParametersDialogHasTheKeyboard();
  void refusedPixelFormatShowsThePictureAsTheFileHoldsIt();
  void unreadableCodedFileLeavesTheStateWholeCaptionIncluded();
  void unreadableImageBecomesTheCurrentFileForCaptionAndDetection();
  void progressBarNeverMovesBackAndFillsAtTheTolerance();
  void statusBarReportsTheReconstructionAndTheCodedFile();
  void helpWindowLeavesTheMenuAndToolBarFree();
  void dialogColumnsKeepTheirPlaceWhenACaptionGrows();
};

void WindowInUseTest::boxesAndFileDialogsBelongToTheParametersDialogWhileItIsShown() {
  GuiHarness gui;
  gui.form1->show();
  const QString mono = writeMonoBitmap(gui, "mono.bmp");
  const QString bogus = writeFile(gui, "bogus.bmp", "this is no bitmap");

  // Without the dialog, boxes and dialogs belong to the main window.
  gui.triggerWithFile("Image1", bogus);
  QCOMPARE(gui.dialogParents.last(), QPointer<QWidget>(gui.form1.get()));
  QCOMPARE(gui.boxes.last().parent, QPointer<QWidget>(gui.form1.get()));
  QCOMPARE(gui.boxes.last().kind, MessageKind::Error);

  gui.trigger("CompressionParameters1");
  QVERIFY(gui.form2->isVisible());
  const struct {
    QString file;
    MessageKind kind;
  } opens[] = {{bogus, MessageKind::Error}, {mono, MessageKind::Warning}};
  for (const auto& open : opens) {
    gui.triggerWithFile("Image1", open.file);
    QCOMPARE(gui.dialogParents.last(), QPointer<QWidget>(gui.form2));
    QCOMPARE(gui.boxes.last().parent, QPointer<QWidget>(gui.form2));
    QCOMPARE(gui.boxes.last().kind, open.kind);
  }
  gui.triggerWithFile("CodedImagefilamorph1", bogus);
  QCOMPARE(gui.dialogParents.last(), QPointer<QWidget>(gui.form2));
  QCOMPARE(gui.boxes.last().parent, QPointer<QWidget>(gui.form2));
  QCOMPARE(gui.boxes.size(), 4);
}

void WindowInUseTest::theProgramsBoxStaysAboveTheParametersDialogWithItsIcon() {
  GuiHarness gui;
  gui.form1->show();
  gui.form2->show();
  QPointer<QWidget> owner;
  bool staysOnTop = false;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  // The box is modal: read it, then press its button.
  QTimer closer;
  connect(&closer, &QTimer::timeout, &closer, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    owner = box->parentWidget();
    staysOnTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    icon = box->icon();
    box->accept();
  });
  closer.start(10);
  gui.programMessageBox()(
      {QStringLiteral("Does not support this Pixel Format."), MessageKind::Warning, filamorph::dialogParent()});
  QCOMPARE(owner, QPointer<QWidget>(gui.form2));
  QVERIFY(staysOnTop);
  QCOMPARE(icon, QMessageBox::Warning);
}

void WindowInUseTest::mainShortcutsWorkWhileTheParametersDialogHasTheKeyboard() {
  GuiHarness gui;
  gui.form1->show();
  gui.triggerWithFile("Image1", gui.writeBitmap("s.bmp", GuiHarness::squares(3, 2)));
  gui.trigger("DetectContours1");
  gui.form2->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(gui.form2));

  auto* countBar = gui.find<QSlider>("TrackBar6");
  countBar->setFocus();
  QTest::keyClick(countBar, Qt::Key_F9);
  QVERIFY(gui.action("menuItemShowContours")->isChecked());
  QTest::keyClick(countBar, Qt::Key_F10);
  QVERIFY(gui.action("menuItemShowFilamorphModel")->isChecked());
  QVERIFY(gui.action("Reconstruct1")->isEnabled());

  // The dialog's own keys still reach its controls.
  QTest::keyClick(countBar, Qt::Key_Right);
  QCOMPARE(countBar->value(), 1);
  auto* lambda = gui.find<QLineEdit>("Edit1");
  lambda->setFocus();
  lambda->selectAll();
  QTest::keyClick(lambda, Qt::Key_X, Qt::ControlModifier);  // cuts the text, does not exit
  QCOMPARE(lambda->text(), QString());
  QVERIFY(gui.form1->isVisible());
}

void WindowInUseTest::refusedPixelFormatShowsThePictureAsTheFileHoldsIt() {
  GuiHarness gui;
  const QString mono = writeMonoBitmap(gui, "mono.bmp");
  for (const char* command : {"Image1", "DetectContours1"}) {
    if (QLatin1String(command) == QLatin1String("Image1"))
      gui.triggerWithFile(command, mono);
    else
      gui.trigger(command);
    QCOMPARE(gui.messages.last(), QStringLiteral("Does not support this Pixel Format."));
    QCOMPARE(gui.form1->windowTitle(), captionOf(mono));
    QVERIFY(!gui.form1->session().hasImage());
    const QImage shown = gui.find<ImageView>("Image2")->shownImage();
    QCOMPARE(shown.size(), QSize(16, 8));
    QCOMPARE(shown.pixelColor(2, 2), QColor(Qt::white));
    QCOMPARE(shown.pixelColor(12, 2), QColor(Qt::black));
  }
  QCOMPARE(gui.messages.size(), 2);
}

void WindowInUseTest::unreadableCodedFileLeavesTheStateWholeCaptionIncluded() {
  GuiHarness gui;
  const QString bitmap = gui.writeBitmap("m.bmp", GuiHarness::squares(2, 2));
  const QString bogus = writeFile(gui, "bogus.flm", QByteArray(64, '\x55'));

  // A fresh window: still untitled, and nothing to reconstruct.
  gui.triggerWithFile("CodedImagefilamorph1", bogus);
  QCOMPARE(gui.messages.size(), 1);
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("Untitled - Filamorph Codec "));
  QVERIFY(!gui.action("Reconstruct1")->isEnabled());

  // With a model in place: the caption, the picture and the model stay.
  obtainModel(gui, bitmap);
  const filamorph::Bitmap modelView = gui.form1->session().image2.picture;
  gui.triggerWithFile("CodedImagefilamorph1", bogus);
  QCOMPARE(gui.messages.size(), 2);
  QCOMPARE(gui.form1->windowTitle(), captionOf(bitmap));
  QCOMPARE(gui.form1->session().image2.picture.pixels, modelView.pixels);
  QVERIFY(!gui.action("DecompressFilamorph1")->isEnabled());
  QVERIFY(gui.action("Reconstruct1")->isEnabled());
}

void WindowInUseTest::unreadableImageBecomesTheCurrentFileForCaptionAndDetection() {
  GuiHarness gui;
  obtainModel(gui, gui.writeBitmap("r.bmp", GuiHarness::stripes(48, 40, 6)));
  gui.trigger("Reconstruct1");
  QVERIFY(gui.action("menuItemShowReconstructedImage")->isEnabled());

  const QString bogus = writeFile(gui, "bogus.bmp", "this is no bitmap");
  gui.triggerWithFile("Image1", bogus);
  QCOMPARE(gui.messages.size(), 1);
  QVERIFY(gui.messages.last().contains(bogus));
  QCOMPARE(gui.form1->windowTitle(), captionOf(bogus));
  QVERIFY(gui.find<ImageView>("Image2")->shownImage().isNull());
  QVERIFY(!gui.action("menuItemShowReconstructedImage")->isEnabled());

  // The next detection tries the file the caption names.
  gui.trigger("DetectContours1");
  QCOMPARE(gui.messages.size(), 2);
  QVERIFY(gui.messages.last().contains(bogus));
  QCOMPARE(gui.form1->windowTitle(), captionOf(bogus));
}

void WindowInUseTest::progressBarNeverMovesBackAndFillsAtTheTolerance() {
  GuiHarness gui;
  obtainModel(gui, gui.writeBitmap("p.bmp", GuiHarness::squares(3, 3)));
  QList<int> values;
  QString label;
  QTimer watcher;
  connect(&watcher, &QTimer::timeout, &watcher, [&] {
    if (auto* progress = gui.form1->findChild<QProgressDialog*>(QStringLiteral("ReconstructProgress"))) {
      values.append(progress->value());
      label = progress->labelText();
    }
  });
  watcher.start(0);
  gui.trigger("Reconstruct1");
  watcher.stop();
  QVERIFY(values.size() > 2);
  for (int i = 1; i < values.size(); ++i) QVERIFY2(values[i] >= values[i - 1], qPrintable(QString::number(i)));
  QCOMPARE(values.last(), 1000);
  QVERIFY(label.contains(QStringLiteral("Sweep %1").arg(gui.reconstruction.sweepCount)));
  QVERIFY(label.contains(QStringLiteral("tolerance 0.0005")));
  QVERIFY(label.contains(QStringLiteral("Elapsed")));
}

void WindowInUseTest::statusBarReportsTheReconstructionAndTheCodedFile() {
  GuiHarness gui;
  const QImage stripes = GuiHarness::stripes(48, 40, 6);
  obtainModel(gui, gui.writeBitmap("r.bmp", stripes));
  const QString coded = gui.directory.filePath(QStringLiteral("r.flm"));
  gui.triggerWithFile("CompresstoFile1", coded);
  const qint64 bytes = QFileInfo(coded).size();
  QVERIFY(bytes > 0);
  QCOMPARE(gui.form1->statusBar()->currentMessage(),
           QStringLiteral("Wrote r.flm: %1 bytes, %2 bits per pixel of the 48 x 40 image")
               .arg(bytes)
               .arg(bytes * 8.0 / (48 * 40), 0, 'f', 3));

  // Measured against the gray levels as opened, not as detection smoothed them.
  gui.trigger("Reconstruct1");
  const filamorph::Plane<uint8_t> opened = grayPlaneOf(stripes);
  const double psnr = filamorph::evaluation::psnr(opened, gui.reconstruction.grayPlane);
  const double ssim = filamorph::evaluation::ssim(opened, gui.reconstruction.grayPlane);
  const QString report = gui.form1->statusBar()->currentMessage();
  QVERIFY2(report.startsWith(
               QStringLiteral("Reconstructed in %1 sweeps, final mean change ").arg(gui.reconstruction.sweepCount)),
           qPrintable(report));
  QVERIFY2(report.endsWith(QStringLiteral("against the gray levels of r.bmp: PSNR %1 dB, SSIM %2")
                               .arg(psnr, 0, 'f', 2)
                               .arg(ssim, 0, 'f', 4)),
           qPrintable(report));

  // A model read from a file has no opened image to compare with.
  GuiHarness other;
  other.triggerWithFile("CodedImagefilamorph1", coded);
  other.trigger("Reconstruct1");
  const QString decoded = other.form1->statusBar()->currentMessage();
  QVERIFY2(decoded.startsWith(QStringLiteral("Reconstructed in ")), qPrintable(decoded));
  QVERIFY(!decoded.contains(QStringLiteral("PSNR")));
}

void WindowInUseTest::helpWindowLeavesTheMenuAndToolBarFree() {
  GuiHarness gui;
  gui.form1->show();
  QVERIFY(QTest::qWaitForWindowExposed(gui.form1.get()));
  gui.trigger("Helpcontent1");
  auto* help = gui.find<filamorph::HelpViewer>("HelpViewer");
  QVERIFY(help != nullptr && help->isVisible());
  const auto globalRect = [](const QWidget* widget) { return QRect(widget->mapToGlobal(QPoint()), widget->size()); };
  const QRect helpFrame = help->frameGeometry();
  QVERIFY(!helpFrame.intersects(globalRect(gui.form1->menuBar())));
  QVERIFY(!helpFrame.intersects(globalRect(gui.find<QToolBar>("ToolBar1"))));
}

void WindowInUseTest::dialogColumnsKeepTheirPlaceWhenACaptionGrows() {
  GuiHarness gui;
  gui.form2->show();
  QVERIFY(QTest::qWaitForWindowExposed(gui.form2));
  const QList<QRect> before = layoutOf(gui.form2);
  gui.find<QSlider>("TrackBar6")->setValue(100);
  QCOMPARE(gui.find<QGroupBox>("GroupBox6")->title(), QStringLiteral("# of Contours Selected [100]"));
  QApplication::processEvents();
  QCOMPARE(layoutOf(gui.form2), before);
}

QTEST_MAIN(WindowInUseTest)
#include "test_app_window_in_use.moc"
