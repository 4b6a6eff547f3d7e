#ifndef FILAMORPH_IMAGE_PLANEBLOCK_H
#define FILAMORPH_IMAGE_PLANEBLOCK_H
// The element storage of planes.

#include <cstddef>

namespace filamorph {

// Blocks of a megabyte and more are mapped on their own, aligned to and
// rounded up to 2 MiB, and offered to the system for transparent huge pages:
// where it takes the offer, a whole 2 MiB page is faulted in at once instead
// of 512 pages of 4 KiB, each trapped, charged and zeroed by itself. Mapped
// memory reads zero, so it needs no fill. Smaller blocks, and large ones whose
// mapping fails, come from the heap.
// Where a block may come from. Heap: always from the heap, for a block made
// just after large blocks were freed (as a solve's output plane after its
// vectors), whose pages the heap then hands on already faulted in, where a
// fresh mapping would fault in and clear new ones.
enum class PlaneStorage { MappedWhenLarge, Heap };

struct PlaneBlock {
  void* data = nullptr;
  std::size_t mappedLength = 0;  // 0 for a heap block
};

// Never returns a null block, also for 0 bytes; throws std::bad_alloc when no
// memory is left.
PlaneBlock allocatePlaneBlock(std::size_t bytes, bool zeroFill, PlaneStorage storage = PlaneStorage::MappedWhenLarge);
// Gives back a block of allocatePlaneBlock; a null data does nothing.
void releasePlaneBlock(void* data, std::size_t mappedLength);

}  // namespace filamorph

#endif  // FILAMORPH_IMAGE_PLANEBLOCK_H
