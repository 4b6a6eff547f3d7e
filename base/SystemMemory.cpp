#include "base/SystemMemory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

namespace filamorph {
namespace {

std::optional<uint64_t> readNumber(const char* path) {
  std::ifstream file(path);
  uint64_t value = 0;
  // "max" (no cgroup v2 limit) reads as no number.
  if (!(file >> value)) return std::nullopt;
  return value;
}

uint64_t pageSize() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<uint64_t>(size) : 4096;
}

std::optional<uint64_t> physicalRoom() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  uint64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") return kilobytes * 1024;
  }
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  if (pages < 0) return std::nullopt;
  return static_cast<uint64_t>(pages) * pageSize();
}

std::optional<uint64_t> roomUnder(std::optional<uint64_t> limit, std::optional<uint64_t> used) {
  if (!limit || !used) return std::nullopt;
  return *limit > *used ? *limit - *used : 0;
}

std::optional<uint64_t> controlGroupRoom() {
  if (auto room = roomUnder(readNumber("/sys/fs/cgroup/memory.max"), readNumber("/sys/fs/cgroup/memory.current"))) {
    return room;
  }
  return roomUnder(readNumber("/sys/fs/cgroup/memory/memory.limit_in_bytes"),
                   readNumber("/sys/fs/cgroup/memory/memory.usage_in_bytes"));
}

std::optional<uint64_t> addressSpaceRoom() {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  // The first field of statm is the size of the address space in pages.
  const std::optional<uint64_t> pages = readNumber("/proc/self/statm");
  if (!pages) return std::nullopt;
  return roomUnder(static_cast<uint64_t>(limit.rlim_cur), *pages * pageSize());
}

}  // namespace

uint64_t availableMemoryBytes() {
  uint64_t available = UINT64_MAX;
  for (const std::optional<uint64_t>& room : {physicalRoom(), controlGroupRoom(), addressSpaceRoom()}) {
    if (room) available = std::min(available, *room);
  }
  return available;
}

}  // namespace filamorph
