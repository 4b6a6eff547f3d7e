#ifndef FILAMORPH_PYTHON_NUMPYCONVERSION_H
#define FILAMORPH_PYTHON_NUMPYCONVERSION_H
// NumPy arrays to the codec's pictures and back: gray planes, RGB pictures and the contour tables.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <vector>

#include "contours/Contour.h"
#include "image/Bitmap.h"
#include "image/Plane.h"

namespace filamorph::python {

// A 2-D uint8 array as an 8-bit bitmap with a gray-ramp palette (its values
// are the gray levels), an H x W x 3 uint8 array (red, green, blue) as a
// 24-bit bitmap. Throws pybind11::type_error for any other type, dtype or
// shape and pybind11::value_error for an image without pixels. Needs the GIL.
Bitmap bitmapOf(const pybind11::handle& image);

// A rows x cols uint8 array holding a copy of the plane.
pybind11::array_t<uint8_t> arrayOf(const Plane<uint8_t>& plane);

// Structured arrays with the columns of the contour table and of its points:
// the index columns ("contour", and "point" for points) as int64, then the
// shared columns with their C++ types.
pybind11::array contourTableOf(const std::vector<Contour>& contours);
pybind11::array pointTableOf(const std::vector<Contour>& contours);

}  // namespace filamorph::python

#endif  // FILAMORPH_PYTHON_NUMPYCONVERSION_H
