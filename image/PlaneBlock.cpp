#include "image/PlaneBlock.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace filamorph {
namespace {

constexpr std::size_t kMappedFrom = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

// A mapping of length bytes aligned to a huge page, or nullptr: one huge page
// more is mapped, and the unaligned head and tail are unmapped again.
void* mapAligned(std::size_t length) {
  void* raw = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) / kHugePage * kHugePage;
  const std::size_t head = aligned - start;
  if (head > 0) ::munmap(raw, head);
  const std::size_t tail = kHugePage - head;
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + length), tail);
  return reinterpret_cast<void*>(aligned);
}

}  // namespace

PlaneBlock allocatePlaneBlock(std::size_t bytes, bool zeroFill, PlaneStorage storage) {
  if (bytes >= kMappedFrom && storage == PlaneStorage::MappedWhenLarge) {
    const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    if (void* data = mapAligned(length)) {
      ::madvise(data, length, MADV_HUGEPAGE);  // a hint: refused, the block works all the same
      return {data, length};
    }
  }
  void* data = ::operator new(bytes == 0 ? 1 : bytes);
  if (zeroFill) std::memset(data, 0, bytes);
  return {data, 0};
}

void releasePlaneBlock(void* data, std::size_t mappedLength) {
  if (data == nullptr) return;
  if (mappedLength > 0) {
    ::munmap(data, mappedLength);
  } else {
    ::operator delete(data);
  }
}

}  // namespace filamorph
