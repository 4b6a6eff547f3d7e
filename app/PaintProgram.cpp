#include "app/PaintProgram.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include "image/BmpFile.h"

namespace filamorph {
namespace {

// A BMP copy of the picture that outlives this program, for the viewer.
std::optional<QString> writeTemporaryBitmap(const Bitmap& picture) {
  QTemporaryFile file(QDir::tempPath() + QStringLiteral("/filamorph-paint-XXXXXX.bmp"));
  file.setAutoRemove(false);
  if (!file.open()) return std::nullopt;
  const QString path = file.fileName();
  file.close();
  if (!writeBmpFile(QFile::encodeName(path).toStdString(), picture).ok()) {
    QFile::remove(path);
    return std::nullopt;
  }
  return path;
}

}  // namespace

std::optional<PaintLaunch> choosePaintProgram(const Bitmap& picture) {
  for (const char* name : {"kolourpaint", "pinta", "gimp"}) {
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!program.isEmpty()) return PaintLaunch{program, {}};
  }
  const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty() || !picture.hasPixels()) return std::nullopt;
  const std::optional<QString> path = writeTemporaryBitmap(picture);
  if (!path) return std::nullopt;
  return PaintLaunch{opener, {*path}};
}

bool startDetached(const PaintLaunch& launch) { return QProcess::startDetached(launch.program, launch.arguments); }

}  // namespace filamorph
