// Counting, and failing on demand, the allocations a plug-in makes through operator new. A
// program that links allocation_counter.cpp replaces the global operator new and delete; the
// stand-in host's own work (standin::inHostCode) is never counted and never failed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvel::testing {

/// Watches the calling thread's plug-in allocations for its lifetime. Watches do not nest.
class ModuleAllocations {
public:
    /// With `failAt` k > 0, the k-th allocation the watch sees fails (operator new throws
    /// std::bad_alloc, the nothrow form gives null); later ones succeed again.
    explicit ModuleAllocations(std::uint64_t failAt = 0);
    ~ModuleAllocations();
    ModuleAllocations(const ModuleAllocations&) = delete;
    ModuleAllocations& operator=(const ModuleAllocations&) = delete;

    /// Allocations asked for so far, the failed one included.
    std::uint64_t requested() const;
    /// Blocks allocated and not yet freed.
    std::int64_t live() const;
    /// Whether the allocation to fail was asked for.
    bool failed() const;
    /// Whether it was asked for without exceptions (the nothrow form): the standard library
    /// asks so for memory it can do without, such as a stable sort's buffer.
    bool failedQuietly() const;
    /// The largest single allocation asked for, in bytes.
    std::size_t largest() const;
};

/// Bytes held by every block operator new handed out and delete has not taken back, in the
/// whole process and whoever asked.
std::int64_t liveHeapBytes();

}  // namespace tarvel::testing
