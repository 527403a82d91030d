// Replaces the global operator new so that a probe can tell how often the
// code under measure reaches the heap.

#include <atomic>
#include <cstdlib>
#include <new>

#include "allocation_count.h"

namespace {

std::atomic<std::uint64_t> allocations{0};

}  // namespace

std::uint64_t AllocationCount() {
    return allocations.load(std::memory_order_relaxed);
}

// The array and nothrow forms of new and delete come to these by default.
// The over-aligned forms do not, and go uncounted: the walk allocates no
// over-aligned type.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
