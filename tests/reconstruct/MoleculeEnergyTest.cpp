// Every pixel's molecule, derived directly from the smoothness energy with
// free edges, against the class table the solver uses and the one the
// reference solver uses.

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <utility>
#include <vector>

#include "reconstruct/Molecule.h"
#include "reconstruct/ReferenceSolver.h"

namespace filamorph {
namespace {

// a x N + b.
struct Linear {
  int a = 0;
  int b = 0;
  bool operator==(const Linear&) const = default;
};

void PrintTo(const Linear& value, std::ostream* out) { *out << value.a << "N" << (value.b < 0 ? "" : "+") << value.b; }

using Offset = std::pair<int, int>;
using DerivedMolecule = std::map<Offset, Linear>;

struct Cell {
  int row;
  int col;
  int weight;
};

// Half the gradient of E with respect to u(row, col): every squared linear
// form W x (sum w_i u_i)^2 that contains the pixel with weight w_p adds
// W x w_p x w_q to the coefficient of each of its cells q.
DerivedMolecule moleculeFromEnergy(int row, int col, int rows, int cols) {
  DerivedMolecule molecule;
  const auto addForm = [&](Linear share, const std::vector<Cell>& cells) {
    for (const Cell& cell : cells) {
      if (cell.row < 0 || cell.row >= rows || cell.col < 0 || cell.col >= cols) return;
    }
    for (const Cell& p : cells) {
      if (p.row != row || p.col != col) continue;
      for (const Cell& q : cells) {
        Linear& coefficient = molecule[{q.row - row, q.col - col}];
        coefficient.a += share.a * p.weight * q.weight;
        coefficient.b += share.b * p.weight * q.weight;
      }
    }
  };
  const Linear membrane{-1, 1};  // 1 - N
  const Linear plate{1, 0};      // N
  const Linear twist{2, 0};      // 2N
  for (int i = -1; i <= rows; ++i) {
    for (int j = -1; j <= cols; ++j) {
      addForm(membrane, {{i, j, 1}, {i, j + 1, -1}});
      addForm(membrane, {{i, j, 1}, {i + 1, j, -1}});
      addForm(plate, {{i, j - 1, 1}, {i, j, -2}, {i, j + 1, 1}});
      addForm(plate, {{i - 1, j, 1}, {i, j, -2}, {i + 1, j, 1}});
      addForm(twist, {{i, j, 1}, {i, j + 1, -1}, {i + 1, j, -1}, {i + 1, j + 1, 1}});
    }
  }
  std::erase_if(molecule, [](const auto& entry) { return entry.second == Linear{}; });
  return molecule;
}

DerivedMolecule solverMolecule(int row, int col, int rows, int cols) {
  const Molecule molecule = moleculeAt(row, col, rows, cols);
  DerivedMolecule result;
  for (int slot = 0; slot < kStencilSize; ++slot) {
    if (!molecule.present[slot]) continue;
    const Offset offset{kStencil[slot].row, kStencil[slot].col};
    EXPECT_EQ(result.count(offset), 0u) << "stencil slot repeated";
    result[offset] = {molecule.plateFactor[slot], molecule.constant[slot]};
  }
  return result;
}

DerivedMolecule referenceMolecule(int row, int col, int rows, int cols) {
  const reference::IntegerMolecule molecule = reference::moleculeOf(row, col, rows, cols);
  DerivedMolecule result;
  for (int dr = -2; dr <= 2; ++dr)
    for (int dc = -2; dc <= 2; ++dc)
      if (molecule.present[2 + dr][2 + dc]) result[{dr, dc}] = {molecule.a[2 + dr][2 + dc], molecule.b[2 + dr][2 + dc]};
  return result;
}

class MoleculeEnergy : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(MoleculeEnergy, EveryPixelMatchesTheEnergy) {
  const auto [rows, cols] = GetParam();
  for (int row = 0; row < rows; ++row) {
    for (int col = 0; col < cols; ++col) {
      SCOPED_TRACE(::testing::Message() << "pixel (" << row << ", " << col << ") of " << rows << " x " << cols);
      const DerivedMolecule truth = moleculeFromEnergy(row, col, rows, cols);
      const DerivedMolecule solver = solverMolecule(row, col, rows, cols);
      ASSERT_EQ(solver, truth);
      Linear sum;
      for (const auto& [offset, coefficient] : solver) {
        sum.a += coefficient.a;
        sum.b += coefficient.b;
      }
      EXPECT_EQ(sum, Linear{}) << "a molecule's coefficients sum to zero";
      ASSERT_EQ(referenceMolecule(row, col, rows, cols), truth);
    }
  }
}

// Square, tall and wide planes, from the smallest that is solved, so that
// every combination of edge, second and inner places on both sides occurs.
INSTANTIATE_TEST_SUITE_P(Sizes, MoleculeEnergy,
                         ::testing::Values(std::pair{4, 4}, std::pair{4, 5}, std::pair{5, 4}, std::pair{5, 5},
                                           std::pair{4, 9}, std::pair{9, 4}, std::pair{6, 6}, std::pair{7, 11},
                                           std::pair{11, 7}, std::pair{12, 12}));

}  // namespace
}  // namespace filamorph
