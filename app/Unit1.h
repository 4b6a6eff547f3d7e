#ifndef FILAMORPH_APP_UNIT1_H
#define FILAMORPH_APP_UNIT1_H
// The main window: menu, tool bar, the two image controls and the commands.

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "app/ModelReference.h"
#include "app/UserDialogs.h"
#include "commands/CommandSession.h"

class QAction;
class QMenu;
class QScrollArea;
class QToolBar;
class QToolButton;

namespace filamorph {

class HelpViewer;
class ImageView;
class TForm2;

// Every command runs to its end on the GUI thread through the command
// session, then refreshes both image widgets and the menu states. A command
// whose data does not exist yet does nothing. The menu's enabled and checked
// marks are derived from MenuState alone (updateMenuStates()).
class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  TForm1(ContourCoder& analysis, Reconstructor& reconstruction, QWidget* parent = nullptr);
  ~TForm1() override;

  CommandSession& session() { return session_; }
  // The parameters dialog that Detect Contours and Compression Parameters
  // show. The menu's shortcuts act while it has the keyboard too.
  void setParametersDialog(TForm2* dialog);
  // Re-reads both image controls into their widgets.
  void refreshImages();

  static constexpr const char* kTitle = "Filamorph Codec";
  static QString untitledCaption();
  static QString captionFor(const QString& fileName);

 public slots:
  void Image1Click();
  void CodedImagefilamorph1Click();
  void Save1Click();
  void Exit1Click();
  void Copy1Click();
  void Paste1Click();
  void Invert1Click();
  void Converttograyscale1Click();
  void onActionCommand(QAction* item);
  // Returns false when detection could not run, so that the parameters
  // dialog's accept button stops there.
  bool DetectContours1Click();
  void TraceContours1Click();
  void ObtainFilamorph1Click();
  void CompresstoFile1Click();
  void Best1Click();
  void Fair1Click();
  void Poor1Click();
  void Reconstruct1Click();
  void menuItemShowGrayLevelClick();
  void menuItemShowEdgesClick();
  void menuItemShowContoursClick();
  void menuItemShowDescriptorClick();
  void menuItemShowBoundingBoxClick();
  void menuItemShowFilamorphModelClick();
  void menuItemShowReconstructedImageClick();
  void CompressionParameters1Click();
  void Helpcontent1Click();
  void PBrushClick();

 private:
  enum class View { None, GrayLevel, Edges, Contours, Descriptor, BoundingBox, FilamorphModel, ReconstructedImage };
  enum class Quality { Best, Fair, Poor };
  struct MenuState {
    bool reconstructEnabled = false;
    bool reconstructedViewEnabled = false;
    bool decompressEnabled = false;
    View shownView = View::None;
    Quality quality = Quality::Best;
  };

  void createActions();
  void createMenus();
  QToolBar* createToolBar(QWidget* parent);
  void createImageArea();
  QAction* makeAction(const char* name, const QString& caption, const QKeySequence& shortcut = {});
  QMenu* makeMenu(const char* name, const QString& caption);
  QToolButton* makeToolButton(const char* name, const QString& hint, const QString& icon);
  void addSeparator(QMenu* menu, const char* name);
  void updateMenuStates();
  // Ends a command: both image widgets, the scroll area and the menu states.
  void finishCommand();
  // Ends a view command: the view gets the check mark when it was drawn.
  void finishView(bool drawn, View view);
  void showStatus(const Status& status);
  // After a refused pixel format the control holds no pixels: it shows the
  // file as the toolkit reads it, or nothing when the toolkit cannot either.
  void showPictureAsFileHoldsIt(const QString& fileName);
  // Both image controls lose their pictures: nothing shown belongs to a file
  // that could not be read.
  void clearImages();
  QStringList askForFiles(FileDialogRequest& request);
  void openParametersDialog();

  CommandSession session_;
  MenuState state_;
  FileDialogRequest openPictureDialog1_;
  FileDialogRequest openDialog1_;
  FileDialogRequest saveDialog1_;
  TForm2* parametersDialog_ = nullptr;
  ModelReference modelReference_;
  QPointer<HelpViewer> helpViewer_;

  QScrollArea* scrollArea_ = nullptr;
  QWidget* imageCanvas_ = nullptr;
  ImageView* image2View_ = nullptr;
  ImageView* image3View_ = nullptr;

  QAction* Image1 = nullptr;
  QAction* CodedImagefilamorph1 = nullptr;
  QAction* ftp1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* Saveas2 = nullptr;
  QAction* Saveas1 = nullptr;
  QAction* Pagesetup1 = nullptr;
  QAction* Printpreview1 = nullptr;
  QAction* Print1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* Cut1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Paste1 = nullptr;
  QAction* Invert1 = nullptr;
  QAction* Converttograyscale1 = nullptr;
  QAction* DetectContours1 = nullptr;
  QAction* TraceContours1 = nullptr;
  QAction* ObtainFilamorph1 = nullptr;
  QAction* CompresstoFile1 = nullptr;
  QAction* Best1 = nullptr;
  QAction* Fair1 = nullptr;
  QAction* Poor1 = nullptr;
  QAction* DecompressFilamorph1 = nullptr;
  QAction* Reconstruct1 = nullptr;
  QAction* menuItemShowGrayLevel = nullptr;
  QAction* menuItemShowEdges = nullptr;
  QAction* menuItemShowContours = nullptr;
  QAction* menuItemShowDescriptor = nullptr;
  QAction* menuItemShowBoundingBox = nullptr;
  QAction* menuItemShowFilamorphModel = nullptr;
  QAction* menuItemShowReconstructedImage = nullptr;
  QAction* CompressionParameters1 = nullptr;
  QAction* Helpcontent1 = nullptr;
  QList<QAction*> zoomItems_;
};

}  // namespace filamorph

#endif  // FILAMORPH_APP_UNIT1_H
