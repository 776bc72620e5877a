#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "runtime/large_block.h"
#include "runtime/resident_memory.h"

namespace tarvel {

/// Arrays that a run makes again for every pair it links take their blocks here from this
/// size on (up to kRepeatedLargeBlock).
inline constexpr std::size_t kRepeatedSmallest = std::size_t{64} << 10;
/// From this size on they are large blocks, made resident, as a run's other large arrays.
inline constexpr std::size_t kRepeatedLargeBlock = std::size_t{4} << 20;

/// While one lives, the blocks of arrays made again for every pair (takeRepeatedBlock) are
/// kept when given back and handed to the next take of their size, instead of going back to
/// the C library. That may hand them back to the system, and the next pair would then take its
/// pages in anew, one at a time as it first writes each (on a virtual machine about 10
/// microseconds a page); a kept block's pages are in place. Blocks come in sizes of powers of
/// two, so that one freed serves any later take of its size. Made and ended on the run's
/// thread, one at a time, before the run's threads start and after they end; takes and gives
/// may come from any thread in between. Ending frees every kept block.
class RepeatedBlockReuse {
public:
    RepeatedBlockReuse() noexcept;
    ~RepeatedBlockReuse();
    RepeatedBlockReuse(const RepeatedBlockReuse&) = delete;
    RepeatedBlockReuse& operator=(const RepeatedBlockReuse&) = delete;

    /// A kept block of the size class `sizeClass`, or null when none is kept.
    void* take(int sizeClass) noexcept;
    void keep(void* block, int sizeClass) noexcept;

    /// The size classes: kRepeatedSmallest << k for k from 0.
    static constexpr int kClasses = 7;

private:
    std::mutex lock_;
    void* kept_[kClasses] = {};  // each a list through the blocks' first word
};

/// A block for `bytes` bytes, from kRepeatedSmallest up to kRepeatedLargeBlock: a kept one of
/// its size class where a RepeatedBlockReuse lives and keeps one, a new one otherwise. Throws
/// std::bad_alloc when memory runs out. Give it back with giveBackRepeatedBlock and the same
/// `bytes`.
void* takeRepeatedBlock(std::size_t bytes);
void giveBackRepeatedBlock(void* block, std::size_t bytes) noexcept;

/// The allocator of arrays made again for every pair: the standard one for small blocks,
/// repeated blocks from kRepeatedSmallest on, large blocks made resident from
/// kRepeatedLargeBlock on.
template <typename T>
class RepeatedAllocator {
public:
    using value_type = T;

    RepeatedAllocator() = default;
    template <typename U>
    RepeatedAllocator(const RepeatedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n < kRepeatedSmallest / sizeof(T)) {
            return std::allocator<T>().allocate(n);
        }
        if (n > std::allocator_traits<std::allocator<T>>::max_size(std::allocator<T>())) {
            throw std::bad_array_new_length();
        }
        if (n < kRepeatedLargeBlock / sizeof(T)) {
            return static_cast<T*>(takeRepeatedBlock(n * sizeof(T)));
        }
        return static_cast<T*>(takeResidentBlock(n * sizeof(T), n));
    }
    void deallocate(T* block, std::size_t n) noexcept {
        if (n < kRepeatedSmallest / sizeof(T)) {
            std::allocator<T>().deallocate(block, n);
        } else if (n < kRepeatedLargeBlock / sizeof(T)) {
            giveBackRepeatedBlock(block, n * sizeof(T));
        } else {
            releaseLargeBlock(block, n * sizeof(T));
        }
    }

    friend bool operator==(const RepeatedAllocator&, const RepeatedAllocator&) { return true; }
};

/// A vector for arrays made again for every pair.
template <typename T>
using RepeatedVector = std::vector<T, RepeatedAllocator<T>>;

}  // namespace tarvel
