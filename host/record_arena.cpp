#include "host/record_arena.h"

#include <algorithm>
#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarvel {

/// A block's header; its storage follows it.
struct RecordArena::Block {
    Block* older;
    std::size_t bytes;
};

namespace {

constexpr std::size_t kFirstBlock = std::size_t{16} << 10;
constexpr std::size_t kLargestBlock = std::size_t{16} << 20;
constexpr std::size_t kHeader = (sizeof(void*) * 2 + alignof(std::max_align_t) - 1) /
                                alignof(std::max_align_t) * alignof(std::max_align_t);

/// With `on`, asks the system to back the block's whole large pages with large pages: a large
/// run fills its blocks at once, and one fault per 2 MiB instead of one per 4 KiB saves most
/// of the cost of taking fresh memory. Without, takes the request back before the block is
/// freed, so that the allocator's later use of that memory is left as it was. Only a hint:
/// nothing changes when the system declines.
void adviseLargePages([[maybe_unused]] char* begin, [[maybe_unused]] std::size_t bytes,
                      [[maybe_unused]] bool on) {
#if defined(__linux__) && defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
    // Blocks from this size on; smaller ones hold a large page or none.
    constexpr std::size_t kLargePageBlock = std::size_t{4} << 20;
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto first =
        (reinterpret_cast<std::uintptr_t>(begin) + kLargePage - 1) & ~(kLargePage - 1);
    const auto last = (reinterpret_cast<std::uintptr_t>(begin) + bytes) & ~(kLargePage - 1);
    if (bytes >= kLargePageBlock && first < last) {
        madvise(reinterpret_cast<void*>(first), last - first, on ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    }
#endif
}

}  // namespace

RecordArena::~RecordArena() {
    while (blocks_ != nullptr) {
        Block* older = blocks_->older;
        adviseLargePages(reinterpret_cast<char*>(blocks_) + kHeader, blocks_->bytes, false);
        ::operator delete(static_cast<void*>(blocks_));
        blocks_ = older;
    }
}

void* RecordArena::allocate(std::size_t bytes, std::size_t alignment) {
    auto at = reinterpret_cast<std::uintptr_t>(next_);
    at = (at + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1);
    if (next_ == nullptr || at + bytes > reinterpret_cast<std::uintptr_t>(end_)) {
        addBlock(bytes);
        at = reinterpret_cast<std::uintptr_t>(next_);
    }
    next_ = reinterpret_cast<char*>(at + bytes);
    return reinterpret_cast<void*>(at);
}

void RecordArena::addBlock(std::size_t atLeast) {
    // Blocks double up to a limit, so that a small run takes little and a large one takes
    // few blocks; a request larger than that gets a block of its own size.
    const std::size_t grown =
        blocks_ == nullptr ? kFirstBlock : std::min(blocks_->bytes * 2, kLargestBlock);
    const std::size_t bytes = std::max(grown, atLeast);
    auto* block = static_cast<Block*>(::operator new(kHeader + bytes));
    block->older = blocks_;
    block->bytes = bytes;
    blocks_ = block;
    next_ = reinterpret_cast<char*>(block) + kHeader;
    end_ = next_ + bytes;
    adviseLargePages(next_, bytes, true);
    reserved_ += kHeader + bytes;
}

}  // namespace tarvel
