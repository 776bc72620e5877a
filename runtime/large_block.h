#pragma once

#include <cstddef>

namespace tarvel {

/// The large page: large blocks start on one and fill whole ones.
inline constexpr std::size_t kLargePage = std::size_t{2} << 20;

/// A block of at least `bytes` bytes (rounded up to whole large pages, what largeBlockSize
/// gives) that starts on a large page and asks the system to back it with large pages rather
/// than 4 KiB ones. Only the block itself carries the request, so memory the process reuses for
/// small allocations later never takes large pages it would leave mostly empty. Its contents
/// are unset: fresh memory, or pages a run gave back while it keeps them (LargeBlockReuse).
/// Throws std::bad_alloc when memory runs out. Give it back with releaseLargeBlock and the
/// same `bytes`.
void* takeLargeBlock(std::size_t bytes);
void releaseLargeBlock(void* block, std::size_t bytes) noexcept;

/// What takeLargeBlock(bytes) actually takes.
constexpr std::size_t largeBlockSize(std::size_t bytes) {
    return (bytes + kLargePage - 1) / kLargePage * kLargePage;
}

}  // namespace tarvel
