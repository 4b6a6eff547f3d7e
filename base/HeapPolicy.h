#ifndef FILAMORPH_BASE_HEAPPOLICY_H
#define FILAMORPH_BASE_HEAPPOLICY_H
// How a process that makes and frees large blocks again and again keeps their pages.

#include <cstddef>
#include <cstdint>

namespace filamorph {

// A run makes and frees planes and solver vectors of the image's size several
// times, and a fresh page costs far more than the work done on it: on a
// virtual machine each first touch of a 4 KiB page can trap to the host.
// So the process keeps every block in one heap, kept rather than given back,
// and offers that heap to transparent huge pages, which fault in 2 MiB at once:
//  - all threads share the main heap, and no block is mapped on its own;
//  - the heap grows once, now, by a reserve of address space (at most a
//    gigabyte, a quarter of the physical memory and of the address-space
//    limit) that takes memory only where touched, offered for huge pages;
//  - freed memory stays in the heap up to that reserve.
// A process that outgrows the reserve goes on with ordinary pages. Offers
// nothing outside the GNU C library, nor where another allocator (a
// sanitizer's, Valgrind's) serves malloc. Call before any other thread starts.
void keepFreedBlocksInTheHeap();

// The part of the heap keepFreedBlocksInTheHeap offered for huge pages: whole
// huge pages from `begin`; no bytes when it offered none.
struct OfferedHeap {
  std::uintptr_t begin = 0;
  std::size_t bytes = 0;
};
OfferedHeap offeredHugePageHeap();

}  // namespace filamorph

#endif  // FILAMORPH_BASE_HEAPPOLICY_H
