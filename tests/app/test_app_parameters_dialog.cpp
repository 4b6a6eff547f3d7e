// The compression-parameters dialog: edge values typed key by key, the
// threshold bars with their crossed-bars rule, the selection bars and the
// accept button.

#include <QDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include "GuiHarness.h"

using filamorph::testing::GuiHarness;

namespace {

QString title(const GuiHarness& gui, const char* groupBox) { return gui.find<QGroupBox>(groupBox)->title(); }
QSlider* bar(const GuiHarness& gui, const char* name) { return gui.find<QSlider>(name); }

// Opens the squares picture and detects its edges, as the user would.
void detectSquares(GuiHarness& gui, int columns, int rows) {
  gui.triggerWithFile("Image1", gui.writeBitmap("squares.bmp", GuiHarness::squares(columns, rows)));
  gui.trigger("DetectContours1");
  QVERIFY(gui.form1->session().hasEdges());
}

}  // namespace

class ParametersDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void dialogShowsItsDesignValues();
  void editFieldsStoreTheScannedNumberAtEachKeyStroke();
  void crossedThresholdsAreIgnoredUntilTheyUncross();
  void equalThresholdsAreAccepted();
  void thresholdBarsDoNothingWithoutEdges();
  void weightBarsSetWeightAndCaption_data();
  void weightBarsSetWeightAndCaption();
  void countBarIsClampedToTheContourCount();
  void acceptButtonRunsTheAnalysisWithTheFixedValues();
};

void ParametersDialogTest::dialogShowsItsDesignValues() {
  GuiHarness gui;
  QDialog* dialog = gui.form2;
  QCOMPARE(dialog->objectName(), QStringLiteral("Form2"));
  QCOMPARE(dialog->windowTitle(), QStringLiteral("Compression Parameters"));
  QVERIFY(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  QVERIFY(dialog->isHidden());
  QCOMPARE(dialog->size(), QSize(448, 340));

  const struct {
    const char* name;
    const char* text;
    const char* hint;
  } edits[] = {{"Edit1", "1.0", "Enter Lambda Value"}, {"Edit2", "0.8", "Set Tau Value"}, {"Edit3", "7", "Set Filter Length"}};
  for (const auto& edit : edits) {
    QCOMPARE(gui.find<QLineEdit>(edit.name)->text(), QLatin1String(edit.text));
    QCOMPARE(gui.find<QLineEdit>(edit.name)->toolTip(), QLatin1String(edit.hint));
  }
  const struct {
    const char* bar;
    const char* groupBox;
    const char* caption;
    int position;
  } bars[] = {{"TrackBar2", "GroupBox3", "  TLow [50%]  ", 50},     {"TrackBar1", "GroupBox4", "  THigh [75%]  ", 75},
              {"TrackBar3", "GroupBox7", "Length [0.5]  ", 50},    {"TrackBar4", "GroupBox8", "Mean Curvature [0.5]  ", 50},
              {"TrackBar5", "GroupBox9", "Mean Contrast [0.5]  ", 50}, {"TrackBar6", "GroupBox6", "# of Contours Selected", 0}};
  for (const auto& expected : bars) {
    QSlider* slider = bar(gui, expected.bar);
    QCOMPARE(slider->value(), expected.position);
    QCOMPARE(slider->minimum(), 0);
    QCOMPARE(slider->maximum(), 100);
    QCOMPARE(slider->tickInterval(), 5);
    QCOMPARE(title(gui, expected.groupBox), QLatin1String(expected.caption));
  }
  QCOMPARE(title(gui, "GroupBox1"), QStringLiteral("  Edge Detection  "));
  QCOMPARE(title(gui, "GroupBox2"), QStringLiteral("Contour Selection"));
  QCOMPARE(title(gui, "GroupBox5"), QStringLiteral("Priority Weight  "));
  QCOMPARE(gui.find<QToolButton>("SpeedButton1")->toolTip(), QStringLiteral("Accept parameters"));
  QCOMPARE(gui.find<QToolButton>("SpeedButton2")->toolTip(), QStringLiteral("Perceptual Filtering"));
  QCOMPARE(gui.form2->lengthWeight(), 0.5f);
  QCOMPARE(gui.form2->numberToSelect(), 0);

  // Nothing of the design values reaches the analysis object.
  QCOMPARE(gui.analysis.lambda, 0.0f);
  QCOMPARE(gui.analysis.filterLength, 0);
  QCOMPARE(gui.analysis.tLow, 0);
}

void ParametersDialogTest::editFieldsStoreTheScannedNumberAtEachKeyStroke() {
  GuiHarness gui;
  auto* lambda = gui.find<QLineEdit>("Edit1");
  lambda->clear();  // no number: the value stays
  QCOMPARE(gui.analysis.lambda, 0.0f);
  const struct {
    Qt::Key key;
    float stored;
  } strokes[] = {{Qt::Key_1, 1.0f}, {Qt::Key_Period, 1.0f}, {Qt::Key_5, 1.5f}, {Qt::Key_X, 1.5f}};
  for (const auto& stroke : strokes) {
    QTest::keyClick(lambda, stroke.key);
    QCOMPARE(gui.analysis.lambda, stroke.stored);
  }

  const struct {
    const char* edit;
    const char* text;
    float tau;
    int filterLength;
  } texts[] = {{"Edit2", "  0.25 and more", 0.25f, 0}, {"Edit2", "abc", 0.25f, 0},  {"Edit2", "-3e-1", -0.3f, 0},
               {"Edit3", "7.9", -0.3f, 7},             {"Edit3", "", -0.3f, 7},     {"Edit3", " -4x", -0.3f, -4}};
  for (const auto& typed : texts) {
    gui.find<QLineEdit>(typed.edit)->setText(QLatin1String(typed.text));
    QCOMPARE(gui.analysis.tau, typed.tau);
    QCOMPARE(gui.analysis.filterLength, typed.filterLength);
  }
}

void ParametersDialogTest::crossedThresholdsAreIgnoredUntilTheyUncross() {
  GuiHarness gui;
  detectSquares(gui, 2, 1);
  bar(gui, "TrackBar2")->setValue(60);
  QCOMPARE(gui.analysis.tLow, 60);
  QCOMPARE(gui.analysis.tHigh, 75);
  QCOMPARE(title(gui, "GroupBox3"), QStringLiteral("TLow [60%]"));
  const int repaints = gui.form1->session().image2.repaintCount;

  bar(gui, "TrackBar2")->setValue(80);  // above THigh at 75: only the bar moves
  QCOMPARE(bar(gui, "TrackBar2")->value(), 80);
  QCOMPARE(gui.analysis.tLow, 60);
  QCOMPARE(gui.analysis.tHigh, 75);
  QCOMPARE(title(gui, "GroupBox3"), QStringLiteral("TLow [60%]"));
  QCOMPARE(gui.form1->session().image2.repaintCount, repaints);

  bar(gui, "TrackBar1")->setValue(90);
  QCOMPARE(gui.analysis.tLow, 80);
  QCOMPARE(gui.analysis.tHigh, 90);
  QCOMPARE(title(gui, "GroupBox4"), QStringLiteral("THigh [90%]"));
  QCOMPARE(title(gui, "GroupBox3"), QStringLiteral("TLow [60%]"));
  QVERIFY(gui.form1->session().image2.repaintCount > repaints);
  QCOMPARE(gui.form1->session().image2.hint, std::string("Edge Map"));
}

void ParametersDialogTest::equalThresholdsAreAccepted() {
  GuiHarness gui;
  detectSquares(gui, 2, 1);
  bar(gui, "TrackBar1")->setValue(50);
  QCOMPARE(gui.analysis.tLow, 50);
  QCOMPARE(gui.analysis.tHigh, 50);
  QCOMPARE(title(gui, "GroupBox4"), QStringLiteral("THigh [50%]"));
}

void ParametersDialogTest::thresholdBarsDoNothingWithoutEdges() {
  GuiHarness gui;
  bar(gui, "TrackBar2")->setValue(20);
  bar(gui, "TrackBar1")->setValue(30);
  QCOMPARE(gui.analysis.tLow, 0);
  QCOMPARE(gui.analysis.tHigh, 0);
  QCOMPARE(title(gui, "GroupBox3"), QStringLiteral("  TLow [50%]  "));
  QVERIFY(!gui.form1->session().image2.picture.hasPixels());
}

void ParametersDialogTest::weightBarsSetWeightAndCaption_data() {
  QTest::addColumn<QString>("barName");
  QTest::addColumn<QString>("groupBox");
  QTest::addColumn<int>("position");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<float>("weight");
  QTest::newRow("length 0") << "TrackBar3" << "GroupBox7" << 0 << "Length [0.00]" << 0.0f;
  QTest::newRow("length 100") << "TrackBar3" << "GroupBox7" << 100 << "Length [1.00]" << 1.0f;
  QTest::newRow("curvature 7") << "TrackBar4" << "GroupBox8" << 7 << "Mean Curvature [0.07]"
                               << static_cast<float>(7 * 0.01);
  QTest::newRow("contrast 33") << "TrackBar5" << "GroupBox9" << 33 << "Mean Contrast [0.33]"
                               << static_cast<float>(33 * 0.01);
}

void ParametersDialogTest::weightBarsSetWeightAndCaption() {
  QFETCH(QString, barName);
  QFETCH(QString, groupBox);
  QFETCH(int, position);
  QFETCH(QString, caption);
  QFETCH(float, weight);
  GuiHarness gui;
  bar(gui, barName.toLatin1().constData())->setValue(position);
  QCOMPARE(title(gui, groupBox.toLatin1().constData()), caption);
  const float weights[] = {gui.form2->lengthWeight(), gui.form2->curvatureWeight(), gui.form2->contrastWeight()};
  const int index = barName.back().digitValue() - 3;
  for (int i = 0; i < 3; ++i) QCOMPARE(weights[i], i == index ? weight : 0.5f);
}

void ParametersDialogTest::countBarIsClampedToTheContourCount() {
  GuiHarness gui;
  detectSquares(gui, 4, 3);
  gui.trigger("TraceContours1");
  QCOMPARE(gui.analysis.contourCount, 12);

  bar(gui, "TrackBar6")->setValue(30);
  QCOMPARE(bar(gui, "TrackBar6")->maximum(), 12);
  QCOMPARE(bar(gui, "TrackBar6")->value(), 12);
  QCOMPARE(gui.form2->numberToSelect(), 12);
  QCOMPARE(title(gui, "GroupBox6"), QStringLiteral("# of Contours Selected [12]"));

  bar(gui, "TrackBar6")->setValue(5);
  QCOMPARE(bar(gui, "TrackBar6")->maximum(), 12);
  QCOMPARE(gui.form2->numberToSelect(), 5);
  QCOMPARE(title(gui, "GroupBox6"), QStringLiteral("# of Contours Selected [5]"));
}

void ParametersDialogTest::acceptButtonRunsTheAnalysisWithTheFixedValues() {
  GuiHarness gui;
  detectSquares(gui, 2, 2);
  gui.find<QLineEdit>("Edit1")->setText(QStringLiteral("2.5"));
  gui.find<QLineEdit>("Edit2")->setText(QStringLiteral("0.3"));
  gui.find<QLineEdit>("Edit3")->setText(QStringLiteral("3"));
  bar(gui, "TrackBar1")->setValue(60);
  QCOMPARE(gui.analysis.lambda, 2.5f);
  QCOMPARE(gui.analysis.tHigh, 60);

  QTest::mouseRelease(gui.find<QToolButton>("SpeedButton1"), Qt::LeftButton);
  QCOMPARE(gui.analysis.lambda, 1.0f);
  QCOMPARE(gui.analysis.tau, 0.1f);
  QCOMPARE(gui.analysis.filterLength, 5);
  QCOMPARE(gui.analysis.tLow, 70);
  QCOMPARE(gui.analysis.tHigh, 80);
  QVERIFY(gui.action("Reconstruct1")->isEnabled());
  QVERIFY(gui.action("menuItemShowFilamorphModel")->isChecked());
  QVERIFY(gui.form1->session().hasModelPlanes());
  // The dialog keeps showing what the user set.
  QCOMPARE(gui.find<QLineEdit>("Edit1")->text(), QStringLiteral("2.5"));
  QCOMPARE(bar(gui, "TrackBar1")->value(), 60);
}

QTEST_MAIN(ParametersDialogTest)
#include "test_app_parameters_dialog.moc"
