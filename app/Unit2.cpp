#include "app/Unit2.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <optional>
#include <utility>

#include "app/TextScan.h"
#include "app/Unit1.h"

namespace filamorph {
namespace {

constexpr int kLayoutMargin = 4;
constexpr int kLayoutSpacing = 2;

QGroupBox* makeGroupBox(const char* name, const QString& caption, QWidget* parent) {
  auto* box = new QGroupBox(caption, parent);
  box->setObjectName(QLatin1String(name));
  return box;
}

template <typename Layout>
Layout* tightLayout(QWidget* owner) {
  auto* layout = new Layout(owner);
  layout->setContentsMargins(kLayoutMargin, kLayoutMargin, kLayoutMargin, kLayoutMargin);
  layout->setSpacing(kLayoutSpacing);
  return layout;
}

// A track bar of 0..100 with a tick every 5, alone in its captioned group box.
QSlider* makeTrackBar(const char* name, int position, const QString& hint, QGroupBox* box) {
  auto* bar = new QSlider(Qt::Horizontal, box);
  bar->setObjectName(QLatin1String(name));
  bar->setRange(0, 100);
  bar->setValue(position);
  bar->setTickInterval(5);
  bar->setTickPosition(QSlider::TicksBelow);
  bar->setPageStep(5);
  bar->setToolTip(hint);
  tightLayout<QVBoxLayout>(box)->addWidget(bar);
  return bar;
}

QLineEdit* makeEdit(const char* name, const QString& text, const QString& hint, QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(QLatin1String(name));
  edit->setToolTip(hint);
  QFont font(QStringLiteral("Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(false);  // not the group box's bold caption font
  edit->setFont(font);
  QPalette palette = edit->palette();
  palette.setColor(QPalette::Text, Qt::blue);
  edit->setPalette(palette);
  return edit;
}

QLabel* makeLabel(const char* name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

QToolButton* makeGlyphButton(const char* name, const QString& hint, const QString& icon, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QLatin1String(name));
  button->setToolTip(hint);
  button->setIcon(QIcon(icon));
  button->setIconSize(QSize(24, 24));
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

// The group boxes' look: a bold blue serif caption.
void styleGroupBox(QGroupBox* box) {
  QFont font(QStringLiteral("Serif"));
  font.setStyleHint(QFont::Serif);
  font.setBold(true);
  box->setFont(font);
  QPalette palette = box->palette();
  palette.setColor(QPalette::WindowText, Qt::blue);
  box->setPalette(palette);
}

}  // namespace

TForm2::TForm2(TForm1& form1)
    : QDialog(&form1, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint), form1_(form1) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Compression Parameters"));
  setAttribute(Qt::WA_QuitOnClose, false);
  setModal(false);

  auto* layout = tightLayout<QHBoxLayout>(this);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(6);
  // The columns share the width by their stretch alone: a caption that grows
  // ("[100]") must not push them about.
  for (auto [column, stretch] : {std::pair{createEdgeDetectionGroup(), 45}, std::pair{createSelectionGroup(), 55}}) {
    column->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    layout->addWidget(column, stretch);
  }
  setFixedSize(448, 340);
  move(771, 167);

  // Connected only now: the design values are shown, not stored.
  connect(Edit1, &QLineEdit::textChanged, this, &TForm2::Edit1Change);
  connect(Edit2, &QLineEdit::textChanged, this, &TForm2::Edit2Change);
  connect(Edit3, &QLineEdit::textChanged, this, &TForm2::Edit3Change);
  connect(TrackBar2, &QSlider::valueChanged, this, &TForm2::TrackBar2Change);
  connect(TrackBar1, &QSlider::valueChanged, this, &TForm2::TrackBar1Change);
  connect(TrackBar3, &QSlider::valueChanged, this, &TForm2::TrackBar3Change);
  connect(TrackBar4, &QSlider::valueChanged, this, &TForm2::TrackBar4Change);
  connect(TrackBar5, &QSlider::valueChanged, this, &TForm2::TrackBar5Change);
  connect(TrackBar6, &QSlider::valueChanged, this, &TForm2::TrackBar6Change);
  connect(SpeedButton2, &QToolButton::clicked, this, &TForm2::SpeedButton2Click);
  SpeedButton1->installEventFilter(this);
}

QWidget* TForm2::createEdgeDetectionGroup() {
  QGroupBox* groupBox1 = makeGroupBox("GroupBox1", QStringLiteral("  Edge Detection  "), this);
  styleGroupBox(groupBox1);
  auto* column = tightLayout<QVBoxLayout>(groupBox1);
  column->setSpacing(6);

  auto* fields = new QGridLayout;
  fields->setHorizontalSpacing(8);
  fields->setVerticalSpacing(4);
  Edit1 = makeEdit("Edit1", QStringLiteral("1.0"), QStringLiteral("Enter Lambda Value"), groupBox1);
  Edit2 = makeEdit("Edit2", QStringLiteral("0.8"), QStringLiteral("Set Tau Value"), groupBox1);
  Edit3 = makeEdit("Edit3", QStringLiteral("7"), QStringLiteral("Set Filter Length"), groupBox1);
  fields->addWidget(makeLabel("Label1", QStringLiteral("\u03bb"), groupBox1), 0, 0);
  fields->addWidget(Edit1, 0, 1);
  fields->addWidget(makeLabel("Label2", QStringLiteral("\u03c4"), groupBox1), 1, 0);
  fields->addWidget(Edit2, 1, 1);
  fields->addWidget(makeLabel("Label3", QStringLiteral("FLength"), groupBox1), 2, 0);
  fields->addWidget(Edit3, 2, 1);
  column->addLayout(fields);

  GroupBox3 = makeGroupBox("GroupBox3", QStringLiteral("  TLow [50%]  "), groupBox1);
  TrackBar2 = makeTrackBar("TrackBar2", 50, QStringLiteral("TLow"), GroupBox3);
  column->addWidget(GroupBox3);
  GroupBox4 = makeGroupBox("GroupBox4", QStringLiteral("  THigh [75%]  "), groupBox1);
  TrackBar1 = makeTrackBar("TrackBar1", 75, QStringLiteral("THigh"), GroupBox4);
  column->addWidget(GroupBox4);

  column->addStretch(1);
  SpeedButton1 = makeGlyphButton("SpeedButton1", QStringLiteral("Accept parameters"),
                                 QStringLiteral(":/icons/system-run.png"), groupBox1);
  column->addWidget(SpeedButton1, 0, Qt::AlignRight);
  return groupBox1;
}

QWidget* TForm2::createSelectionGroup() {
  QGroupBox* groupBox2 = makeGroupBox("GroupBox2", QStringLiteral("Contour Selection"), this);
  styleGroupBox(groupBox2);
  auto* column = tightLayout<QVBoxLayout>(groupBox2);

  QGroupBox* groupBox5 = makeGroupBox("GroupBox5", QStringLiteral("Priority Weight  "), groupBox2);
  auto* weights = tightLayout<QVBoxLayout>(groupBox5);
  GroupBox7 = makeGroupBox("GroupBox7", QStringLiteral("Length [0.5]  "), groupBox5);
  TrackBar3 = makeTrackBar("TrackBar3", 50, QString(), GroupBox7);
  GroupBox8 = makeGroupBox("GroupBox8", QStringLiteral("Mean Curvature [0.5]  "), groupBox5);
  TrackBar4 = makeTrackBar("TrackBar4", 50, QString(), GroupBox8);
  GroupBox9 = makeGroupBox("GroupBox9", QStringLiteral("Mean Contrast [0.5]  "), groupBox5);
  TrackBar5 = makeTrackBar("TrackBar5", 50, QString(), GroupBox9);
  for (QGroupBox* box : {GroupBox7, GroupBox8, GroupBox9}) weights->addWidget(box);
  column->addWidget(groupBox5);

  GroupBox6 = makeGroupBox("GroupBox6", QStringLiteral("# of Contours Selected"), groupBox2);
  TrackBar6 = makeTrackBar("TrackBar6", 0, QString(), GroupBox6);
  column->addWidget(GroupBox6);

  SpeedButton2 = makeGlyphButton("SpeedButton2", QStringLiteral("Perceptual Filtering"),
                                 QStringLiteral(":/icons/edit-find.png"), groupBox2);
  column->addWidget(SpeedButton2, 0, Qt::AlignRight);
  return groupBox2;
}

// An edit text that holds no number leaves its parameter as it was: the user
// may be retyping it.
void TForm2::Edit1Change(const QString& text) {
  if (const std::optional<float> value = scanFloat(text)) form1_.session().analysis.setLambda(*value);
}

void TForm2::Edit2Change(const QString& text) {
  if (const std::optional<float> value = scanFloat(text)) form1_.session().analysis.setTau(*value);
}

void TForm2::Edit3Change(const QString& text) {
  if (const std::optional<int32_t> value = scanInt(text)) form1_.session().analysis.setFilterLength(*value);
}

void TForm2::changeThresholds(const QSlider* moved, QGroupBox* caption, const char* label) {
  const int32_t low = TrackBar2->value();
  const int32_t high = TrackBar1->value();
  // Crossed bars are ignored: the moved bar keeps its position, nothing else changes.
  if (high < low) return;
  if (!form1_.session().rethreshold(low, high)) return;
  caption->setTitle(QStringLiteral("%1 [%2%]").arg(QLatin1String(label)).arg(moved->value()));
  form1_.refreshImages();
}

void TForm2::TrackBar2Change() { changeThresholds(TrackBar2, GroupBox3, "TLow"); }
void TForm2::TrackBar1Change() { changeThresholds(TrackBar1, GroupBox4, "THigh"); }

void TForm2::changeWeight(const QSlider* bar, float& weight, QGroupBox* caption, const char* label) {
  weight = static_cast<float>(bar->value() * 0.01);
  caption->setTitle(QString::asprintf("%s [%.2f]", label, static_cast<double>(weight)));
  SpeedButton2Click();
}

void TForm2::TrackBar3Change() { changeWeight(TrackBar3, lengthWeight_, GroupBox7, "Length"); }
void TForm2::TrackBar4Change() { changeWeight(TrackBar4, curvatureWeight_, GroupBox8, "Mean Curvature"); }
void TForm2::TrackBar5Change() { changeWeight(TrackBar5, contrastWeight_, GroupBox9, "Mean Contrast"); }

void TForm2::TrackBar6Change() {
  // Only a traced table narrows the bar: a maximum of 0 before tracing would
  // pin it at 0, and it could never be moved to take the real count.
  const CommandSession& session = form1_.session();
  if (session.hasContours()) {
    // A maximum below the position clamps it and runs this handler once more
    // for the clamped position before this run goes on.
    TrackBar6->setMaximum(session.analysis.contourCount);
  }
  numberToSelect_ = TrackBar6->value();
  GroupBox6->setTitle(QStringLiteral("# of Contours Selected [%1]").arg(numberToSelect_));
  SpeedButton2Click();
}

void TForm2::SpeedButton2Click() {
  if (form1_.session().selectContours(lengthWeight_, curvatureWeight_, contrastWeight_, numberToSelect_))
    form1_.refreshImages();
}

void TForm2::SpeedButton1MouseUp() {
  if (!form1_.DetectContours1Click()) return;
  form1_.TraceContours1Click();
  form1_.ObtainFilamorph1Click();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (watched == SpeedButton1 && event->type() == QEvent::MouseButtonRelease) {
    const auto* release = static_cast<QMouseEvent*>(event);
    if (SpeedButton1->rect().contains(release->position().toPoint())) SpeedButton1MouseUp();
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace filamorph
