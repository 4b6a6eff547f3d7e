#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#include "cli/Application.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A run frees and makes planes of the image's size several times (each import
// of the bitmap, the views, the model). By default the C library maps each
// large block afresh and unmaps it when freed, so every new plane is faulted
// in page by page as freshly zeroed memory; kept in the heap instead, a freed
// block's pages serve the next plane. 32 MB is the largest mapping threshold
// the library accepts; planes of larger images are still mapped.
void keepFreedPlanesInTheHeap() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

}  // namespace

int main(int argc, char** argv) {
  keepFreedPlanesInTheHeap();
  return filamorph::cli::runFilamorph(argc, argv);
}
