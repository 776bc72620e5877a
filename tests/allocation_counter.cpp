#include "tests/allocation_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "standin/host_code_scope.h"

namespace tarvel::testing {

namespace {

/// One watched run at a time, on whichever threads it uses: the module's worker threads are
/// watched with the thread that runs it, and never run host code.
struct Watch {
    std::atomic<bool> active{false};
    std::atomic<std::uint64_t> failAt{0};
    std::atomic<std::uint64_t> requested{0};
    std::atomic<std::int64_t> live{0};
    std::atomic<bool> failed{false};
    std::atomic<bool> failedQuietly{false};
    std::atomic<std::size_t> largest{0};
};

// Constant-initialised: operator new may run before any constructor does.
Watch watch;
std::atomic<std::int64_t> heapBytes{0};

bool watched() {
    return watch.active.load() && !standin::inHostCode();
}

void* allocate(std::size_t size, bool quiet) noexcept {
    const bool counted = watched();
    if (counted) {
        std::size_t largest = watch.largest.load();
        while (size > largest && !watch.largest.compare_exchange_weak(largest, size)) {
        }
    }
    if (counted && ++watch.requested == watch.failAt.load()) {
        watch.failedQuietly = quiet;
        watch.failed = true;
        return nullptr;
    }
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        return nullptr;
    }
    if (counted) {
        ++watch.live;
    }
    heapBytes.fetch_add(static_cast<std::int64_t>(malloc_usable_size(block)),
                        std::memory_order_relaxed);
    return block;
}

void release(void* block) noexcept {
    if (block == nullptr) {
        return;
    }
    if (watched()) {
        --watch.live;
    }
    heapBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                        std::memory_order_relaxed);
    std::free(block);
}

void* allocateOrThrow(std::size_t size) {
    void* block = allocate(size, false);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

}  // namespace

ModuleAllocations::ModuleAllocations(std::uint64_t failAt) {
    watch.failAt = failAt;
    watch.requested = 0;
    watch.live = 0;
    watch.failed = false;
    watch.failedQuietly = false;
    watch.largest = 0;
    watch.active = true;
}

ModuleAllocations::~ModuleAllocations() {
    watch.active = false;
}

std::uint64_t ModuleAllocations::requested() const {
    return watch.requested;
}

std::int64_t ModuleAllocations::live() const {
    return watch.live;
}

bool ModuleAllocations::failed() const {
    return watch.failed;
}

bool ModuleAllocations::failedQuietly() const {
    return watch.failedQuietly;
}

std::size_t ModuleAllocations::largest() const {
    return watch.largest;
}

std::int64_t liveHeapBytes() {
    return heapBytes.load(std::memory_order_relaxed);
}

}  // namespace tarvel::testing

// Every form of ordinary alignment is replaced, so that no block passes between this allocator
// and the runtime's own (a sanitizer runtime defines each form separately). The over-aligned
// forms stay the runtime's, each paired with its own delete; the module uses none.
void* operator new(std::size_t size) {
    return tarvel::testing::allocateOrThrow(size);
}

void* operator new[](std::size_t size) {
    return tarvel::testing::allocateOrThrow(size);
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return tarvel::testing::allocate(size, true);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return tarvel::testing::allocate(size, true);
}

void operator delete(void* block) noexcept {
    tarvel::testing::release(block);
}

void operator delete[](void* block) noexcept {
    tarvel::testing::release(block);
}

void operator delete(void* block, std::size_t) noexcept {
    tarvel::testing::release(block);
}

void operator delete[](void* block, std::size_t) noexcept {
    tarvel::testing::release(block);
}

void operator delete(void* block, const std::nothrow_t&) noexcept {
    tarvel::testing::release(block);
}

void operator delete[](void* block, const std::nothrow_t&) noexcept {
    tarvel::testing::release(block);
}
