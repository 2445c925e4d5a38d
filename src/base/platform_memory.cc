#include "base/platform_memory.h"

#include <cstdlib>
#include <new>

#if defined(_WIN32)
#include <malloc.h>
#else
#include <sys/mman.h>
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

}  // namespace kelm
