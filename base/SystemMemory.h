#ifndef FILAMORPH_BASE_SYSTEMMEMORY_H
#define FILAMORPH_BASE_SYSTEMMEMORY_H
// How much more memory this process can have now, to refuse a plane that cannot fit before making it.

#include <cstdint>

namespace filamorph {

// The least of: the physical memory the system can still give (MemAvailable,
// which counts reclaimable cache, or the free pages where the kernel does not
// report it), the room left under the control group's memory limit (cgroup v2
// or v1), and the room left under this process's address-space limit
// (RLIMIT_AS). UINT64_MAX when none of them can be read.
uint64_t availableMemoryBytes();

}  // namespace filamorph

#endif  // FILAMORPH_BASE_SYSTEMMEMORY_H
