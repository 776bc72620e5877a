#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "runtime/large_block.h"

namespace tarvel {

/// Blocks from this size on are made resident at once, and the allocator below takes them as
/// large blocks. On a virtual machine a page taken in alone can cost 10 microseconds, so a
/// run's arrays from a megabyte up are far cheaper taken in as whole large pages.
inline constexpr std::size_t kResidentBlock = std::size_t{1} << 20;

/// Takes a new block's pages in from the system in a few requests, instead of one fault per
/// page as the thread that first writes them reaches each. For the large arrays a run fills:
/// a fresh page is cleared and mapped before it is handed out, and taken in one by one that
/// costs far more than the writing (on virtual machines many times more); in a few requests,
/// and in large pages where the block is a large block (takeLargeBlock), far less. With a team
/// of two or more threads (none already at work) the requests are shared over its threads.
/// Blocks under kResidentBlock are left to fault as usual. Throws std::bad_alloc when a thread
/// cannot be made for lack of memory; a system without the means leaves the pages to fault.
void makeResident(void* block, std::size_t bytes, std::size_t elements);

/// A large block for `bytes` bytes (takeLargeBlock), made resident as an array of `elements`;
/// given back with releaseLargeBlock. Throws std::bad_alloc when memory runs out.
void* takeResidentBlock(std::size_t bytes, std::size_t elements);

/// Whether an array of n T is small enough for the standard allocator: a larger one is a large
/// block, made resident.
template <typename T>
constexpr bool isSmallArray(std::size_t n) {
    return n < kResidentBlock / sizeof(T);
}

/// The standard allocator for small blocks; large ones are large blocks made resident as they
/// are allocated.
template <typename T>
class ResidentAllocator {
public:
    using value_type = T;

    ResidentAllocator() = default;
    template <typename U>
    ResidentAllocator(const ResidentAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (isSmallArray<T>(n)) {
            return std::allocator<T>().allocate(n);
        }
        if (n > std::allocator_traits<std::allocator<T>>::max_size(std::allocator<T>())) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(takeResidentBlock(n * sizeof(T), n));
    }
    void deallocate(T* block, std::size_t n) noexcept {
        if (isSmallArray<T>(n)) {
            std::allocator<T>().deallocate(block, n);
        } else {
            releaseLargeBlock(block, n * sizeof(T));
        }
    }

    friend bool operator==(const ResidentAllocator&, const ResidentAllocator&) { return true; }
};

/// Gives an array of newResidentArray back as it was taken: a small one to delete[], a large
/// one as a large block.
template <typename T>
class ResidentArrayRelease {
public:
    ResidentArrayRelease() = default;
    explicit ResidentArrayRelease(std::size_t count) : count_(count) {}
    void operator()(T* array) const noexcept {
        if (isSmallArray<T>(count_)) {
            delete[] array;
        } else {
            releaseLargeBlock(array, count_ * sizeof(T));
        }
    }

private:
    std::size_t count_ = 0;
};

/// An array of the run's, owning its elements' block.
template <typename T>
using ResidentArray = std::unique_ptr<T[], ResidentArrayRelease<T>>;

/// An array of n T, its elements left unset as `new T[n]` leaves them; a large one is a large
/// block, made resident. Throws std::bad_alloc when memory runs out.
template <typename T>
ResidentArray<T> newResidentArray(std::size_t n) {
    static_assert(std::is_trivially_default_constructible_v<T> &&
                  std::is_trivially_destructible_v<T>);
    if (isSmallArray<T>(n)) {
        return ResidentArray<T>(new T[n], ResidentArrayRelease<T>(n));
    }
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) {
        throw std::bad_array_new_length();
    }
    return ResidentArray<T>(static_cast<T*>(takeResidentBlock(n * sizeof(T), n)),
                            ResidentArrayRelease<T>(n));
}

/// A vector for the run's large arrays (see makeResident).
template <typename T>
using ResidentVector = std::vector<T, ResidentAllocator<T>>;

}  // namespace tarvel
