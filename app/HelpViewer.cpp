#include "app/HelpViewer.h"

#include <QScreen>
#include <QUrl>
#include <algorithm>

namespace filamorph {
namespace {

constexpr int kScreenMargin = 8;
// The least height worth giving the help to keep the parameters dialog in view.
constexpr int kMinimumHeight = 300;
// Room for the title bar that the window manager adds above the client area.
constexpr int kTitleBarAllowance = 32;

QString& helpFilePath() {
  static QString path = QStringLiteral(":/help/usage.html");
  return path;
}

}  // namespace

void setApplicationHelpFile(const QString& path) { helpFilePath() = path; }
QString applicationHelpFile() { return helpFilePath(); }

HelpViewer::HelpViewer(QWidget* parent) : QTextBrowser(parent) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowFlag(Qt::Window);
  setAttribute(Qt::WA_QuitOnClose, false);
  setOpenExternalLinks(true);
  document()->setDocumentMargin(12);
  resize(640, 560);
}

void HelpViewer::showContext(int context) {
  const QString file = applicationHelpFile();
  QUrl url = file.startsWith(QLatin1Char(':')) ? QUrl(QStringLiteral("qrc") + file) : QUrl::fromLocalFile(file);
  url.setFragment(QStringLiteral("context%1").arg(context));
  setSource(url);
  setWindowTitle(documentTitle().isEmpty() ? QStringLiteral("Help") : documentTitle());
  show();
  activateWindow();
}

void HelpViewer::placeBeside(const QRect& mainFrame, const QRect& keepClear, const QRect& avoid) {
  const QScreen* screen = this->screen();
  if (screen == nullptr) return;
  const QRect available = screen->availableGeometry();
  const QSize wanted = size();
  if (available.right() - mainFrame.right() >= wanted.width()) {
    move(mainFrame.right() + 1, std::max(mainFrame.top(), available.top()));
    return;
  }
  int top = keepClear.bottom() + 1 + kScreenMargin;
  const int left = std::max(available.left(), available.right() + 1 - kScreenMargin - wanted.width());
  const int belowAvoid = avoid.bottom() + 1 + kScreenMargin;
  if (avoid.isValid() && avoid.intersects(QRect(QPoint(left, top), wanted)) &&
      available.bottom() + 1 - kScreenMargin - belowAvoid >= kMinimumHeight)
    top = std::max(top, belowAvoid);
  const int roomBelow = available.bottom() + 1 - kScreenMargin - kTitleBarAllowance - top;
  resize(wanted.width(), std::max(1, std::min(wanted.height(), roomBelow)));
  move(left, top);
}

}  // namespace filamorph
