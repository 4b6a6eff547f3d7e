#ifndef FILAMORPH_CLI_CSVWRITERS_H
#define FILAMORPH_CLI_CSVWRITERS_H
// The contour table and its points as CSV text, the format researchers load into their own tools.

#include <string>
#include <vector>

#include "contours/Contour.h"

namespace filamorph::cli {

// One line per contour in table order (contour = 0-based index), or one per
// point with the contours in table order and their points in order. Integers
// in decimal, every float as printf "%.9g" (enough digits to read back the
// same float), "\n" line ends, no quoting.
std::string contoursCsv(const std::vector<Contour>& contours);
std::string pointsCsv(const std::vector<Contour>& contours);

}  // namespace filamorph::cli

#endif  // FILAMORPH_CLI_CSVWRITERS_H
