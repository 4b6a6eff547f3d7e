// The Python module filamorph: encode, decode, analyse and info on NumPy arrays and bytes.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "base/BuildVersion.h"
#include "python/CodecCalls.h"
#include "python/NumpyConversion.h"

namespace py = pybind11;
using namespace py::literals;

namespace filamorph::python {
namespace {

// The exception type follows the failure's kind, never its wording.
[[noreturn]] void raise(const Status& status) {
  switch (status.kind()) {
    case ErrorKind::MalformedFile:
      throw py::value_error(status.message());
    case ErrorKind::UnsupportedPixelFormat:
      throw py::type_error(status.message());
    case ErrorKind::InputOutput:
      PyErr_SetString(PyExc_OSError, status.message().c_str());
      throw py::error_already_set();
    case ErrorKind::None:
    case ErrorKind::CodecStep:
    case ErrorKind::Cancelled:
      break;
  }
  throw std::runtime_error(status.message());
}

void require(const Status& status) {
  if (!status) raise(status);
}

ContourChoice choiceOf(const std::optional<int64_t>& keep, const std::array<double, 3>& weights) {
  ContourChoice choice;
  if (!keep) {
    choice.keepAll = true;
    return choice;
  }
  if (*keep < 0 || *keep > INT32_MAX) {
    throw py::value_error("keep must be a count from 0 up, or None for every contour");
  }
  choice.number = static_cast<int32_t>(*keep);
  for (double weight : weights) {
    if (!std::isfinite(weight) || weight < 0.0) throw py::value_error("the weights must be finite numbers from 0 up");
  }
  choice.lengthWeight = static_cast<float>(weights[0]);
  choice.curvatureWeight = static_cast<float>(weights[1]);
  choice.contrastWeight = static_cast<float>(weights[2]);
  return choice;
}

std::string bytesOf(const py::handle& data) {
  if (!py::isinstance<py::bytes>(data) && !py::isinstance(data, py::module_::import("builtins").attr("bytearray")) &&
      !py::isinstance<py::memoryview>(data)) {
    throw py::type_error("the coded data must be bytes, bytearray or memoryview");
  }
  return py::bytes(py::module_::import("builtins").attr("bytes")(data)).cast<std::string>();
}

std::span<const uint8_t> spanOf(const std::string& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

py::bytes encode(const py::handle& image, const std::optional<int64_t>& keep, const std::array<double, 3>& weights) {
  const Bitmap picture = bitmapOf(image);
  const ContourChoice choice = choiceOf(keep, weights);
  std::vector<uint8_t> coded;
  Status status;
  {
    py::gil_scoped_release unlocked;
    status = encodePicture(picture, choice, coded);
  }
  require(status);
  return py::bytes(reinterpret_cast<const char*>(coded.data()), coded.size());
}

py::array_t<uint8_t> decode(const py::handle& data, const std::string& solver) {
  if (solver != "exact" && solver != "converged") {
    throw py::value_error("unknown solver \"" + solver + "\": give \"exact\" or \"converged\"");
  }
  const bool converged = solver == "converged";
  const std::string coded = bytesOf(data);
  Plane<uint8_t> image;
  Status status;
  {
    py::gil_scoped_release unlocked;
    status = decodeCodedFile(spanOf(coded), converged, image);
  }
  require(status);
  return arrayOf(image);
}

py::object analyse(const py::handle& image, const std::optional<int64_t>& keep, const std::array<double, 3>& weights) {
  const Bitmap picture = bitmapOf(image);
  const ContourChoice choice = choiceOf(keep, weights);
  PictureAnalysis analysis;
  Status status;
  {
    py::gil_scoped_release unlocked;
    status = analysePicture(picture, choice, analysis);
  }
  require(status);
  return py::module_::import("types").attr("SimpleNamespace")(
      "gray"_a = arrayOf(analysis.gray), "smoothed"_a = arrayOf(analysis.smoothed), "edges"_a = arrayOf(analysis.edges),
      "contours"_a = contourTableOf(analysis.contours), "points"_a = pointTableOf(analysis.contours),
      "depth"_a = arrayOf(analysis.depth), "sparseness"_a = arrayOf(analysis.sparseness));
}

py::dict info(const py::handle& data) {
  const std::string coded = bytesOf(data);
  CodedFileInfo facts;
  Status status;
  {
    py::gil_scoped_release unlocked;
    status = describeCodedFile(spanOf(coded), facts);
  }
  require(status);
  return py::dict("width"_a = facts.width, "height"_a = facts.height, "contours"_a = facts.contours,
                  "points"_a = facts.points, "bytes"_a = facts.bytes, "bits_per_pixel"_a = facts.bitsPerPixel());
}

}  // namespace
}  // namespace filamorph::python

PYBIND11_MODULE(filamorph, module) {
  using namespace filamorph::python;
  module.doc() =
      "Filamorph Codec: contour-based coding of gray-level images, with the results of the filamorph command "
      "line bit for bit.";
  module.attr("__version__") = filamorph::versionText();
  const std::array<double, 3> defaultWeights{filamorph::kDefaultSelectionWeights.length,
                                             filamorph::kDefaultSelectionWeights.curvature,
                                             filamorph::kDefaultSelectionWeights.contrast};
  module.def("encode", &encode, "image"_a, "keep"_a = filamorph::kFileContourLimit, "weights"_a = defaultWeights,
             "Code a uint8 image (2-D gray plane, or H x W x 3 RGB converted with the 24-bit import weights) into "
             "the bytes of a .flm file, as `filamorph encode --keep KEEP --weights L,C,K`; keep=None keeps every "
             "contour (`--keep all`).");
  module.def("decode", &decode, "data"_a, "solver"_a = "exact",
             "Rebuild the 2-D uint8 image of coded bytes, as `filamorph decode`. The dither generator starts at 1 "
             "on every call.");
  module.def("analyse", &analyse, "image"_a, "keep"_a = py::none(), "weights"_a = defaultWeights,
             "The stage results of an image, as the dump commands give them: gray, smoothed, edges (codes 0 and "
             "250), contours and points (structured arrays with the columns of `dump contours` and `dump points`), "
             "depth and sparseness.");
  module.def("info", &info, "data"_a,
             "What coded bytes hold: width, height, contours, points, bytes and bits_per_pixel, as `filamorph "
             "info`.");
}
