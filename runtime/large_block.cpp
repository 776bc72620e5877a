#include "runtime/large_block.h"

#include <cstdint>
#include <new>

#include "runtime/address_sanitizer.h"
#include "runtime/kept_large_blocks.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarvel {

// Under the address sanitizer the blocks come from operator new, so that it sees overruns
// and leaks in them too.
#if defined(__linux__) && !defined(TARVEL_ADDRESS_SANITIZED)

void* takeLargeBlock(std::size_t bytes) {
    const std::size_t size = largeBlockSize(bytes);
    if (size < bytes || size + kLargePage < size) {
        throw std::bad_alloc();
    }
    // A mapping of its own, one large page longer than the block, trimmed at both ends to
    // the large pages inside it.
    void* mapped = mmap(nullptr, size + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
        throw std::bad_alloc();
    }
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const auto aligned = (start + kLargePage - 1) & ~std::uintptr_t{kLargePage - 1};
    if (aligned > start) {
        munmap(mapped, aligned - start);
    }
    const std::uintptr_t tail = start + size + kLargePage - (aligned + size);
    if (tail > 0) {
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    }
#if defined(MADV_HUGEPAGE)
    // Only a hint: where the system declines, the pages stay small.
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    // Pages a run has given back go first, then fresh ones.
    fillFromKeptBlocks(aligned, size);
    return reinterpret_cast<void*>(aligned);
}

void releaseLargeBlock(void* block, std::size_t bytes) noexcept {
    const auto at = reinterpret_cast<std::uintptr_t>(block);
    if (block != nullptr && !keepLargeBlock(at, largeBlockSize(bytes))) {
        munmap(block, largeBlockSize(bytes));
    }
}

#else

void* takeLargeBlock(std::size_t bytes) {
    const std::size_t size = largeBlockSize(bytes);
    if (size < bytes) {
        throw std::bad_alloc();
    }
    return ::operator new (size, std::align_val_t{kLargePage});
}

void releaseLargeBlock(void* block, std::size_t /*bytes*/) noexcept {
    ::operator delete (block, std::align_val_t{kLargePage});
}

#endif

}  // namespace tarvel
