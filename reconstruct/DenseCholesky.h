#ifndef FILAMORPH_RECONSTRUCT_DENSECHOLESKY_H
#define FILAMORPH_RECONSTRUCT_DENSECHOLESKY_H
// A dense Cholesky factorisation of a small symmetric positive definite
// matrix: the capacitance systems of the window solves.

#include <cstddef>
#include <vector>

namespace filamorph {

class DenseCholesky {
 public:
  // `matrix` is n x n, row-major, symmetric; only its lower triangle is read.
  // A pivot that rounding has left at or below zero is raised to a tiny
  // share of its diagonal entry, so the factor always exists.
  void factor(std::vector<double> matrix, std::size_t n);
  // Solves in place.
  void solve(std::vector<double>& values) const;
  std::size_t size() const { return n_; }

 private:
  std::vector<double> lower_;
  std::vector<std::size_t> first_;  // the first column of each row's envelope
  std::vector<std::size_t> last_;   // the last row whose envelope reaches each column
  std::size_t n_ = 0;
};

}  // namespace filamorph

#endif  // FILAMORPH_RECONSTRUCT_DENSECHOLESKY_H
