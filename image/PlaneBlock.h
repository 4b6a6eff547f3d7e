#ifndef FILAMORPH_IMAGE_PLANEBLOCK_H
#define FILAMORPH_IMAGE_PLANEBLOCK_H
// The element storage of planes.

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

namespace filamorph {

// Blocks of a megabyte and more are mapped on their own, aligned to and
// rounded up to 2 MiB, and offered to the system for transparent huge pages:
// where it takes the offer, a whole 2 MiB page is faulted in at once instead
// of 512 pages of 4 KiB, each trapped, charged and zeroed by itself. Mapped
// memory reads zero, so it needs no fill. Smaller blocks, and large ones whose
// mapping fails, come from the heap.
struct PlaneBlock {
  void* data = nullptr;
  std::size_t mappedLength = 0;  // 0 for a heap block
};

// Never returns a null block, also for 0 bytes; throws std::bad_alloc when no
// memory is left.
PlaneBlock allocatePlaneBlock(std::size_t bytes, bool zeroFill);
// Gives back a block of allocatePlaneBlock; a null data does nothing.
void releasePlaneBlock(void* data, std::size_t mappedLength);

// The same storage for standard containers, whose release knows a block by
// its size alone: a block of a megabyte and more that cannot be mapped throws
// std::bad_alloc instead of coming from the heap.
void* allocateContainerBlock(std::size_t bytes);
void releaseContainerBlock(void* data, std::size_t bytes) noexcept;

template <typename T>
struct PlaneBlockAllocator {
  using value_type = T;
  PlaneBlockAllocator() = default;
  template <typename U>
  explicit PlaneBlockAllocator(const PlaneBlockAllocator<U>&) noexcept {}
  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(allocateContainerBlock(n * sizeof(T)));
  }
  void deallocate(T* data, std::size_t n) noexcept { releaseContainerBlock(data, n * sizeof(T)); }
  bool operator==(const PlaneBlockAllocator&) const = default;
};

// A vector of numbers whose large blocks fault in as huge pages.
template <typename T>
using BlockVector = std::vector<T, PlaneBlockAllocator<T>>;

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_PLANEBLOCK_H
