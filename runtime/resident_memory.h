#pragma once

#include <cstddef>
#include <memory>
#include <type_traits>
#include <vector>

namespace tarvel {

/// Takes a new block's pages in from the system on every thread of a team at once, instead of
/// one by one as the thread that first writes them faults on each. For the large arrays a run
/// fills on one thread: the system clears each fresh page before handing it out, and on two
/// threads that takes half the time. Blocks under a few megabytes, single-thread runs and blocks
/// asked for while a team is at work (its threads all busy) are left to fault as usual. Throws
/// std::bad_alloc when a thread cannot be made for lack of memory; a system without the means
/// leaves the pages to fault.
void makeResident(void* block, std::size_t bytes, std::size_t elements);

/// The standard allocator, with each block made resident as it is allocated.
template <typename T>
class ResidentAllocator {
public:
    using value_type = T;

    ResidentAllocator() = default;
    template <typename U>
    ResidentAllocator(const ResidentAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        T* block = std::allocator<T>().allocate(n);
        try {
            makeResident(block, n * sizeof(T), n);
        } catch (...) {
            std::allocator<T>().deallocate(block, n);
            throw;
        }
        return block;
    }
    void deallocate(T* block, std::size_t n) noexcept { std::allocator<T>().deallocate(block, n); }

    friend bool operator==(const ResidentAllocator&, const ResidentAllocator&) { return true; }
};

/// `new T[n]`, its elements left unset as that leaves them, made resident.
template <typename T>
std::unique_ptr<T[]> newResidentArray(std::size_t n) {
    static_assert(std::is_trivially_default_constructible_v<T>);
    std::unique_ptr<T[]> array(new T[n]);
    makeResident(array.get(), n * sizeof(T), n);
    return array;
}

/// A vector for the run's large arrays (see makeResident).
template <typename T>
using ResidentVector = std::vector<T, ResidentAllocator<T>>;

}  // namespace tarvel
