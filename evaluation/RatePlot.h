#ifndef FILAMORPH_EVALUATION_RATEPLOT_H
#define FILAMORPH_EVALUATION_RATEPLOT_H
// The rate-distortion plot of one image as inline SVG.

#include <string>
#include <vector>

#include "evaluation/Evaluation.h"

namespace filamorph::evaluation {

// Bits per pixel against PSNR: the codec's points labelled with their keep
// value, the same files rebuilt by the converged fill-in where it ran, the
// JPEG curve beside them, the measured file and its matched JPEG
// ringed. Points of infinite PSNR (lossless) cannot be placed and are left out.
std::string ratePlotSvg(const std::vector<CodecPoint>& codec, const std::vector<JpegPoint>& jpeg,
                        const CodecPoint& chosen, const JpegPoint& matched);

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_RATEPLOT_H
