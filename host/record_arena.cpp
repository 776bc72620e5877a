#include "host/record_arena.h"

#include <algorithm>
#include <cstdint>

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

}  // namespace

RecordArena::~RecordArena() {
    while (blocks_ != nullptr) {
        Block* older = blocks_->older;
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
    reserved_ += kHeader + bytes;
}

}  // namespace tarvel
