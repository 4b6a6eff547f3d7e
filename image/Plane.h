#ifndef FILAMORPH_IMAGE_PLANE_H
#define FILAMORPH_IMAGE_PLANE_H
// A two-dimensional array held as one contiguous block plus a table of row pointers.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

#include "image/PlaneBlock.h"

namespace filamorph {

// Exactly two allocations: the element block (see PlaneBlock.h) and the row
// table. Whole-plane operations may walk data() as one run of rows() * cols()
// elements; single elements are reached through the row table, plane[r][c].
template <typename T>
class Plane {
 public:
  Plane() = default;
  Plane(const Plane&) = delete;
  Plane& operator=(const Plane&) = delete;
  Plane(Plane&&) noexcept = default;
  Plane& operator=(Plane&&) noexcept = default;

  // Makes a plane of rows x cols elements, releasing any earlier one. The
  // contents are not initialised unless zeroFill is set. `storage` as in
  // PlaneBlock.h.
  void allocate(int32_t rows, int32_t cols, bool zeroFill = false,
                PlaneStorage storage = PlaneStorage::MappedWhenLarge) {
    release();
    const std::size_t count =
        static_cast<std::size_t>(rows > 0 ? rows : 0) * static_cast<std::size_t>(cols > 0 ? cols : 0);
    if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    const PlaneBlock made = allocatePlaneBlock(count * sizeof(T), zeroFill, storage);
    block_ = Block(static_cast<T*>(made.data), BlockRelease{made.mappedLength});
    rowTable_ = std::make_unique_for_overwrite<T*[]>(static_cast<std::size_t>(rows > 0 ? rows : 0));
    for (int32_t r = 0; r < rows; ++r) rowTable_[r] = block_.get() + static_cast<std::size_t>(r) * cols;
    rows_ = rows > 0 ? rows : 0;
    cols_ = cols > 0 ? cols : 0;
  }

  void release() {
    block_.reset();
    rowTable_.reset();
    rows_ = 0;
    cols_ = 0;
  }

  bool exists() const { return block_ != nullptr; }
  int32_t rows() const { return rows_; }
  int32_t cols() const { return cols_; }
  std::size_t size() const { return static_cast<std::size_t>(rows_) * static_cast<std::size_t>(cols_); }

  T* data() { return block_.get(); }
  const T* data() const { return block_.get(); }
  T* operator[](int32_t row) { return rowTable_[row]; }
  const T* operator[](int32_t row) const { return rowTable_[row]; }
  T** rowTable() { return rowTable_.get(); }

 private:
  // The elements are plain numbers: the storage is used as they are.
  static_assert(std::is_trivially_default_constructible_v<T> && std::is_trivially_destructible_v<T>);
  struct BlockRelease {
    std::size_t mappedLength = 0;
    void operator()(T* data) const { releasePlaneBlock(data, mappedLength); }
  };
  using Block = std::unique_ptr<T[], BlockRelease>;

  Block block_;
  std::unique_ptr<T*[]> rowTable_;
  int32_t rows_ = 0;
  int32_t cols_ = 0;
};

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_PLANE_H
