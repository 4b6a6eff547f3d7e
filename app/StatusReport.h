#ifndef FILAMORPH_APP_STATUSREPORT_H
#define FILAMORPH_APP_STATUSREPORT_H
// The lines that the status bar shows after Reconstruct and Compress to File,
// and the progress window's text while the solver runs.

#include <QString>
#include <cstdint>

#include "app/ModelReference.h"
#include "commands/ConvergenceProgress.h"
#include "reconstruct/Reconstructor.h"

namespace filamorph {

// Sweeps and final mean change; with a reference of the same size, PSNR and
// SSIM of the reconstruction against it.
QString reconstructionReport(const Reconstructor& reconstruction, const ModelReference::Reference* reference);

// The coded file's size in bytes and in bits per pixel of the image.
QString compressionReport(const QString& fileName, qint64 bytes, int32_t width, int32_t height);

// Sweep, mean change against the tolerance, elapsed time and the estimate.
QString progressReport(const ConvergenceProgress& progress);

}  // namespace filamorph

#endif  // FILAMORPH_APP_STATUSREPORT_H
