#include "app/Unit1.h"

#include <QActionGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QPoint>
#include <QProgressDialog>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <iterator>
#include <utility>

#include "app/HelpViewer.h"
#include "app/ImageView.h"
#include "app/PaintProgram.h"
#include "app/PictureConversion.h"
#include "app/StatusReport.h"
#include "app/Unit2.h"
#include "commands/CommandParameters.h"
#include "commands/ConvergenceProgress.h"

namespace filamorph {
namespace {

// Heights of the strips above the image area, in window client coordinates:
// the image controls' positions are measured from the top of the bevel.
constexpr int kBevelHeight = 2;
constexpr int kToolBarHeight = 39;
constexpr QPoint kImageAreaOrigin(0, kBevelHeight + kToolBarHeight);
constexpr int kImageAreaMargin = 8;
constexpr int kHelpContext = 10;
// Show the progress window only for reconstructions that take a while.
constexpr qint64 kProgressDelayMs = 300;
// The progress bar's steps: a tenth of a percent.
constexpr int kProgressSteps = 1000;

struct ZoomItem {
  const char* name;
  const char* caption;
  QKeySequence shortcut;
  int numerator;
  int denominator;
  bool zoomIn;  // in the Zoom In submenu, otherwise Zoom Out (or Normal View)
};

const ZoomItem kZoomItems[] = {
    {"View150", "150%", {}, 15, 10, true},
    {"View200", "200%", QKeySequence(Qt::Key_F2), 2, 1, true},
    {"View250", "250%", {}, 25, 10, true},
    {"View300", "300%", {}, 3, 1, true},
    {"View400", "400%", QKeySequence(Qt::Key_F4), 4, 1, true},
    {"View80", "80%", {}, 8, 10, false},
    {"View70", "70%", {}, 7, 10, false},
    {"View50", "50%", {}, 5, 10, false},
    {"View25", "25%", {}, 1, 4, false},
    {"View10", "10%", {}, 1, 10, false},
    {"ViewNormal", "Normal View", {}, 1, 1, false},
};

std::string encodeFileName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }
QString decodeFileName(const std::string& fileName) {
  return QFile::decodeName(QByteArray::fromStdString(fileName));
}

}  // namespace

TForm1::TForm1(ContourCoder& analysis, Reconstructor& reconstruction, QWidget* parent)
    : QMainWindow(parent), session_(analysis, reconstruction) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(untitledCaption());
  resize(695, 480);
  move(446, 471);
  routeCoreMessagesToMessageBox();

  // The image controls' design properties.
  ImageControl& image2 = session_.image2;
  image2.left = 8;
  image2.top = 48;
  image2.width = 281;
  image2.height = 258;
  image2.autoSize = true;
  image2.center = true;
  image2.stretch = false;
  ImageControl& image3 = session_.image3;
  image3.left = 545;
  image3.top = 48;
  image3.width = 105;
  image3.height = 105;
  image3.autoSize = true;
  image3.center = true;
  image3.stretch = true;

  openPictureDialog1_.name = QStringLiteral("OpenPictureDialog1");
  openPictureDialog1_.title = QStringLiteral("Open");
  openPictureDialog1_.filter = QStringLiteral("Bitmaps (*.bmp)");
  openPictureDialog1_.directory = existingDirectoryOrHome(QStringLiteral("d:\\home\\img"));
  openPictureDialog1_.mustExist = true;
  openPictureDialog1_.multiSelect = true;
  openDialog1_.name = QStringLiteral("OpenDialog1");
  openDialog1_.title = QStringLiteral("Open");
  openDialog1_.filter = QStringLiteral("Compressed File (*.flm);;Any File (*)");
  openDialog1_.directory = existingDirectoryOrHome(QStringLiteral("d:\\"));
  saveDialog1_.name = QStringLiteral("SaveDialog1");
  saveDialog1_.kind = FileDialogRequest::Kind::Save;
  saveDialog1_.title = QStringLiteral("Save As");
  saveDialog1_.filter = QStringLiteral("Bitmap Image (*.bmp)");
  saveDialog1_.directory = QDir::homePath();

  createActions();
  createMenus();
  createImageArea();
  auto* statusBar1 = new QStatusBar(this);
  statusBar1->setObjectName(QStringLiteral("StatusBar1"));
  setStatusBar(statusBar1);
  finishCommand();
}

TForm1::~TForm1() {
  session_.image2.onRepaint = nullptr;
  session_.image3.onRepaint = nullptr;
}

void TForm1::setParametersDialog(TForm2* dialog) {
  parametersDialog_ = dialog;
  // An action with a window shortcut fires in every window it is added to;
  // the dialog's edit fields still take the keys that they edit with.
  for (QAction* action : findChildren<QAction*>())
    if (!action->shortcut().isEmpty()) dialog->addAction(action);
}

QString TForm1::untitledCaption() { return QStringLiteral("Untitled - %1 ").arg(QLatin1String(kTitle)); }

QString TForm1::captionFor(const QString& fileName) {
  return QStringLiteral("  %1  -  %2").arg(fileName, QLatin1String(kTitle));
}

QAction* TForm1::makeAction(const char* name, const QString& caption, const QKeySequence& shortcut) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QLatin1String(name));
  action->setShortcut(shortcut);
  return action;
}

QMenu* TForm1::makeMenu(const char* name, const QString& caption) {
  auto* menu = new QMenu(caption, this);
  menu->setObjectName(QLatin1String(name));
  return menu;
}

void TForm1::addSeparator(QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(QLatin1String(name)); }

void TForm1::createActions() {
  Image1 = makeAction("Image1", QStringLiteral("Image"), QKeySequence(Qt::CTRL | Qt::Key_O));
  CodedImagefilamorph1 =
      makeAction("CodedImagefilamorph1", QStringLiteral("Coded Image (filamorph)"), QKeySequence(Qt::CTRL | Qt::Key_D));
  ftp1 = makeAction("ftp1", QStringLiteral("Import"));
  Save1 = makeAction("Save1", QStringLiteral("Save"));
  Saveas2 = makeAction("Saveas2", QStringLiteral("Save as"));
  Saveas1 = makeAction("Saveas1", QStringLiteral("Export"));
  Pagesetup1 = makeAction("Pagesetup1", QStringLiteral("Page setup"));
  Printpreview1 = makeAction("Printpreview1", QStringLiteral("Print preview"));
  Print1 = makeAction("Print1", QStringLiteral("Print"));
  Exit1 = makeAction("Exit1", QStringLiteral("Exit"), QKeySequence(Qt::CTRL | Qt::Key_X));
  for (QAction* unavailable : {Saveas1, Pagesetup1, Printpreview1, Print1}) unavailable->setEnabled(false);

  Cut1 = makeAction("Cut1", QStringLiteral("Cut"));
  Copy1 = makeAction("Copy1", QStringLiteral("Copy"));
  Paste1 = makeAction("Paste1", QStringLiteral("Paste"));
  Invert1 = makeAction("Invert1", QStringLiteral("Invert"));
  Converttograyscale1 = makeAction("Converttograyscale1", QStringLiteral("Convert to grayscale"));

  for (const ZoomItem& item : kZoomItems) {
    QAction* action = makeAction(item.name, QLatin1String(item.caption), item.shortcut);
    action->setData(QPoint(item.numerator, item.denominator));
    connect(action, &QAction::triggered, this, [this, action] { onActionCommand(action); });
    zoomItems_.append(action);
  }

  DetectContours1 = makeAction("DetectContours1", QStringLiteral("Detect Contours"), QKeySequence(Qt::Key_F8));
  TraceContours1 = makeAction("TraceContours1", QStringLiteral("Trace Contours"), QKeySequence(Qt::Key_F9));
  ObtainFilamorph1 = makeAction("ObtainFilamorph1", QStringLiteral("Obtain Filamorph "), QKeySequence(Qt::Key_F10));
  CompresstoFile1 = makeAction("CompresstoFile1", QStringLiteral("&Compress to File"));
  Best1 = makeAction("Best1", QStringLiteral("Best"));
  Fair1 = makeAction("Fair1", QStringLiteral("Fair"));
  Poor1 = makeAction("Poor1", QStringLiteral("Poor"));
  for (QAction* quality : {Best1, Fair1, Poor1}) quality->setCheckable(true);

  DecompressFilamorph1 = makeAction("DecompressFilamorph1", QStringLiteral("Dec&ompress Filamorph"));
  Reconstruct1 = makeAction("Reconstruct1", QStringLiteral("&Reconstruct"));

  menuItemShowGrayLevel = makeAction("menuItemShowGrayLevel", QStringLiteral("GrayLevel"));
  menuItemShowEdges = makeAction("menuItemShowEdges", QStringLiteral("Edges"));
  menuItemShowContours = makeAction("menuItemShowContours", QStringLiteral("Contours"));
  menuItemShowDescriptor = makeAction("menuItemShowDescriptor", QStringLiteral("Descriptor"));
  menuItemShowBoundingBox = makeAction("menuItemShowBoundingBox", QStringLiteral("Bounding Box"));
  menuItemShowFilamorphModel = makeAction("menuItemShowFilamorphModel", QStringLiteral("Filamorph Model"));
  menuItemShowReconstructedImage =
      makeAction("menuItemShowReconstructedImage", QStringLiteral("R&econstructed Image"));
  auto* showGroup = new QActionGroup(this);
  showGroup->setObjectName(QStringLiteral("ShowGroup"));
  showGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
  for (QAction* view : {menuItemShowGrayLevel, menuItemShowEdges, menuItemShowContours, menuItemShowDescriptor,
                        menuItemShowBoundingBox, menuItemShowFilamorphModel, menuItemShowReconstructedImage}) {
    view->setCheckable(true);
    showGroup->addAction(view);
  }

  CompressionParameters1 = makeAction("CompressionParameters1", QStringLiteral("Compression Parameters"));
  Helpcontent1 = makeAction("Helpcontent1", QStringLiteral("Help &content"));

  connect(Image1, &QAction::triggered, this, &TForm1::Image1Click);
  connect(CodedImagefilamorph1, &QAction::triggered, this, &TForm1::CodedImagefilamorph1Click);
  connect(Save1, &QAction::triggered, this, &TForm1::Save1Click);
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(Copy1, &QAction::triggered, this, &TForm1::Copy1Click);
  connect(Paste1, &QAction::triggered, this, &TForm1::Paste1Click);
  connect(Invert1, &QAction::triggered, this, &TForm1::Invert1Click);
  connect(Converttograyscale1, &QAction::triggered, this, &TForm1::Converttograyscale1Click);
  connect(DetectContours1, &QAction::triggered, this, &TForm1::DetectContours1Click);
  connect(TraceContours1, &QAction::triggered, this, &TForm1::TraceContours1Click);
  connect(ObtainFilamorph1, &QAction::triggered, this, &TForm1::ObtainFilamorph1Click);
  connect(CompresstoFile1, &QAction::triggered, this, &TForm1::CompresstoFile1Click);
  connect(Best1, &QAction::triggered, this, &TForm1::Best1Click);
  connect(Fair1, &QAction::triggered, this, &TForm1::Fair1Click);
  connect(Poor1, &QAction::triggered, this, &TForm1::Poor1Click);
  connect(Reconstruct1, &QAction::triggered, this, &TForm1::Reconstruct1Click);
  connect(menuItemShowGrayLevel, &QAction::triggered, this, &TForm1::menuItemShowGrayLevelClick);
  connect(menuItemShowEdges, &QAction::triggered, this, &TForm1::menuItemShowEdgesClick);
  connect(menuItemShowContours, &QAction::triggered, this, &TForm1::menuItemShowContoursClick);
  connect(menuItemShowDescriptor, &QAction::triggered, this, &TForm1::menuItemShowDescriptorClick);
  connect(menuItemShowBoundingBox, &QAction::triggered, this, &TForm1::menuItemShowBoundingBoxClick);
  connect(menuItemShowFilamorphModel, &QAction::triggered, this, &TForm1::menuItemShowFilamorphModelClick);
  connect(menuItemShowReconstructedImage, &QAction::triggered, this, &TForm1::menuItemShowReconstructedImageClick);
  connect(CompressionParameters1, &QAction::triggered, this, &TForm1::CompressionParameters1Click);
  connect(Helpcontent1, &QAction::triggered, this, &TForm1::Helpcontent1Click);
}

void TForm1::createMenus() {
  QMenuBar* mainMenu1 = menuBar();
  mainMenu1->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file1 = makeMenu("File1", QStringLiteral("File"));
  QMenu* open1 = makeMenu("Open1", QStringLiteral("Open"));
  open1->addActions({Image1, CodedImagefilamorph1});
  file1->addMenu(open1);
  file1->addAction(ftp1);
  addSeparator(file1, "N1");
  file1->addActions({Save1, Saveas2, Saveas1});
  addSeparator(file1, "N2");
  file1->addActions({Pagesetup1, Printpreview1, Print1});
  addSeparator(file1, "N3");
  file1->addAction(Exit1);

  QMenu* edit1 = makeMenu("Edit1", QStringLiteral("Edit"));
  edit1->addActions({Cut1, Copy1, Paste1});
  addSeparator(edit1, "N6");
  edit1->addActions({Invert1, Converttograyscale1});

  QMenu* view1 = makeMenu("View1", QStringLiteral("View"));
  QMenu* zoomIn1 = makeMenu("ZoomIn1", QStringLiteral("Zoom In"));
  QMenu* zoomOut1 = makeMenu("ZoomOut1", QStringLiteral("Zoom Out"));
  view1->addMenu(zoomIn1);
  view1->addMenu(zoomOut1);
  for (std::size_t i = 0; i < std::size(kZoomItems); ++i) {
    if (kZoomItems[i].zoomIn)
      zoomIn1->addAction(zoomItems_[static_cast<int>(i)]);
    else if (QLatin1String(kZoomItems[i].name) == QLatin1String("ViewNormal"))
      view1->addAction(zoomItems_[static_cast<int>(i)]);
    else
      zoomOut1->addAction(zoomItems_[static_cast<int>(i)]);
  }

  QMenu* compress1 = makeMenu("Compress1", QStringLiteral("Compress"));
  compress1->addActions({DetectContours1, TraceContours1});
  addSeparator(compress1, "N4");
  compress1->addActions({ObtainFilamorph1, CompresstoFile1});
  addSeparator(compress1, "N5");
  QMenu* quality1 = makeMenu("Quality1", QStringLiteral("Quality"));
  quality1->addActions({Best1, Fair1, Poor1});
  compress1->addMenu(quality1);

  QMenu* decompress1 = makeMenu("Decompress1", QStringLiteral("Decompress"));
  decompress1->addActions({DecompressFilamorph1, Reconstruct1});

  QMenu* show1 = makeMenu("Show1", QStringLiteral("&Show"));
  show1->addActions({menuItemShowGrayLevel, menuItemShowEdges, menuItemShowContours, menuItemShowDescriptor,
                     menuItemShowBoundingBox, menuItemShowFilamorphModel});
  addSeparator(show1, "N7");
  show1->addAction(menuItemShowReconstructedImage);

  QMenu* tools1 = makeMenu("Tools1", QStringLiteral("&Tools"));
  tools1->addAction(CompressionParameters1);

  QMenu* help1 = makeMenu("Help1", QStringLiteral("&Help"));
  help1->addAction(Helpcontent1);

  for (QMenu* menu : {file1, edit1, view1, compress1, decompress1, show1, tools1, help1}) mainMenu1->addMenu(menu);
}

QToolButton* TForm1::makeToolButton(const char* name, const QString& hint, const QString& icon) {
  auto* button = new QToolButton(this);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(hint);
  button->setIcon(QIcon(icon));
  button->setFixedSize(25, 25);
  button->setAutoRaise(true);
  return button;
}

QToolBar* TForm1::createToolBar(QWidget* parent) {
  auto* toolBar1 = new QToolBar(parent);
  toolBar1->setObjectName(QStringLiteral("ToolBar1"));
  toolBar1->setFixedHeight(kToolBarHeight);
  toolBar1->setMovable(false);
  toolBar1->setFloatable(false);
  toolBar1->setIconSize(QSize(20, 20));
  toolBar1->setContentsMargins(2, 2, 2, 2);
  QToolButton* pasteButton = makeToolButton("PasteButton", QStringLiteral("Paste"), QStringLiteral(":/icons/edit-paste.png"));
  QToolButton* openButton = makeToolButton("OpenButton", QStringLiteral("Open"), QStringLiteral(":/icons/document-open.png"));
  QToolButton* saveButton = makeToolButton("SaveButton", QStringLiteral("Save"), QStringLiteral(":/icons/document-save.png"));
  QToolButton* printButton = makeToolButton("PrintButton", QStringLiteral("Print"), QStringLiteral(":/icons/document-print.png"));
  QToolButton* cutButton = makeToolButton("CutButton", QStringLiteral("Cut"), QStringLiteral(":/icons/edit-cut.png"));
  QToolButton* copyButton = makeToolButton("CopyButton", QStringLiteral("Copy"), QStringLiteral(":/icons/edit-copy.png"));
  QToolButton* pBrush = makeToolButton("PBrush", QStringLiteral("PaintBrush"), QStringLiteral(":/icons/applications-graphics.png"));
  for (QToolButton* button : {pasteButton, openButton, saveButton, printButton, cutButton, copyButton, pBrush})
    toolBar1->addWidget(button);
  connect(pasteButton, &QToolButton::clicked, this, &TForm1::Paste1Click);
  connect(openButton, &QToolButton::clicked, this, &TForm1::Image1Click);
  connect(copyButton, &QToolButton::clicked, this, &TForm1::Copy1Click);
  connect(pBrush, &QToolButton::clicked, this, &TForm1::PBrushClick);
  return toolBar1;
}

void TForm1::createImageArea() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  auto* bevel1 = new QFrame(central);
  bevel1->setObjectName(QStringLiteral("Bevel1"));
  bevel1->setFrameShape(QFrame::HLine);
  bevel1->setFrameShadow(QFrame::Sunken);
  bevel1->setFixedHeight(kBevelHeight);
  layout->addWidget(bevel1);

  layout->addWidget(createToolBar(central));

  scrollArea_ = new QScrollArea(central);
  scrollArea_->setObjectName(QStringLiteral("ImageArea"));
  scrollArea_->setFrameShape(QFrame::NoFrame);
  scrollArea_->setWidgetResizable(true);
  imageCanvas_ = new QWidget;
  imageCanvas_->setObjectName(QStringLiteral("ImageCanvas"));
  image2View_ = new ImageView(session_.image2, kImageAreaOrigin, imageCanvas_);
  image2View_->setObjectName(QStringLiteral("Image2"));
  image3View_ = new ImageView(session_.image3, kImageAreaOrigin, imageCanvas_);
  image3View_->setObjectName(QStringLiteral("Image3"));
  scrollArea_->setWidget(imageCanvas_);
  layout->addWidget(scrollArea_, 1);
  setCentralWidget(central);

  session_.image2.onRepaint = [this] { image2View_->refresh(); };
  session_.image3.onRepaint = [this] { image3View_->refresh(); };
}

void TForm1::refreshImages() {
  image2View_->refresh();
  image3View_->refresh();
  // The canvas grows with the controls, so that the scroll bars reach them.
  const QRect extent = image2View_->geometry().united(image3View_->geometry());
  imageCanvas_->setMinimumSize(extent.right() + 1 + kImageAreaMargin, extent.bottom() + 1 + kImageAreaMargin);
}

void TForm1::updateMenuStates() {
  Reconstruct1->setEnabled(state_.reconstructEnabled);
  menuItemShowReconstructedImage->setEnabled(state_.reconstructedViewEnabled);
  DecompressFilamorph1->setEnabled(state_.decompressEnabled);
  const std::pair<QAction*, View> views[] = {
      {menuItemShowGrayLevel, View::GrayLevel},       {menuItemShowEdges, View::Edges},
      {menuItemShowContours, View::Contours},         {menuItemShowDescriptor, View::Descriptor},
      {menuItemShowBoundingBox, View::BoundingBox},   {menuItemShowFilamorphModel, View::FilamorphModel},
      {menuItemShowReconstructedImage, View::ReconstructedImage}};
  for (const auto& [action, view] : views) action->setChecked(state_.shownView == view);
  Best1->setChecked(state_.quality == Quality::Best);
  Fair1->setChecked(state_.quality == Quality::Fair);
  Poor1->setChecked(state_.quality == Quality::Poor);
}

void TForm1::finishCommand() {
  refreshImages();
  updateMenuStates();
}

void TForm1::finishView(bool drawn, View view) {
  if (drawn) state_.shownView = view;
  finishCommand();
}

void TForm1::showStatus(const Status& status) {
  // The import shows a refused pixel format itself.
  if (status.kind() == ErrorKind::UnsupportedPixelFormat) return;
  if (!status.ok() && !status.message().empty()) showMessageBox(QString::fromStdString(status.message()));
}

void TForm1::showPictureAsFileHoldsIt(const QString& fileName) {
  const QImage picture(fileName);
  // The control keeps the size that the file declared.
  if (picture.isNull())
    session_.image2.picture = Bitmap{};
  else
    session_.image2.assign(toBitmap24(picture));
}

void TForm1::clearImages() {
  for (ImageControl* control : {&session_.image2, &session_.image3}) {
    control->picture = Bitmap{};
    control->hint.clear();
  }
}

QStringList TForm1::askForFiles(FileDialogRequest& request) {
  const QStringList files = runFileDialog(request);
  if (!files.isEmpty()) {
    // The dialog keeps its last answer for the rest of the run.
    request.selectedFile = files.first();
    request.directory = QFileInfo(files.first()).absolutePath();
  }
  return files;
}

void TForm1::openParametersDialog() {
  if (parametersDialog_ == nullptr) return;
  parametersDialog_->show();
}

void TForm1::Image1Click() {
  const QStringList files = askForFiles(openPictureDialog1_);
  if (files.isEmpty()) return;
  const QString fileName = files.first();
  statusBar()->clearMessage();
  const Status opened = session_.openImage(encodeFileName(fileName));
  // Read or not, this file is now the current one: the analysis object has
  // been reset and Detect Contours reloads it. The caption says so, and
  // nothing of the previous image stays in view.
  setWindowTitle(captionFor(fileName));
  state_.reconstructedViewEnabled = false;
  if (opened.kind() == ErrorKind::UnsupportedPixelFormat)
    showPictureAsFileHoldsIt(fileName);
  else if (!opened.ok())
    clearImages();
  modelReference_.imageOpened(session_.analysis, fileName);
  finishCommand();
  showStatus(opened);
}

void TForm1::CodedImagefilamorph1Click() {
  const QStringList files = askForFiles(openDialog1_);
  if (files.isEmpty()) return;
  const QString fileName = files.first();
  const QString previousCaption = windowTitle();
  setWindowTitle(captionFor(fileName));
  const Status read = session_.openCodedImage(encodeFileName(fileName));
  if (read.ok()) {
    state_.decompressEnabled = true;
    state_.reconstructEnabled = true;
    modelReference_.modelRead();
    statusBar()->clearMessage();
  } else {
    // A refused file changes nothing, the caption included: the picture and
    // the model in place still belong to the previous name.
    setWindowTitle(previousCaption);
  }
  finishCommand();
  showStatus(read);
}

void TForm1::Save1Click() {
  if (!session_.image2.picture.hasPixels()) return;
  const QStringList files = askForFiles(saveDialog1_);
  if (files.isEmpty()) return;
  showStatus(session_.image2.saveToFile(encodeFileName(files.first())));
}

void TForm1::Exit1Click() { close(); }

void TForm1::Copy1Click() {
  const QImage picture = toQImage(session_.image2.picture);
  if (picture.isNull()) return;
  QGuiApplication::clipboard()->setImage(picture);
}

void TForm1::Paste1Click() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (data == nullptr || !data->hasImage()) return;
  const QImage picture = QGuiApplication::clipboard()->image();
  if (picture.isNull()) return;
  // A picture the import refuses has been reported by the import itself; the
  // views follow the resulting state either way.
  static_cast<void>(session_.pasteBitmap(toBitmap24(picture)));
  modelReference_.grayLevelsReplaced();
  finishCommand();
}

void TForm1::Invert1Click() {
  if (session_.invert()) modelReference_.grayLevelsReplaced();
  finishCommand();
}

void TForm1::Converttograyscale1Click() {
  session_.showGrayLevel();
  finishCommand();
}

void TForm1::onActionCommand(QAction* item) {
  const QPoint factor = item->data().toPoint();
  if (factor.y() == 0) return;
  session_.zoom(factor.x(), factor.y());
  finishCommand();
}

bool TForm1::DetectContours1Click() {
  if (session_.lastPictureFile.empty()) return false;
  const Status detected = session_.detectContours();
  const bool hasEdges = detected.ok() && session_.hasImage() && session_.hasEdges();
  if (hasEdges) {
    modelReference_.imageReloaded();
    openParametersDialog();
    state_.shownView = View::Edges;
  } else if (detected.kind() == ErrorKind::UnsupportedPixelFormat) {
    showPictureAsFileHoldsIt(decodeFileName(session_.lastPictureFile));
  }
  finishCommand();
  showStatus(detected);
  return hasEdges;
}

void TForm1::TraceContours1Click() { finishView(session_.traceContours(), View::Contours); }

void TForm1::ObtainFilamorph1Click() {
  const bool built = session_.obtainFilamorph();
  if (built) {
    state_.reconstructEnabled = true;
    modelReference_.modelObtained();
  }
  finishView(built, View::FilamorphModel);
}

void TForm1::CompresstoFile1Click() {
  if (!session_.hasFittedModel()) return;
  const QStringList files = askForFiles(openDialog1_);
  if (files.isEmpty()) return;
  const Status written = session_.compressToFile(encodeFileName(files.first()));
  if (written.ok()) {
    statusBar()->showMessage(compressionReport(files.first(), QFileInfo(files.first()).size(), session_.analysis.width,
                                               session_.analysis.height));
  }
  showStatus(written);
}

void TForm1::Best1Click() {
  state_.quality = Quality::Best;
  updateMenuStates();
}

void TForm1::Fair1Click() {
  state_.quality = Quality::Fair;
  updateMenuStates();
}

void TForm1::Poor1Click() {
  state_.quality = Quality::Poor;
  updateMenuStates();
}

void TForm1::Reconstruct1Click() {
  if (!session_.hasModelPlanes()) {
    updateMenuStates();
    return;
  }
  QProgressDialog progress(QStringLiteral("Reconstructing the image from the model..."), QStringLiteral("Cancel"), 0,
                           kProgressSteps, this);
  progress.setObjectName(QStringLiteral("ReconstructProgress"));
  progress.setWindowTitle(QStringLiteral("Reconstruct"));
  progress.setWindowModality(Qt::ApplicationModal);
  // Above the parameters dialog, which stays on top too.
  progress.setWindowFlag(Qt::WindowStaysOnTopHint);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  // The dialog shows itself once the solve has run this long.
  progress.setMinimumDuration(static_cast<int>(kProgressDelayMs));
  progress.setMinimumWidth(420);
  QElapsedTimer clock;
  clock.start();
  ConvergenceProgress convergence(kReconstructParameters.tolerance);
  const auto observer = [&](int sweep, float meanChange) {
    convergence.addSweep(sweep, meanChange, static_cast<double>(clock.nsecsElapsed()) * 1e-9);
    progress.setLabelText(progressReport(convergence));
    progress.setValue(static_cast<int>(convergence.fraction() * kProgressSteps));
    QCoreApplication::processEvents();
    return !progress.wasCanceled();
  };
  const bool reconstructed = session_.reconstruct(DitherGenerator::programWide(), observer);
  progress.hide();
  if (reconstructed) {
    state_.reconstructedViewEnabled = true;
    statusBar()->showMessage(reconstructionReport(session_.reconstruction, modelReference_.forModel()));
  }
  finishView(reconstructed, View::ReconstructedImage);
}

void TForm1::menuItemShowGrayLevelClick() { finishView(session_.showGrayLevel(), View::GrayLevel); }
void TForm1::menuItemShowEdgesClick() { finishView(session_.showEdges(), View::Edges); }
void TForm1::menuItemShowContoursClick() { finishView(session_.showContours(), View::Contours); }
void TForm1::menuItemShowDescriptorClick() { finishView(session_.showDescriptor(), View::Descriptor); }
void TForm1::menuItemShowBoundingBoxClick() { finishView(session_.showBoundingBoxes(), View::BoundingBox); }
void TForm1::menuItemShowFilamorphModelClick() { finishView(session_.showModel(), View::FilamorphModel); }
void TForm1::menuItemShowReconstructedImageClick() {
  finishView(session_.showReconstructed(), View::ReconstructedImage);
}

void TForm1::CompressionParameters1Click() { openParametersDialog(); }

void TForm1::Helpcontent1Click() {
  if (helpViewer_ == nullptr) {
    helpViewer_ = new HelpViewer(this);
    QRect bars = menuBar()->geometry();
    if (const auto* toolBar = findChild<QToolBar*>(QStringLiteral("ToolBar1")))
      bars |= toolBar->geometry().translated(toolBar->parentWidget()->mapTo(this, QPoint()));
    const bool dialogShown = parametersDialog_ != nullptr && parametersDialog_->isVisible();
    helpViewer_->placeBeside(frameGeometry(), bars.translated(mapToGlobal(QPoint())),
                             dialogShown ? parametersDialog_->frameGeometry() : QRect());
  }
  helpViewer_->showContext(kHelpContext);
}

void TForm1::PBrushClick() {
  const std::optional<PaintLaunch> launch = choosePaintProgram(session_.image2.picture);
  if (!launch || !startDetached(*launch)) {
    showMessageBox(QStringLiteral("No paint program could be started: install KolourPaint, Pinta or GIMP, "
                                  "or an image viewer for xdg-open."),
                   MessageKind::Warning);
  }
  Copy1Click();
}

}  // namespace filamorph
