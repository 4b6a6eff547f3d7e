#ifndef FILAMORPH_APP_UNIT2_H
#define FILAMORPH_APP_UNIT2_H
// The compression-parameters dialog: edge-detection values, thresholds and
// the perceptual selection of contours.

#include <QDialog>
#include <cstdint>

class QGroupBox;
class QLineEdit;
class QSlider;
class QToolButton;

namespace filamorph {

class TForm1;

// A modeless, stay-on-top window without OK or Cancel: every control acts at
// once on the main window's analysis object and redraws its main image. The
// edge values go straight into the analysis object; the four selection
// values live here for the whole run.
class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(TForm1& form1);

  float lengthWeight() const { return lengthWeight_; }
  float curvatureWeight() const { return curvatureWeight_; }
  float contrastWeight() const { return contrastWeight_; }
  int32_t numberToSelect() const { return numberToSelect_; }

 public slots:
  void Edit1Change(const QString& text);
  void Edit2Change(const QString& text);
  void Edit3Change(const QString& text);
  void TrackBar2Change();
  void TrackBar1Change();
  void TrackBar3Change();
  void TrackBar4Change();
  void TrackBar5Change();
  void TrackBar6Change();
  void SpeedButton2Click();
  void SpeedButton1MouseUp();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* createEdgeDetectionGroup();
  QWidget* createSelectionGroup();
  // The crossed-bars rule, the caption of the moved bar and the
  // re-thresholding of the existing edge planes.
  void changeThresholds(const QSlider* moved, QGroupBox* caption, const char* label);
  void changeWeight(const QSlider* bar, float& weight, QGroupBox* caption, const char* label);

  TForm1& form1_;
  float lengthWeight_ = 0.5f;
  float curvatureWeight_ = 0.5f;
  float contrastWeight_ = 0.5f;
  int32_t numberToSelect_ = 0;

  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QGroupBox* GroupBox4 = nullptr;
  QGroupBox* GroupBox6 = nullptr;
  QGroupBox* GroupBox7 = nullptr;
  QGroupBox* GroupBox8 = nullptr;
  QGroupBox* GroupBox9 = nullptr;
  QSlider* TrackBar1 = nullptr;
  QSlider* TrackBar2 = nullptr;
  QSlider* TrackBar3 = nullptr;
  QSlider* TrackBar4 = nullptr;
  QSlider* TrackBar5 = nullptr;
  QSlider* TrackBar6 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
};

}  // namespace filamorph

#endif  // FILAMORPH_APP_UNIT2_H
