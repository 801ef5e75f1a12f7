// Counts every global allocation of the simulator's test executable, so that a test
// can check that a piece of code allocates nothing. Kept in its own file so that
// the compiler never sees the replacement and its callers together.
#include "allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> gAllocations{0};
}  // namespace

long km8::simtest::allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
