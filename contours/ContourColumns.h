#ifndef FILAMORPH_CONTOURS_CONTOURCOLUMNS_H
#define FILAMORPH_CONTOURS_CONTOURCOLUMNS_H
// The named columns of the contour table and of its points, shared by every tabular view of them.

#include "contours/Contour.h"

namespace filamorph {

// Every view of the table (CSV text, NumPy record arrays) lists the same
// columns in the same order, so that a researcher's loader works on either.
// A view puts its own index columns first: "contour" (0-based, table order)
// and, for points, "point" (0-based within the contour).
inline constexpr const char* kContourIndexColumn = "contour";
inline constexpr const char* kPointIndexColumn = "point";

// Calls visit(name, member) for each descriptor column of a contour, in order.
template <typename Visit>
void forEachContourColumn(Visit&& visit) {
  visit("closed", &Contour::closed);
  visit("selected", &Contour::selected);
  visit("pointCount", &Contour::pointCount);
  visit("left", &Contour::left);
  visit("top", &Contour::top);
  visit("spanCols", &Contour::spanCols);
  visit("spanRows", &Contour::spanRows);
  visit("meanCol", &Contour::meanCol);
  visit("meanRow", &Contour::meanRow);
  visit("length", &Contour::length);
  visit("meanCurvature", &Contour::meanCurvature);
  visit("meanContrast", &Contour::meanContrast);
  visit("priority", &Contour::priority);
  visit("rank", &Contour::rank);
}

// Calls visit(name, member) for each column of a contour point, in order.
template <typename Visit>
void forEachPointColumn(Visit&& visit) {
  visit("row", &ContourPoint::row);
  visit("col", &ContourPoint::col);
  visit("normal", &ContourPoint::normal);
  visit("leftLength", &ContourPoint::leftLength);
  visit("rightLength", &ContourPoint::rightLength);
  visit("leftExtent", &ContourPoint::leftExtent);
  visit("rightExtent", &ContourPoint::rightExtent);
  visit("leftContrast", &ContourPoint::leftContrast);
  visit("rightContrast", &ContourPoint::rightContrast);
  visit("weightLeft", &ContourPoint::weightLeft);
  visit("weightMiddle", &ContourPoint::weightMiddle);
  visit("weightRight", &ContourPoint::weightRight);
  visit("baseLevel", &ContourPoint::baseLevel);
}

}  // namespace filamorph

#endif  // FILAMORPH_CONTOURS_CONTOURCOLUMNS_H
