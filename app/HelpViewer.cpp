#include "app/HelpViewer.h"

#include <QUrl>

namespace filamorph {
namespace {

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

}  // namespace filamorph
