#ifndef FILAMORPH_EVALUATION_METRICS_H
#define FILAMORPH_EVALUATION_METRICS_H
// Full-reference quality measures of an 8-bit gray image: PSNR and SSIM.

#include <cstdint>

#include "image/Plane.h"

namespace filamorph::evaluation {

// Peak signal-to-noise ratio in dB with peak 255, from the mean squared error
// over all pixels: +infinity for identical planes. Both planes must have the
// same size and at least one pixel; otherwise std::invalid_argument.
double psnr(const Plane<uint8_t>& reference, const Plane<uint8_t>& test);

// Structural similarity (Wang, Bovik, Sheikh, Simoncelli 2004) as its authors
// compute it: an 11 x 11 Gaussian window with sigma 1.5, normalised to sum 1,
// K1 = 0.01, K2 = 0.03, dynamic range 255; local means, variances and the
// covariance weighted by the window (population, not sample, statistics);
// the mean of the SSIM map over every window that lies wholly inside the
// image, with no downsampling. Planes smaller than the window in either
// direction give NaN. Sizes must match; otherwise std::invalid_argument.
double ssim(const Plane<uint8_t>& reference, const Plane<uint8_t>& test);

// The parameters of the measure, for anyone who checks it by a direct sum.
inline constexpr int kSsimWindow = 11;
inline constexpr double kSsimSigma = 1.5;
inline constexpr double kSsimK1 = 0.01;
inline constexpr double kSsimK2 = 0.03;

}  // namespace filamorph::evaluation

#endif  // FILAMORPH_EVALUATION_METRICS_H
