#include "base/platform_memory.h"

#include <cstdlib>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kelm {

void* allocateAligned(std::size_t alignment, std::size_t bytes) {
  const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
#if defined(_WIN32)
  void* memory = _aligned_malloc(rounded, alignment);
#else
  void* memory = std::aligned_alloc(alignment, rounded);
#endif
  if (memory == nullptr) throw std::bad_alloc();
  return memory;
}

void releaseAligned(void* memory) {
#if defined(_WIN32)
  _aligned_free(memory);
#else
  std::free(memory);
#endif
}

void adviseHugePages(void* memory, std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  madvise(memory, bytes, MADV_HUGEPAGE);  // advice only: a refusal changes nothing
#else
  (void)memory;
  (void)bytes;
#endif
}

unsigned long long physicalMemoryBytes() {
#if defined(_WIN32)
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
#else
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  return pages > 0 && pageSize > 0
             ? static_cast<unsigned long long>(pages) * static_cast<unsigned long long>(pageSize)
             : 0;
#endif
}

}  // namespace kelm
