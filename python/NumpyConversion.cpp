#include "python/NumpyConversion.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "contours/ContourColumns.h"

namespace py = pybind11;

namespace filamorph::python {
namespace {

template <typename T>
constexpr const char* numpyFormat() {
  if constexpr (std::is_same_v<T, uint8_t>) return "u1";
  if constexpr (std::is_same_v<T, int16_t>) return "i2";
  if constexpr (std::is_same_v<T, int32_t>) return "i4";
  if constexpr (std::is_same_v<T, int64_t>) return "i8";
  if constexpr (std::is_same_v<T, float>) return "f4";
}

template <typename Member>
struct MemberValue;
template <typename Record, typename Value>
struct MemberValue<Value Record::*> {
  using type = Value;
};

// A packed record type built column by column, then filled record by record
// with the columns in the same order.
class RecordTable {
 public:
  template <typename T>
  void addColumn(const char* name) {
    names_.append(name);
    formats_.append(numpyFormat<T>());
    offsets_.append(recordSize_);
    recordSize_ += sizeof(T);
  }

  py::array make(std::size_t records) {
    const std::vector<py::ssize_t> shape{static_cast<py::ssize_t>(records)};
    table_ = py::array(py::dtype(names_, formats_, offsets_, static_cast<py::ssize_t>(recordSize_)), shape);
    next_ = static_cast<char*>(table_.mutable_data());
    return table_;
  }

  // Appends the next field of the current record; records follow one another.
  template <typename T>
  void put(T value) {
    std::memcpy(next_, &value, sizeof value);
    next_ += sizeof value;
  }

 private:
  py::list names_;
  py::list formats_;
  py::list offsets_;
  std::size_t recordSize_ = 0;
  py::array table_;
  char* next_ = nullptr;
};

}  // namespace

Bitmap bitmapOf(const py::handle& image) {
  if (!py::isinstance<py::array>(image)) throw py::type_error("the image must be a NumPy uint8 array");
  const auto array = py::reinterpret_borrow<py::array>(image);
  if (array.dtype().kind() != 'u' || array.itemsize() != 1) {
    throw py::type_error("the image must have dtype uint8, not " + py::str(array.dtype()).cast<std::string>());
  }
  const bool gray = array.ndim() == 2;
  if (!gray && !(array.ndim() == 3 && array.shape(2) == 3)) {
    throw py::type_error("the image must be a 2-D gray plane or an H x W x 3 RGB array, not of shape " +
                         py::str(array.attr("shape")).cast<std::string>());
  }
  if (array.shape(0) == 0 || array.shape(1) == 0) throw py::value_error("the image has no pixels");
  if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX) throw py::value_error("the image is too large");
  const auto pixels = py::array_t<uint8_t, py::array::c_style>::ensure(array);
  Bitmap bitmap;
  bitmap.width = static_cast<int32_t>(array.shape(1));
  bitmap.height = static_cast<int32_t>(array.shape(0));
  bitmap.format = gray ? PixelFormat::Bits8 : PixelFormat::Bits24;
  bitmap.pixels.assign(pixels.data(), pixels.data() + pixels.size());
  if (!gray) {
    // A bitmap stores blue, green, red.
    for (std::size_t i = 0; i < bitmap.pixels.size(); i += 3) std::swap(bitmap.pixels[i], bitmap.pixels[i + 2]);
  }
  return bitmap;
}

py::array_t<uint8_t> arrayOf(const Plane<uint8_t>& plane) {
  py::array_t<uint8_t> array({static_cast<py::ssize_t>(plane.rows()), static_cast<py::ssize_t>(plane.cols())});
  if (plane.size() > 0) std::memcpy(array.mutable_data(), plane.data(), plane.size());
  return array;
}

py::array contourTableOf(const std::vector<Contour>& contours) {
  RecordTable table;
  table.addColumn<int64_t>(kContourIndexColumn);
  forEachContourColumn(
      [&](const char* name, auto member) { table.addColumn<typename MemberValue<decltype(member)>::type>(name); });
  py::array array = table.make(contours.size());
  for (std::size_t i = 0; i < contours.size(); ++i) {
    table.put(static_cast<int64_t>(i));
    forEachContourColumn([&](const char*, auto member) { table.put(contours[i].*member); });
  }
  return array;
}

py::array pointTableOf(const std::vector<Contour>& contours) {
  RecordTable table;
  table.addColumn<int64_t>(kContourIndexColumn);
  table.addColumn<int64_t>(kPointIndexColumn);
  forEachPointColumn(
      [&](const char* name, auto member) { table.addColumn<typename MemberValue<decltype(member)>::type>(name); });
  std::size_t points = 0;
  for (const Contour& contour : contours) points += contour.points.size();
  py::array array = table.make(points);
  for (std::size_t i = 0; i < contours.size(); ++i) {
    for (std::size_t j = 0; j < contours[i].points.size(); ++j) {
      table.put(static_cast<int64_t>(i));
      table.put(static_cast<int64_t>(j));
      forEachPointColumn([&](const char*, auto member) { table.put(contours[i].points[j].*member); });
    }
  }
  return array;
}

}  // namespace filamorph::python
