#ifndef FILAMORPH_BASE_HEAPPOLICY_H
#define FILAMORPH_BASE_HEAPPOLICY_H
// How a process that makes and frees large blocks again and again keeps their pages.

namespace filamorph {

// A run frees and makes planes and solver vectors of the image's size several
// times. By default the C library maps each large block afresh and unmaps it
// when freed, so every new block is faulted in page by page as freshly zeroed
// memory; kept in the heap instead, a freed block's pages serve the next one.
// 32 MB is the largest mapping threshold the library accepts; larger blocks
// are still mapped. Does nothing outside the GNU C library.
void keepFreedBlocksInTheHeap();

}  // namespace filamorph

#endif  // FILAMORPH_BASE_HEAPPOLICY_H
