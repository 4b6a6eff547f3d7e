#include "base/HeapPolicy.h"

#include <cstdlib>  // defines __GLIBC__ on the GNU C library

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#endif

namespace filamorph {
namespace {

OfferedHeap offered;

#if defined(__GLIBC__)
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
constexpr uint64_t kLargestReserve = uint64_t{1} << 30;
constexpr int kLibraryTopPad = 128 << 10;  // the C library's own default
constexpr std::size_t kProbeMargin = 256;

// Volatile: nothing reads the block, and the compiler would drop an
// allocation whose result goes unused.
void* volatile keptHeapHead = nullptr;

// A quarter of the physical memory and of the address-space limit, at most
// kLargestReserve. The reserve takes no memory until touched, so the memory
// free now does not bound it, and reading it (cgroup statistics) would cost
// more than a short run saves.
uint64_t reserveBound() {
  uint64_t bound = kLargestReserve;
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) bound = std::min(bound, static_cast<uint64_t>(pages) * pageSize / 4);
  rlimit limit{};
  if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
    bound = std::min(bound, static_cast<uint64_t>(limit.rlim_cur) / 4);
  return bound;
}

// Grows the heap by `reserve` bytes of address space and offers the whole
// huge pages in it; returns what it offered.
OfferedHeap reserveHugePageHeap(std::size_t reserve) {
  // The heap grows by a request plus the top pad; trimming keeps the pad.
  if (mallopt(M_TOP_PAD, static_cast<int>(reserve)) == 0) return {};
  // Just over what is left at the heap's top, so that the heap grows, and
  // small, so that the pages the probe's allocation writes lie below the
  // first huge page: a huge page already touched in small pages stays so.
  void* probe = std::malloc(mallinfo2().keepcost + kProbeMargin);
  if (probe == nullptr) return {};
  const auto start = reinterpret_cast<std::uintptr_t>(probe);
  std::free(probe);
  const auto end = reinterpret_cast<std::uintptr_t>(::sbrk(0));
  // A probe outside the heap (the heap could not grow, or another allocator
  // serves malloc) leaves nothing to offer.
  if (end < start || end - start < reserve) return {};
  const std::uintptr_t first = (start + kHugePage - 1) / kHugePage * kHugePage;
  const std::uintptr_t last = end / kHugePage * kHugePage;
  if (last <= first || ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) != 0) return {};
  // The heap hands out its top in address order: the part below the first
  // huge page, which can only have small pages, is taken by one block kept
  // for the life of the process and never touched, so that blocks made from
  // now on land on huge pages.
  if (first > start) keptHeapHead = std::malloc(first - start);
  return {first, last - first};
}
#endif

}  // namespace

void keepFreedBlocksInTheHeap() {
#if defined(__GLIBC__)
  mallopt(M_ARENA_MAX, 1);
  mallopt(M_MMAP_MAX, 0);
  // Without the reserve, the heap still keeps what it frees, up to 256 MB.
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
  const uint64_t reserve = reserveBound() / kHugePage * kHugePage;
  if (reserve > 0) offered = reserveHugePageHeap(static_cast<std::size_t>(reserve));
  if (offered.bytes == 0) mallopt(M_TOP_PAD, kLibraryTopPad);
#endif
}

OfferedHeap offeredHugePageHeap() {
  return offered;
}

}  // namespace filamorph
