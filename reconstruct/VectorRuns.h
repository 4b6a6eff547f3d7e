#ifndef FILAMORPH_RECONSTRUCT_VECTORRUNS_H
#define FILAMORPH_RECONSTRUCT_VECTORRUNS_H
// The vector loops of the converged solver's conjugate gradients over runs
// of cells, compiled for each instruction set the processor may offer. Sums
// run in eight lanes whatever the vector width, so that they come out the
// same on every processor.

#include <cstddef>

namespace filamorph {

// The sum of a b.
double dotRun(const double* a, const double* b, std::size_t n);
// x += alpha p; r -= alpha q; returns the sum of r squared.
double stepRun(double alpha, const double* p, const double* q, double* x, double* r, std::size_t n);
// p = z + beta p.
void directionRun(double beta, const double* z, double* p, std::size_t n);
// to = from in single precision.
void narrowRun(const double* from, std::size_t n, float* to);
// to = from in double precision; returns the sum of r to.
double widenDotRun(const float* from, const double* r, std::size_t n, double* to);

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_VECTORRUNS_H
