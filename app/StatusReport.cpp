#include "app/StatusReport.h"

#include <QFileInfo>
#include <cmath>
#include <optional>

#include "evaluation/Metrics.h"

namespace filamorph {
namespace {

QString number(double value, int precision = 6) {
  return QString::number(value, 'g', precision);
}

QString duration(double seconds) {
  return QString::fromStdString(describeDuration(seconds));
}

QString qualityAgainst(const Reconstructor& reconstruction, const ModelReference::Reference& reference) {
  const Plane<uint8_t>& rebuilt = reconstruction.grayPlane;
  if (reference.gray.rows() != rebuilt.rows() || reference.gray.cols() != rebuilt.cols() || rebuilt.size() == 0)
    return {};
  const double psnr = evaluation::psnr(reference.gray, rebuilt);
  const double ssim = evaluation::ssim(reference.gray, rebuilt);
  const QString psnrText =
      std::isinf(psnr) ? QStringLiteral("identical") : QStringLiteral("%1 dB").arg(psnr, 0, 'f', 2);
  // SSIM needs an image at least as large as its window.
  const QString ssimText = std::isnan(ssim) ? QStringLiteral("n/a") : QString::number(ssim, 'f', 4);
  return QStringLiteral("; against the gray levels of %1: PSNR %2, SSIM %3")
      .arg(QFileInfo(reference.fileName).fileName(), psnrText, ssimText);
}

}  // namespace

QString reconstructionReport(const Reconstructor& reconstruction, const ModelReference::Reference* reference) {
  QString report = QStringLiteral("Reconstructed in %1 sweeps, final mean change %2")
                       .arg(reconstruction.sweepCount)
                       .arg(number(static_cast<double>(reconstruction.meanChange)));
  if (reference != nullptr) report += qualityAgainst(reconstruction, *reference);
  return report;
}

QString compressionReport(const QString& fileName, qint64 bytes, int32_t width, int32_t height) {
  const double pixels = static_cast<double>(width) * static_cast<double>(height);
  QString report = QStringLiteral("Wrote %1: %2 bytes").arg(QFileInfo(fileName).fileName()).arg(bytes);
  if (pixels > 0.0) {
    report += QStringLiteral(", %1 bits per pixel of the %2 x %3 image")
                  .arg(static_cast<double>(bytes) * 8.0 / pixels, 0, 'f', 3)
                  .arg(width)
                  .arg(height);
  }
  return report;
}

QString progressReport(const ConvergenceProgress& progress) {
  QString text = QStringLiteral("Sweep %1\nMean change %2 (tolerance %3)\nElapsed %4")
                     .arg(progress.sweep())
                     .arg(number(static_cast<double>(progress.meanChange())))
                     .arg(number(static_cast<double>(progress.tolerance())))
                     .arg(duration(progress.elapsedSeconds()));
  const std::optional<double> remaining = progress.remainingSeconds();
  text += remaining ? QStringLiteral(", about %1 left").arg(duration(*remaining))
                    : QStringLiteral(", estimating the time left");
  return text;
}

}  // namespace filamorph
