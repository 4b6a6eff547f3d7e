#include "reconstruct/WindowSolve.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "reconstruct/BandOrder.h"
#include "reconstruct/VectorRuns.h"

namespace filamorph {

namespace {

// The most entries the kept constraint columns may hold together, 1 MB:
// past that the window is factored again with its held pixels.
constexpr std::size_t kMostConstraintEntries = std::size_t{1} << 17;

}  // namespace

int64_t windowSolveWork(const PixelWindow& window) {
  const auto width = static_cast<int64_t>(BandOrder(window).bandWidth());
  return window.area() * width * width;
}

void WindowSolver::addConstraints(const std::vector<std::size_t>& indices) {
  std::vector<std::size_t> added;
  for (const std::size_t index : indices)
    if (slotOf(index) == constraints_.size()) added.push_back(index);
  if (added.empty()) return;
  // The new columns are solved together.
  const std::size_t n = values_.size();
  const std::size_t first = constraints_.size();
  std::vector<double*> sides;
  for (const std::size_t index : added) {
    constraints_.push_back({index, std::vector<double>(n, 0.0), {}});
    constraints_.back().column[index] = 1.0;
  }
  for (std::size_t slot = first; slot < constraints_.size(); ++slot) sides.push_back(constraints_[slot].column.data());
  system_.solveLowerSides(sides.data(), added.data(), added.size());
  for (std::size_t slot = first; slot < constraints_.size(); ++slot) {
    Constraint& constraint = constraints_[slot];
    // A column is 0 before its own index.
    const auto productWith = [&](const Constraint& other) {
      const std::size_t from = std::max(other.index, constraint.index);
      return dotRun(other.column.data() + from, constraint.column.data() + from, n - from);
    };
    for (std::size_t other = 0; other <= slot; ++other) constraint.products.push_back(productWith(constraints_[other]));
  }
}

std::size_t WindowSolver::slotOf(std::size_t index) const {
  return static_cast<std::size_t>(
      std::find_if(constraints_.begin(), constraints_.end(),
                   [index](const Constraint& constraint) { return constraint.index == index; }) -
      constraints_.begin());
}

double WindowSolver::product(std::size_t a, std::size_t b) const {
  return a < b ? constraints_[b].products[a] : constraints_[a].products[b];
}

void WindowSolver::solve(const FineOperator& op, const PixelWindow& window, std::vector<double>& x) {
  const PaddedGrid& grid = op.grid();
  const BandOrder order(window);
  const auto n = static_cast<std::size_t>(window.area());
  const auto isUnknown = [&](int32_t row, int32_t col) {
    return (op.state(grid.at(row, col)) & FineOperator::kFixed) == 0;
  };
  const bool sameWindow = factoredUnknowns_.size() == n && factored_ == window;
  if (!sameWindow) {
    factoredUnknowns_.assign(n, 2);  // matches neither state
    constraints_.clear();
  }
  factored_ = window;
  // A pixel held since the factorisation becomes a constraint. One freed
  // that was held then changes the equations of its own index and of the
  // unknowns after it alone (the entries before it lie in its own row of the
  // lower triangle), so the factor is redone from the first such index.
  std::vector<uint8_t>& unknowns = unknownsNow_;
  unknowns.resize(n);
  std::vector<std::size_t> held;
  std::size_t firstChanged = n;
  for (int32_t row = window.firstRow; row < window.endRow; ++row) {
    for (int32_t col = window.firstCol; col < window.endCol; ++col) {
      const std::size_t i = order.index(row, col);
      unknowns[i] = static_cast<uint8_t>(isUnknown(row, col));
      if (factoredUnknowns_[i] == 1 && unknowns[i] == 0)
        held.push_back(i);
      else if (factoredUnknowns_[i] != unknowns[i])
        firstChanged = std::min(firstChanged, i);
    }
  }
  std::size_t newConstraints = 0;
  for (const std::size_t i : held) newConstraints += static_cast<std::size_t>(slotOf(i) == constraints_.size());
  if (firstChanged < n || (constraints_.size() + newConstraints) * n > kMostConstraintEntries) {
    for (const std::size_t i : held) firstChanged = std::min(firstChanged, i);
    held.clear();
    constraints_.clear();
    factoredUnknowns_ = unknowns;
  }
  BandCholesky& system = system_;
  if (!sameWindow)
    system.reset(n, order.bandWidth());
  else if (firstChanged < n)
    system.clearRowsFrom(firstChanged);
  const auto inSystem = [&](int32_t row, int32_t col) {
    return window.contains(row, col) && factoredUnknowns_[order.index(row, col)] == 1;
  };
  // The system from the first changed index on, and the known part of every
  // equation, kept for the solves until the next factorisation: its data
  // term, less the terms of the levels outside the system, which are read
  // anew at each solve.
  if (firstChanged < n) {
    knownBase_.assign(n, 0.0);
    knownTerms_.clear();
    for (int32_t row = window.firstRow; row < window.endRow; ++row) {
      for (int32_t col = window.firstCol; col < window.endCol; ++col) {
        const std::size_t i = order.index(row, col);
        const std::ptrdiff_t cell = grid.at(row, col);
        const bool assemble = i >= firstChanged;
        if (!inSystem(row, col)) {
          // A pixel held when the window was factored keeps its level: its
          // equation is the identity.
          if (assemble) system.at(i, i) = 1.0;
          knownTerms_.push_back({i, cell, -1.0});
          continue;
        }
        double stencil[5][5];
        op.energyStencil(row, col, stencil);
        knownBase_[i] = op.dataTerm(cell);
        for (int r = 0; r < 5; ++r) {
          for (int c = 0; c < 5; ++c) {
            const int32_t otherRow = row + r - 2;
            const int32_t otherCol = col + c - 2;
            if ((r == 2 && c == 2) || stencil[r][c] == 0.0) continue;
            if (inSystem(otherRow, otherCol)) {
              const std::size_t j = order.index(otherRow, otherCol);
              if (assemble && j < i) system.at(i, j) = stencil[r][c];
            } else {
              knownTerms_.push_back({i, grid.at(otherRow, otherCol), stencil[r][c]});
            }
          }
        }
        if (assemble) system.at(i, i) = op.diagonal(row, col);
      }
    }
  }
  std::vector<double>& rhs = values_;
  rhs = knownBase_;
  for (const KnownTerm& term : knownTerms_)
    rhs[term.index] -= term.coefficient * x[static_cast<std::size_t>(term.cell)];
  if (firstChanged < n) system.factor(firstChanged);
  system.solveLower(rhs.data());
  if (!held.empty()) {
    // With K = L L^T, the columns y of the held pixels and z = L^-1 b, the
    // levels are L^-T (z - Y mu) for the multipliers mu that put each held
    // pixel at its level: (Y^T Y) mu = Y^T z - levels.
    const std::size_t k = held.size();
    std::vector<std::size_t> slots(k);
    addConstraints(held);
    for (std::size_t a = 0; a < k; ++a) slots[a] = slotOf(held[a]);
    std::vector<double> capacitance(k * k);
    std::vector<double> multipliers(k);
    for (std::size_t a = 0; a < k; ++a) {
      const Constraint& constraint = constraints_[slots[a]];
      for (std::size_t b = 0; b < k; ++b) capacitance[a * k + b] = product(slots[a], slots[b]);
      const std::size_t from = constraint.index;
      const std::ptrdiff_t cell = order.cell(grid, from);
      multipliers[a] =
          dotRun(constraint.column.data() + from, rhs.data() + from, n - from) - x[static_cast<std::size_t>(cell)];
    }
    capacitance_.factor(std::move(capacitance), k);
    capacitance_.solve(multipliers);
    for (std::size_t a = 0; a < k; ++a) {
      const Constraint& constraint = constraints_[slots[a]];
      for (std::size_t i = constraint.index; i < n; ++i) rhs[i] -= multipliers[a] * constraint.column[i];
    }
  }
  system.solveUpper(rhs.data());
  for (int32_t row = window.firstRow; row < window.endRow; ++row)
    for (int32_t col = window.firstCol; col < window.endCol; ++col)
      if (isUnknown(row, col)) x[static_cast<std::size_t>(grid.at(row, col))] = rhs[order.index(row, col)];
}

}  // namespace filamorph
