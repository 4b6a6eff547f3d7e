// The storage of planes and of large vectors: mapped blocks for a megabyte
// and more, the heap below, zeroed where asked, released by size.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

#include "image/Plane.h"
#include "image/PlaneBlock.h"

namespace filamorph {
namespace {

bool onHugePageBoundary(const void* data) {
  return reinterpret_cast<std::uintptr_t>(data) % (std::size_t{2} << 20) == 0;
}

// Vectors on both sides of the megabyte, grown past it and copied: every
// element keeps its value, and the large blocks are mapped on a huge-page
// boundary.
TEST(BlockVector, KeepsItsElementsAcrossSizes) {
  for (const std::size_t count : {std::size_t{1000}, std::size_t{131071}, std::size_t{131072}, std::size_t{700000}}) {
    SCOPED_TRACE(count);
    BlockVector<double> values(count, 0.0);
    EXPECT_TRUE(std::all_of(values.begin(), values.end(), [](double value) { return value == 0.0; }));
    for (std::size_t i = 0; i < count; ++i) values[i] = static_cast<double>(i);
    EXPECT_EQ(onHugePageBoundary(values.data()), count * sizeof(double) >= (std::size_t{1} << 20));
    values.resize(count * 3, -1.0);
    const BlockVector<double> copy = values;
    for (std::size_t i = 0; i < count * 3; ++i) ASSERT_EQ(copy[i], i < count ? static_cast<double>(i) : -1.0) << i;
  }
}

TEST(BlockVector, RefusesSizesBeyondTheAddressSpace) {
  PlaneBlockAllocator<double> allocator;
  EXPECT_THROW(static_cast<void>(allocator.allocate(std::numeric_limits<std::size_t>::max() / 4)),
               std::bad_array_new_length);
}

TEST(Plane, ZeroFilledPlanesReadZeroOnEitherSideOfTheMegabyte) {
  for (const int32_t rows : {3, 600}) {
    Plane<float> plane;
    plane.allocate(rows, 700, true);
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < 700; ++col) ASSERT_EQ(plane[row][col], 0.0f) << row << ", " << col;
  }
}

}  // namespace
}  // namespace filamorph
