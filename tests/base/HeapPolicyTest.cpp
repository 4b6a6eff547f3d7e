// The process heap policy: large blocks, from every thread, come from the
// part of the heap offered for huge pages, and touching them costs a
// fault per huge page rather than per small page. Each test runs in a process
// of its own, so the policy changes no other test's heap.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "base/HeapPolicy.h"

namespace filamorph {
namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// A sanitizer's allocator serves malloc from its own mappings: there is
// no heap to offer, and the policy must say so rather than claim one.
TEST(HeapPolicy, OffersNothingUnderAnotherAllocator) {
  keepFreedBlocksInTheHeap();
  EXPECT_EQ(offeredHugePageHeap().bytes, 0u);
  void* block = std::malloc(1 << 20);
  ASSERT_NE(block, nullptr);
  std::free(block);
}
#else
bool inside(const OfferedHeap& heap, const void* block, std::size_t bytes) {
  const auto at = reinterpret_cast<std::uintptr_t>(block);
  return at >= heap.begin && at + bytes <= heap.begin + heap.bytes;
}

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

bool hugePagesDisabled() {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string text((std::istreambuf_iterator<char>(setting)), {});
  return text.empty() || text.find("[never]") != std::string::npos;
}

TEST(HeapPolicy, LargeBlocksFromEveryThreadComeFromTheOfferedHeap) {
  keepFreedBlocksInTheHeap();
  const OfferedHeap heap = offeredHugePageHeap();
  ASSERT_GT(heap.bytes, 0u);
  EXPECT_EQ(heap.begin % (2u << 20), 0u);
  EXPECT_EQ(heap.bytes % (2u << 20), 0u);

  // Over the C library's default mapping threshold (128 KiB) and its largest
  // (32 MiB). Small blocks may still reuse room freed below the offered part.
  for (const std::size_t bytes : {std::size_t{300} << 10, std::size_t{40} << 20}) {
    void* block = std::malloc(bytes);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(inside(heap, block, bytes)) << bytes << " bytes";
    std::free(block);
  }
  void* fromThread = nullptr;
  std::thread([&fromThread] { fromThread = std::malloc(1 << 20); }).join();
  ASSERT_NE(fromThread, nullptr);
  EXPECT_TRUE(inside(heap, fromThread, 1 << 20));
  std::free(fromThread);

  // Freed blocks stay in the heap: the same request gets the same place.
  void* first = std::malloc(8 << 20);
  std::free(first);
  void* second = std::malloc(8 << 20);
  EXPECT_EQ(first, second);
  std::free(second);
}

TEST(HeapPolicy, TouchingABlockFaultsWholeHugePages) {
  keepFreedBlocksInTheHeap();
  ASSERT_GT(offeredHugePageHeap().bytes, 0u);
  constexpr std::size_t kBytes = std::size_t{16} << 20;  // 4096 small pages
  auto* block = static_cast<char*>(std::malloc(kBytes));
  ASSERT_NE(block, nullptr);
  const long before = minorFaults();
  std::memset(block, 1, kBytes);
  const long faults = minorFaults() - before;
  // Read back, or the compiler may drop the fill of a block about to be freed.
  long sum = 0;
  for (std::size_t at = 0; at < kBytes; at += 4096) sum += block[at];
  EXPECT_EQ(sum, static_cast<long>(kBytes / 4096));
  std::free(block);
  if (hugePagesDisabled()) {
    EXPECT_GE(faults, 4000) << "without huge pages every small page faults";
  } else {
    EXPECT_LE(faults, 64) << "with huge pages, about one fault per 2 MiB";
  }
}
#endif

}  // namespace
}  // namespace filamorph
