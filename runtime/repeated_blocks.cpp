#include "runtime/repeated_blocks.h"

#include <bit>
#include <cassert>

#include "runtime/address_sanitizer.h"

namespace tarvel {

namespace {

/// The reuse that lives now, or null. Written only on the run's thread while no other thread
/// of the run is at work.
RepeatedBlockReuse* live = nullptr;

/// The size class of a block for `bytes`, and its size.
constexpr int sizeClassOf(std::size_t bytes) {
    assert(bytes >= kRepeatedSmallest && bytes <= kRepeatedLargeBlock);
    return static_cast<int>(std::bit_width((bytes - 1) / kRepeatedSmallest));
}
constexpr std::size_t classBytes(int sizeClass) {
    return kRepeatedSmallest << sizeClass;
}

static_assert(classBytes(RepeatedBlockReuse::kClasses - 1) == kRepeatedLargeBlock);

/// A new block of the class. From a large page up it is a large block made resident: the
/// first pair to take it then pays for whole large pages, not for every page one by one.
void* newBlock(int sizeClass) {
    const std::size_t bytes = classBytes(sizeClass);
    if (bytes < kLargePage) {
        return ::operator new(bytes);
    }
    return takeResidentBlock(bytes, bytes);
}

void freeBlock(void* block, int sizeClass) noexcept {
    const std::size_t bytes = classBytes(sizeClass);
    if (bytes < kLargePage) {
        ::operator delete(block);
    } else {
        releaseLargeBlock(block, bytes);
    }
}

}  // namespace

RepeatedBlockReuse::RepeatedBlockReuse() noexcept {
    assert(live == nullptr);
    live = this;
}

RepeatedBlockReuse::~RepeatedBlockReuse() {
    live = nullptr;
    for (int sizeClass = 0; sizeClass < kClasses; ++sizeClass) {
        while (void* block = kept_[sizeClass]) {
            kept_[sizeClass] = *static_cast<void**>(block);
            freeBlock(block, sizeClass);
        }
    }
}

void* RepeatedBlockReuse::take(int sizeClass) noexcept {
    const std::lock_guard<std::mutex> hold(lock_);
    void* block = kept_[sizeClass];
    if (block != nullptr) {
        kept_[sizeClass] = *static_cast<void**>(block);
    }
    return block;
}

void RepeatedBlockReuse::keep(void* block, int sizeClass) noexcept {
    const std::lock_guard<std::mutex> hold(lock_);
    *static_cast<void**>(block) = kept_[sizeClass];
    kept_[sizeClass] = block;
}

void* takeRepeatedBlock(std::size_t bytes) {
    const int sizeClass = sizeClassOf(bytes);
#if !defined(TARVEL_ADDRESS_SANITIZED)
    // Under the address sanitizer nothing is kept, so that it sees every use after freeing.
    if (live != nullptr) {
        if (void* block = live->take(sizeClass)) {
            return block;
        }
    }
#endif
    // Every block is made for its class, whoever took it, so that any may be kept for any take
    // of the class.
    return newBlock(sizeClass);
}

void giveBackRepeatedBlock(void* block, std::size_t bytes) noexcept {
    if (block == nullptr) {
        return;
    }
    const int sizeClass = sizeClassOf(bytes);
#if !defined(TARVEL_ADDRESS_SANITIZED)
    if (live != nullptr) {
        live->keep(block, sizeClass);
        return;
    }
#endif
    freeBlock(block, sizeClass);
}

}  // namespace tarvel
