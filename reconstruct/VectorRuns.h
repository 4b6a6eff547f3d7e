#ifndef FILAMORPH_RECONSTRUCT_VECTORRUNS_H
#define FILAMORPH_RECONSTRUCT_VECTORRUNS_H
// The vector loops of the converged solver's conjugate gradients and of the
// smoothers' eigenvalue estimates over runs of cells, compiled for each
// instruction set the processor may offer. Sums run in eight lanes whatever
// the vector width, so that they come out the same on every processor.

#include <cstddef>

namespace filamorph {

// The sum of a b.
double dotRun(const double* a, const double* b, std::size_t n);
// x += alpha p; r -= alpha q; narrow = r in single precision; returns the
// sum of r squared.
double stepRun(double alpha, const float* p, const float* q, double* x, double* r, float* narrow, std::size_t n);
// p = z + beta p, worked out in double precision and stored in single.
void directionRun(double beta, const float* z, float* p, std::size_t n);
// to = from in single precision; returns the sum of with times to.
double narrowDotRun(const double* from, const float* with, float* to, std::size_t n);
// to = from in single precision.
void narrowRun(const double* from, std::size_t n, float* to);
// to = from in double precision.
void widenRun(const float* from, std::size_t n, double* to);
// The sum of r z, z widened to double precision.
double widenedDotRun(const float* z, const double* r, std::size_t n);

// Lanczos steps on D^-1 A: w = scale D^-1 (A v) from `minusProduct`, -A v;
// returns the sum of v A v.
double scaledProductRun(const float* minusProduct, const float* v, double scale, const float* inverse, std::size_t n,
                        float* w);
// w -= alpha v + beta previous; returns the sum of w w d, d the diagonal.
double lanczosStepRun(double alpha, const float* v, double beta, const float* previous, const float* diagonal,
                      std::size_t n, float* w);
// The sum of u u d.
double weightedSquaresRun(const float* u, const float* diagonal, std::size_t n);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_VECTORRUNS_H
