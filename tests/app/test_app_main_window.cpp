// The main window: menu tree and states, caption, zoom, the clipboard, and
// the command flow from a bitmap to a reconstruction and a coded file.

#include <QActionGroup>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <vector>

#include "GuiHarness.h"
#include "app/HelpViewer.h"
#include "app/ImageView.h"

using filamorph::ImageView;
using filamorph::testing::GuiHarness;

namespace {

enum class Kind { Command, Submenu, Separator, Radio, Check };

struct MenuRow {
  const char* name;
  const char* parent;
  const char* caption;
  const char* shortcut;
  Kind kind;
  bool enabled;
  bool checked;
};

// The whole menu tree in order, with the states at start.
const MenuRow kMenuTree[] = {
    {"File1", "MainMenu1", "File", "", Kind::Submenu, true, false},
    {"Open1", "File1", "Open", "", Kind::Submenu, true, false},
    {"Image1", "Open1", "Image", "Ctrl+O", Kind::Command, true, false},
    {"CodedImagefilamorph1", "Open1", "Coded Image (filamorph)", "Ctrl+D", Kind::Command, true, false},
    {"ftp1", "File1", "Import", "", Kind::Command, true, false},
    {"N1", "File1", "-", "", Kind::Separator, true, false},
    {"Save1", "File1", "Save", "", Kind::Command, true, false},
    {"Saveas2", "File1", "Save as", "", Kind::Command, true, false},
    {"Saveas1", "File1", "Export", "", Kind::Command, false, false},
    {"N2", "File1", "-", "", Kind::Separator, true, false},
    {"Pagesetup1", "File1", "Page setup", "", Kind::Command, false, false},
    {"Printpreview1", "File1", "Print preview", "", Kind::Command, false, false},
    {"Print1", "File1", "Print", "", Kind::Command, false, false},
    {"N3", "File1", "-", "", Kind::Separator, true, false},
    {"Exit1", "File1", "Exit", "Ctrl+X", Kind::Command, true, false},
    {"Edit1", "MainMenu1", "Edit", "", Kind::Submenu, true, false},
    {"Cut1", "Edit1", "Cut", "", Kind::Command, true, false},
    {"Copy1", "Edit1", "Copy", "", Kind::Command, true, false},
    {"Paste1", "Edit1", "Paste", "", Kind::Command, true, false},
    {"N6", "Edit1", "-", "", Kind::Separator, true, false},
    {"Invert1", "Edit1", "Invert", "", Kind::Command, true, false},
    {"Converttograyscale1", "Edit1", "Convert to grayscale", "", Kind::Command, true, false},
    {"View1", "MainMenu1", "View", "", Kind::Submenu, true, false},
    {"ZoomIn1", "View1", "Zoom In", "", Kind::Submenu, true, false},
    {"View150", "ZoomIn1", "150%", "", Kind::Command, true, false},
    {"View200", "ZoomIn1", "200%", "F2", Kind::Command, true, false},
    {"View250", "ZoomIn1", "250%", "", Kind::Command, true, false},
    {"View300", "ZoomIn1", "300%", "", Kind::Command, true, false},
    {"View400", "ZoomIn1", "400%", "F4", Kind::Command, true, false},
    {"ZoomOut1", "View1", "Zoom Out", "", Kind::Submenu, true, false},
    {"View80", "ZoomOut1", "80%", "", Kind::Command, true, false},
    {"View70", "ZoomOut1", "70%", "", Kind::Command, true, false},
    {"View50", "ZoomOut1", "50%", "", Kind::Command, true, false},
    {"View25", "ZoomOut1", "25%", "", Kind::Command, true, false},
    {"View10", "ZoomOut1", "10%", "", Kind::Command, true, false},
    {"ViewNormal", "View1", "Normal View", "", Kind::Command, true, false},
    {"Compress1", "MainMenu1", "Compress", "", Kind::Submenu, true, false},
    {"DetectContours1", "Compress1", "Detect Contours", "F8", Kind::Command, true, false},
    {"TraceContours1", "Compress1", "Trace Contours", "F9", Kind::Command, true, false},
    {"N4", "Compress1", "-", "", Kind::Separator, true, false},
    {"ObtainFilamorph1", "Compress1", "Obtain Filamorph ", "F10", Kind::Command, true, false},
    {"CompresstoFile1", "Compress1", "&Compress to File", "", Kind::Command, true, false},
    {"N5", "Compress1", "-", "", Kind::Separator, true, false},
    {"Quality1", "Compress1", "Quality", "", Kind::Submenu, true, false},
    {"Best1", "Quality1", "Best", "", Kind::Check, true, true},
    {"Fair1", "Quality1", "Fair", "", Kind::Check, true, false},
    {"Poor1", "Quality1", "Poor", "", Kind::Check, true, false},
    {"Decompress1", "MainMenu1", "Decompress", "", Kind::Submenu, true, false},
    {"DecompressFilamorph1", "Decompress1", "Dec&ompress Filamorph", "", Kind::Command, false, false},
    {"Reconstruct1", "Decompress1", "&Reconstruct", "", Kind::Command, false, false},
    {"Show1", "MainMenu1", "&Show", "", Kind::Submenu, true, false},
    {"menuItemShowGrayLevel", "Show1", "GrayLevel", "", Kind::Radio, true, false},
    {"menuItemShowEdges", "Show1", "Edges", "", Kind::Radio, true, false},
    {"menuItemShowContours", "Show1", "Contours", "", Kind::Radio, true, false},
    {"menuItemShowDescriptor", "Show1", "Descriptor", "", Kind::Radio, true, false},
    {"menuItemShowBoundingBox", "Show1", "Bounding Box", "", Kind::Radio, true, false},
    {"menuItemShowFilamorphModel", "Show1", "Filamorph Model", "", Kind::Radio, true, false},
    {"N7", "Show1", "-", "", Kind::Separator, true, false},
    {"menuItemShowReconstructedImage", "Show1", "R&econstructed Image", "", Kind::Radio, false, false},
    {"Tools1", "MainMenu1", "&Tools", "", Kind::Submenu, true, false},
    {"CompressionParameters1", "Tools1", "Compression Parameters", "", Kind::Command, true, false},
    {"Help1", "MainMenu1", "&Help", "", Kind::Submenu, true, false},
    {"Helpcontent1", "Help1", "Help &content", "", Kind::Command, true, false},
};

const char* const kShowItems[] = {"menuItemShowGrayLevel",      "menuItemShowEdges",
                                  "menuItemShowContours",       "menuItemShowDescriptor",
                                  "menuItemShowBoundingBox",    "menuItemShowFilamorphModel",
                                  "menuItemShowReconstructedImage"};

// The menu item of a row: a submenu is found by its menu.
QAction* itemOf(const GuiHarness& gui, const char* name) {
  if (auto* menu = gui.find<QMenu>(name)) return menu->menuAction();
  return gui.action(name);
}

QList<QAction*> childrenOf(const GuiHarness& gui, const char* parent) {
  if (QLatin1String(parent) == QLatin1String("MainMenu1")) return gui.find<QMenuBar>(parent)->actions();
  return gui.find<QMenu>(parent)->actions();
}

// The one Show item that is checked, or an empty text.
QString checkedView(const GuiHarness& gui) {
  QString checked;
  for (const char* name : kShowItems)
    if (gui.action(name)->isChecked()) checked += QLatin1String(name);
  return checked;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QGuiApplication::clipboard()->clear(); }

  void menuItemsHaveTheirCaptionsShortcutsAndStates_data();
  void menuItemsHaveTheirCaptionsShortcutsAndStates();
  void menusHoldTheirItemsInOrder();
  void showItemsFormOneRadioGroupAndQualityMarksExcludeEachOther();
  void toolBarHoldsTheSevenButtonsWithTheirHints();
  void captionNamesTheOpenedFile();
  void zoomSizesBothImagesByIntegerArithmetic_data();
  void zoomSizesBothImagesByIntegerArithmetic();
  void zoomBeforeAnyImageCollapsesBothImages();
  void commandsWithoutDataChangeNothing();
  void pasteWithEmptyClipboardChangesNothing();
  void detectContoursReloadsTheLastOpenedFile();
  void openImageAfterReconstructKeepsReconstructEnabled();
  void cancelledReconstructionLeavesEverythingAsItWas();
  void compressedFileOpensWithItsModel();
  void unreadableBitmapIsReportedAndTheProgramGoesOn();
  void helpOpensAtTheOrderOfWork();
};

void MainWindowTest::menuItemsHaveTheirCaptionsShortcutsAndStates_data() {
  QTest::addColumn<int>("row");
  for (int row = 0; row < static_cast<int>(std::size(kMenuTree)); ++row)
    QTest::newRow(kMenuTree[row].name) << row;
}

void MainWindowTest::menuItemsHaveTheirCaptionsShortcutsAndStates() {
  QFETCH(int, row);
  const MenuRow& expected = kMenuTree[row];
  GuiHarness gui;
  QAction* item = itemOf(gui, expected.name);
  QVERIFY2(item != nullptr, expected.name);
  QVERIFY(childrenOf(gui, expected.parent).contains(item));
  QCOMPARE(item->isSeparator(), expected.kind == Kind::Separator);
  if (expected.kind != Kind::Separator) QCOMPARE(item->text(), QString::fromLatin1(expected.caption));
  QCOMPARE(item->menu() != nullptr, expected.kind == Kind::Submenu);
  QCOMPARE(item->shortcut(), QKeySequence(QString::fromLatin1(expected.shortcut)));
  QCOMPARE(item->isEnabled(), expected.enabled);
  QCOMPARE(item->isCheckable(), expected.kind == Kind::Radio || expected.kind == Kind::Check);
  QCOMPARE(item->isChecked(), expected.checked);
}

void MainWindowTest::menusHoldTheirItemsInOrder() {
  GuiHarness gui;
  QStringList parents;
  for (const MenuRow& row : kMenuTree)
    if (!parents.contains(QLatin1String(row.parent))) parents.append(QLatin1String(row.parent));
  for (const QString& parent : parents) {
    QList<QAction*> expected;
    for (const MenuRow& row : kMenuTree)
      if (parent == QLatin1String(row.parent)) expected.append(itemOf(gui, row.name));
    QCOMPARE(childrenOf(gui, parent.toLatin1().constData()), expected);
  }
}

void MainWindowTest::showItemsFormOneRadioGroupAndQualityMarksExcludeEachOther() {
  GuiHarness gui;
  QActionGroup* group = gui.action(kShowItems[0])->actionGroup();
  QVERIFY(group != nullptr);
  QCOMPARE(group->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
  for (const char* name : kShowItems) QCOMPARE(gui.action(name)->actionGroup(), group);
  QCOMPARE(group->actions().size(), 7);

  const struct {
    const char* clicked;
    bool best, fair, poor;
  } qualitySteps[] = {{"Fair1", false, true, false},
                      {"Poor1", false, false, true},
                      {"Poor1", false, false, true},
                      {"Best1", true, false, false}};
  for (const auto& step : qualitySteps) {
    QVERIFY(gui.action(step.clicked)->actionGroup() == nullptr);
    gui.trigger(step.clicked);
    QCOMPARE(gui.action("Best1")->isChecked(), step.best);
    QCOMPARE(gui.action("Fair1")->isChecked(), step.fair);
    QCOMPARE(gui.action("Poor1")->isChecked(), step.poor);
  }
}

void MainWindowTest::toolBarHoldsTheSevenButtonsWithTheirHints() {
  GuiHarness gui;
  const char* const expected[][2] = {{"PasteButton", "Paste"}, {"OpenButton", "Open"}, {"SaveButton", "Save"},
                                     {"PrintButton", "Print"}, {"CutButton", "Cut"},   {"CopyButton", "Copy"},
                                     {"PBrush", "PaintBrush"}};
  auto* toolBar = gui.find<QToolBar>("ToolBar1");
  QVERIFY(toolBar != nullptr);
  QList<QToolButton*> buttons;
  for (QAction* action : toolBar->actions())
    if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(action))) buttons.append(button);
  QCOMPARE(buttons.size(), 7);
  for (int i = 0; i < 7; ++i) {
    QCOMPARE(buttons[i]->objectName(), QLatin1String(expected[i][0]));
    QCOMPARE(buttons[i]->toolTip(), QLatin1String(expected[i][1]));
    QVERIFY(!buttons[i]->icon().isNull());
    QCOMPARE(buttons[i]->size(), QSize(25, 25));
  }
  QVERIFY(gui.find<QWidget>("Bevel1") != nullptr);
  QVERIFY(gui.find<QWidget>("StatusBar1") != nullptr);
}

void MainWindowTest::captionNamesTheOpenedFile() {
  GuiHarness gui;
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("Untitled - Filamorph Codec "));
  const QString file = gui.writeBitmap("a.bmp", GuiHarness::plain(9, 7, Qt::gray));

  gui.trigger("Image1");  // cancelled: nothing happens
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("Untitled - Filamorph Codec "));
  QCOMPARE(gui.dialogRequests, QStringList{QStringLiteral("OpenPictureDialog1")});

  // Several files chosen: the first one is opened.
  gui.answers.push_back({file, gui.writeBitmap("b.bmp", GuiHarness::plain(3, 3, Qt::gray))});
  gui.find<QToolButton>("OpenButton")->click();
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("  ") + file + QStringLiteral("  -  Filamorph Codec"));
  QCOMPARE(gui.analysis.width, 9);
  QCOMPARE(gui.find<ImageView>("Image2")->toolTip(), file);

  // Save writes the shown picture under exactly the name given.
  const QString saved = gui.directory.filePath(QStringLiteral("saved"));
  gui.triggerWithFile("Save1", saved);
  QCOMPARE(gui.dialogRequests.last(), QStringLiteral("SaveDialog1"));
  QCOMPARE(QImage(saved, "BMP").size(), QSize(9, 7));
  QVERIFY(gui.messages.isEmpty());
}

void MainWindowTest::zoomSizesBothImagesByIntegerArithmetic_data() {
  QTest::addColumn<QString>("item");
  QTest::addColumn<int>("width");
  QTest::addColumn<int>("height");
  // An image of 101 x 50: w = n * 101 / d, h = n * 50 / d, truncated.
  QTest::newRow("150%") << "View150" << 151 << 75;
  QTest::newRow("200%") << "View200" << 202 << 100;
  QTest::newRow("250%") << "View250" << 252 << 125;
  QTest::newRow("300%") << "View300" << 303 << 150;
  QTest::newRow("400%") << "View400" << 404 << 200;
  QTest::newRow("80%") << "View80" << 80 << 40;
  QTest::newRow("70%") << "View70" << 70 << 35;
  QTest::newRow("50%") << "View50" << 50 << 25;
  QTest::newRow("25%") << "View25" << 25 << 12;
  QTest::newRow("10%") << "View10" << 10 << 5;
  QTest::newRow("normal") << "ViewNormal" << 101 << 50;
}

void MainWindowTest::zoomSizesBothImagesByIntegerArithmetic() {
  QFETCH(QString, item);
  QFETCH(int, width);
  QFETCH(int, height);
  GuiHarness gui;
  gui.triggerWithFile("Image1", gui.writeBitmap("wide.bmp", GuiHarness::plain(101, 50, Qt::darkGray)));
  gui.trigger(item.toLatin1().constData());

  const filamorph::CommandSession& session = gui.form1->session();
  QCOMPARE(gui.find<ImageView>("Image2")->size(), QSize(width, height));
  QCOMPARE(gui.find<ImageView>("Image3")->size(), QSize(width, height));
  QCOMPARE(session.image3.left, width + 20);
  QCOMPARE(gui.find<ImageView>("Image3")->x(), width + 20);
  QVERIFY(session.image2.stretch);
  QCOMPARE(gui.find<ImageView>("Image2")->shownImage().size(), QSize(101, 50));
}

void MainWindowTest::zoomBeforeAnyImageCollapsesBothImages() {
  GuiHarness gui;
  gui.action("View200")->trigger();
  QCOMPARE(gui.find<ImageView>("Image2")->size(), QSize(0, 0));
  QCOMPARE(gui.find<ImageView>("Image3")->size(), QSize(0, 0));
  QCOMPARE(gui.form1->session().image3.left, 20);
}

void MainWindowTest::commandsWithoutDataChangeNothing() {
  GuiHarness gui;
  const QString title = gui.form1->windowTitle();
  // Every command that needs data; Exit, the quality marks, the dialog and the
  // help need none.
  const QStringList skipped = {QStringLiteral("Exit1"),  QStringLiteral("Best1"),
                               QStringLiteral("Fair1"),  QStringLiteral("Poor1"),
                               QStringLiteral("CompressionParameters1"), QStringLiteral("Helpcontent1")};
  for (QAction* action : gui.form1->findChildren<QAction*>()) {
    if (action->objectName().isEmpty() || skipped.contains(action->objectName()) || action->menu()) continue;
    action->trigger();
  }
  QCOMPARE(gui.form1->windowTitle(), title);
  QCOMPARE(checkedView(gui), QString());
  QVERIFY(!gui.action("Reconstruct1")->isEnabled());
  QVERIFY(!gui.action("menuItemShowReconstructedImage")->isEnabled());
  QVERIFY(gui.action("Best1")->isChecked());
  QVERIFY(gui.form2->isHidden());
  QVERIFY(gui.messages.isEmpty());
  QVERIFY(!gui.form1->session().image2.picture.hasPixels());
  // Only the commands that ask for a file opened a dialog, and were cancelled.
  QCOMPARE(gui.dialogRequests, (QStringList{QStringLiteral("OpenPictureDialog1"), QStringLiteral("OpenDialog1")}));
}

void MainWindowTest::pasteWithEmptyClipboardChangesNothing() {
  GuiHarness gui;
  gui.triggerWithFile("Image1", gui.writeBitmap("p.bmp", GuiHarness::squares(2, 1)));
  gui.trigger("menuItemShowGrayLevel");
  const QString title = gui.form1->windowTitle();
  const filamorph::Bitmap picture = gui.form1->session().image2.picture;
  const std::vector<uint8_t> gray(gui.analysis.grayPlane.data(),
                                  gui.analysis.grayPlane.data() + gui.analysis.grayPlane.size());

  QGuiApplication::clipboard()->setText(QStringLiteral("not a picture"));
  gui.trigger("Paste1");
  QGuiApplication::clipboard()->clear();
  gui.find<QToolButton>("PasteButton")->click();

  const filamorph::CommandSession& session = gui.form1->session();
  QCOMPARE(gui.form1->windowTitle(), title);
  QCOMPARE(session.image2.picture.pixels, picture.pixels);
  QCOMPARE(std::vector<uint8_t>(gui.analysis.grayPlane.data(),
                                gui.analysis.grayPlane.data() + gui.analysis.grayPlane.size()),
           gray);
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowGrayLevel"));
  QVERIFY(gui.messages.isEmpty());
}

void MainWindowTest::detectContoursReloadsTheLastOpenedFile() {
  GuiHarness gui;
  const QImage squares = GuiHarness::squares(3, 2);
  gui.triggerWithFile("Image1", gui.writeBitmap("s.bmp", squares));

  // Copy, then paste a picture of another size: it becomes the image...
  gui.trigger("Copy1");
  QCOMPARE(QGuiApplication::clipboard()->image().size(), squares.size());
  QGuiApplication::clipboard()->setImage(GuiHarness::plain(40, 30, Qt::white));
  gui.trigger("Paste1");
  QCOMPARE(gui.analysis.width, 40);
  QCOMPARE(gui.analysis.grayPlane[0][0], uint8_t{255});
  gui.trigger("Invert1");
  QCOMPARE(gui.analysis.grayPlane[0][0], uint8_t{0});

  // ...but Detect Contours works on the file last opened, with its fixed values.
  gui.form2->hide();
  gui.trigger("DetectContours1");
  QCOMPARE(gui.analysis.width, squares.width());
  QCOMPARE(gui.analysis.height, squares.height());
  QVERIFY(gui.form1->session().hasEdges());
  QCOMPARE(gui.analysis.lambda, 1.0f);
  QCOMPARE(gui.analysis.tau, 0.1f);
  QCOMPARE(gui.analysis.filterLength, 5);
  QCOMPARE(gui.analysis.tLow, 70);
  QCOMPARE(gui.analysis.tHigh, 80);
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowEdges"));
  QVERIFY(gui.form2->isVisible());
  QCOMPARE(gui.find<ImageView>("Image2")->toolTip(), QStringLiteral("Edge Map"));
}

void MainWindowTest::openImageAfterReconstructKeepsReconstructEnabled() {
  GuiHarness gui;
  gui.triggerWithFile("Image1", gui.writeBitmap("r.bmp", GuiHarness::stripes(48, 40, 6)));
  gui.trigger("DetectContours1");
  gui.trigger("TraceContours1");
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowContours"));
  QVERIFY(!gui.action("Reconstruct1")->isEnabled());
  gui.trigger("ObtainFilamorph1");
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowFilamorphModel"));
  QVERIFY(gui.action("Reconstruct1")->isEnabled());
  gui.trigger("Reconstruct1");
  QVERIFY(gui.action("menuItemShowReconstructedImage")->isEnabled());
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowReconstructedImage"));
  QVERIFY(gui.reconstruction.grayPlaneAllocated == 1);

  gui.trigger("menuItemShowEdges");
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowEdges"));
  gui.trigger("menuItemShowReconstructedImage");
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowReconstructedImage"));

  gui.triggerWithFile("Image1", gui.writeBitmap("other.bmp", GuiHarness::plain(20, 10, Qt::gray)));
  QVERIFY(gui.action("Reconstruct1")->isEnabled());
  QVERIFY(!gui.action("menuItemShowReconstructedImage")->isEnabled());
  QVERIFY(gui.form1->session().hasModelPlanes());
  QVERIFY(gui.messages.isEmpty());
}

void MainWindowTest::cancelledReconstructionLeavesEverythingAsItWas() {
  GuiHarness gui;
  gui.triggerWithFile("Image1", gui.writeBitmap("c.bmp", GuiHarness::squares(2, 1)));
  gui.trigger("DetectContours1");
  gui.trigger("TraceContours1");
  gui.trigger("ObtainFilamorph1");
  const filamorph::Bitmap modelView = gui.form1->session().image2.picture;

  // The first sweep processes events: the user presses Cancel there.
  QTimer::singleShot(0, gui.form1.get(), [&gui] {
    if (auto* progress = gui.form1->findChild<QProgressDialog*>(QStringLiteral("ReconstructProgress")))
      progress->cancel();
  });
  gui.trigger("Reconstruct1");
  QCOMPARE(gui.reconstruction.grayPlaneAllocated, uint8_t{0});
  QVERIFY(!gui.action("menuItemShowReconstructedImage")->isEnabled());
  QCOMPARE(checkedView(gui), QStringLiteral("menuItemShowFilamorphModel"));
  QCOMPARE(gui.form1->session().image2.picture.pixels, modelView.pixels);
}

void MainWindowTest::compressedFileOpensWithItsModel() {
  GuiHarness gui;
  gui.triggerWithFile("Image1", gui.writeBitmap("m.bmp", GuiHarness::squares(2, 2)));
  gui.trigger("DetectContours1");
  gui.trigger("TraceContours1");
  const QString coded = gui.directory.filePath(QStringLiteral("m.flm"));
  gui.triggerWithFile("CompresstoFile1", coded);  // no model yet: nothing, not even the dialog
  QVERIFY(!QFile::exists(coded));
  gui.trigger("ObtainFilamorph1");
  const QString title = gui.form1->windowTitle();
  gui.trigger("CompresstoFile1");
  QVERIFY(QFile::exists(coded));
  QCOMPARE(gui.form1->windowTitle(), title);

  GuiHarness other;
  other.triggerWithFile("CodedImagefilamorph1", coded);
  QCOMPARE(other.form1->windowTitle(), QStringLiteral("  ") + coded + QStringLiteral("  -  Filamorph Codec"));
  QVERIFY(other.action("DecompressFilamorph1")->isEnabled());
  QVERIFY(other.action("Reconstruct1")->isEnabled());
  QCOMPARE(checkedView(other), QString());
  QCOMPARE(other.analysis.width, gui.analysis.width);
  QVERIFY(other.form1->session().hasModelPlanes());
  QVERIFY(other.messages.isEmpty());
}

void MainWindowTest::unreadableBitmapIsReportedAndTheProgramGoesOn() {
  GuiHarness gui;
  const QString bogus = gui.directory.filePath(QStringLiteral("bogus.bmp"));
  QFile file(bogus);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("this is no bitmap");
  file.close();
  gui.triggerWithFile("Image1", bogus);
  QCOMPARE(gui.messages.size(), 1);
  // The analysis object now holds the new name: so does the caption.
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("  ") + bogus + QStringLiteral("  -  Filamorph Codec"));

  // A 1-bit bitmap: the import refuses its pixel format and the command goes on.
  const QString mono = gui.directory.filePath(QStringLiteral("mono.bmp"));
  QVERIFY(GuiHarness::plain(8, 8, Qt::white).convertToFormat(QImage::Format_Mono).save(mono, "BMP"));
  gui.triggerWithFile("Image1", mono);
  QCOMPARE(gui.messages.size(), 2);
  QCOMPARE(gui.messages.last(), QStringLiteral("Does not support this Pixel Format."));
  QCOMPARE(gui.form1->windowTitle(), QStringLiteral("  ") + mono + QStringLiteral("  -  Filamorph Codec"));
  QVERIFY(!gui.form1->session().hasImage());
  gui.trigger("DetectContours1");
  QCOMPARE(gui.messages.size(), 3);
  QCOMPARE(checkedView(gui), QString());

  gui.triggerWithFile("Image1", gui.writeBitmap("fine.bmp", GuiHarness::plain(8, 8, Qt::gray)));
  QCOMPARE(gui.messages.size(), 3);
  QVERIFY(gui.form1->session().hasImage());
}

void MainWindowTest::helpOpensAtTheOrderOfWork() {
  GuiHarness gui;
  gui.trigger("Helpcontent1");
  auto* help = gui.find<filamorph::HelpViewer>("HelpViewer");
  QVERIFY(help != nullptr);
  QVERIFY(help->isVisible());
  QCOMPARE(help->source().fragment(), QStringLiteral("context10"));
  QVERIFY(help->toPlainText().contains(QStringLiteral("The order of work")));
}

QTEST_MAIN(MainWindowTest)
#include "test_app_main_window.moc"
