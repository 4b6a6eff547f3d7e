// The storage of planes: blocks of a megabyte and more mapped on a huge-page
// boundary unless the heap is asked for, smaller ones from the heap, zeroed
// where asked on either side.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "image/Plane.h"
#include "image/PlaneBlock.h"

namespace filamorph {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

TEST(PlaneBlock, LargeBlocksAreMappedUnlessTheHeapIsAskedFor) {
  struct Case {
    std::size_t bytes;
    PlaneStorage storage;
    bool mapped;
  };
  const Case cases[] = {
      {std::size_t{1} << 20, PlaneStorage::MappedWhenLarge, true},
      {(std::size_t{1} << 20) - 1, PlaneStorage::MappedWhenLarge, false},
      {std::size_t{3} << 20, PlaneStorage::Heap, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const PlaneBlock block = allocatePlaneBlock(c.bytes, true, c.storage);
    ASSERT_NE(block.data, nullptr);
    EXPECT_EQ(block.mappedLength > 0, c.mapped);
    if (c.mapped) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data) % kHugePage, 0u);
      EXPECT_EQ(block.mappedLength % kHugePage, 0u);
      EXPECT_GE(block.mappedLength, c.bytes);
    }
    releasePlaneBlock(block.data, block.mappedLength);
  }
}

// A heap plane made where a larger one was just freed may take its pages,
// which hold the old values: zeroFill must still clear them.
TEST(PlaneBlock, HeapPlanesAreZeroedWhereAsked) {
  {
    Plane<float> old;
    old.allocate(700, 700, false, PlaneStorage::Heap);
    for (int32_t row = 0; row < 700; ++row)
      for (int32_t col = 0; col < 700; ++col) old[row][col] = 1.0f;
  }
  Plane<float> plane;
  plane.allocate(600, 700, true, PlaneStorage::Heap);
  for (int32_t row = 0; row < 600; ++row)
    for (int32_t col = 0; col < 700; ++col) ASSERT_EQ(plane[row][col], 0.0f) << row << ", " << col;
}

}  // namespace
}  // namespace filamorph
