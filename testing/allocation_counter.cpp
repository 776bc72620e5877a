#include "testing/allocation_counter.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "standin/host_code_scope.h"

namespace tarvel::testing {

namespace {

struct Watch {
    bool active = false;
    std::uint64_t failAt = 0;
    std::uint64_t requested = 0;
    std::int64_t live = 0;
    bool failed = false;
    bool failedQuietly = false;
    std::size_t largest = 0;
};

// Constant-initialised: operator new may run before any constructor does.
thread_local Watch watch;
std::atomic<std::int64_t> heapBytes{0};

bool watched() {
    return watch.active && !standin::inHostCode();
}

void* allocate(std::size_t size, bool quiet) noexcept {
    const bool counted = watched();
    if (counted && size > watch.largest) {
        watch.largest = size;
    }
    if (counted && ++watch.requested == watch.failAt) {
        watch.failed = true;
        watch.failedQuietly = quiet;
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
    watch = Watch{true, failAt, 0, 0, false, false, 0};
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
