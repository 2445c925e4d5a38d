#pragma once

#include <cstddef>

#if defined(_MSC_VER)
#include <xmmintrin.h>
#endif

namespace kelm {

// Memory of at least `bytes`, aligned to `alignment` (a power of two), for the large stores of
// the searches; release it with releaseAligned (the pairing differs between platforms). Throws
// std::bad_alloc when there is none.
void* allocateAligned(std::size_t alignment, std::size_t bytes);
void releaseAligned(void* memory);

// Tells the system that a large block is read in random order, so that it may back it with
// huge pages; where the system has no such advice, nothing happens.
void adviseHugePages(void* memory, std::size_t bytes);

// The machine's physical memory in bytes (0 when the system does not say).
unsigned long long physicalMemoryBytes();

// Starts fetching the cache line at `address` (a hint; nothing on compilers without one).
inline void prefetch(const void* address) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(address);
#elif defined(_MSC_VER)
  _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#else
  (void)address;
#endif
}

}  // namespace kelm
