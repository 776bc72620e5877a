#include "runtime/record_arena.h"

#include <algorithm>
#include <cstdint>
#include <new>

#include "runtime/large_block.h"
#include "runtime/resident_memory.h"

#if defined(__linux__)
#include <sys/mman.h>

#include <chrono>
#include <thread>
#endif

namespace tarvel {

/// A block's header; its storage follows it.
struct RecordArena::Block {
    Block* older;
    std::size_t bytes;
    /// A large block (takeLargeBlock), made resident ahead of the pieces.
    bool large;
};

namespace {

constexpr std::size_t kFirstBlock = std::size_t{16} << 10;
constexpr std::size_t kLargestBlock = std::size_t{16} << 20;
/// Blocks from this size on are taken in large pages, ahead of their use.
constexpr std::size_t kPopulatedBlock = kResidentBlock;
/// How far ahead of the pieces makeResidentAhead goes: enough to stay clear of them, little
/// enough that a run which ends early leaves few pages taken in for nothing.
constexpr std::size_t kAhead = std::size_t{32} << 20;
constexpr std::uintptr_t kPage = 4096;
/// How much of a block one request to the system makes resident.
constexpr std::uintptr_t kStep = std::uintptr_t{2} << 20;
// Room for a block's header (two words and a flag), kept to the strictest alignment.
constexpr std::size_t kHeader = (sizeof(void*) * 3 + alignof(std::max_align_t) - 1) /
                                alignof(std::max_align_t) * alignof(std::max_align_t);

}  // namespace

RecordArena::~RecordArena() {
    while (blocks_ != nullptr) {
        Block* older = blocks_->older;
        if (blocks_->large) {
            releaseLargeBlock(blocks_, kHeader + blocks_->bytes);
        } else {
            ::operator delete(static_cast<void*>(blocks_));
        }
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
    if (next_ > populated_) {
        populate(next_);
    }
    return reinterpret_cast<void*>(at);
}

void RecordArena::makeResidentAhead([[maybe_unused]] const std::atomic<bool>& stop) const {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    const Block* block = nullptr;
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::uintptr_t at = 0;  // how far this thread has made the block resident
    while (!stop.load(std::memory_order_acquire)) {
        const Block* newest = published_.load(std::memory_order_acquire);
        if (newest == nullptr) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        if (newest != block) {
            block = newest;
            start = reinterpret_cast<std::uintptr_t>(block) + kHeader;
            end = start + block->bytes;
            // Small blocks fault in page by page, as the pieces reach them.
            at = block->large ? start & ~(kPage - 1) : end;
        }
        // A block is made for the next piece, so until the place the pieces last reached
        // (published now and then) lies in the block, they are at its start.
        auto reached = reinterpret_cast<std::uintptr_t>(reached_.load(std::memory_order_relaxed));
        reached = reached >= start && reached <= end ? reached : start;
        at = std::max(at, reached & ~(kPage - 1));
        const std::uintptr_t until = std::min<std::uintptr_t>(end, reached + kAhead);
        if (at >= until) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        const std::uintptr_t step = std::min(kStep, until - at);
        if (madvise(reinterpret_cast<void*>(at), step, MADV_POPULATE_WRITE) != 0) {
            return;  // declined: the pages fault in as usual
        }
        at += step;
    }
#endif
}

void RecordArena::populate([[maybe_unused]] const char* to) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    // A large block is filled from its start: taking its fresh pages 2 MiB at a time, in one
    // request each, costs the kernel less than a fault for every 4 KiB page. Only a hint: the
    // pages fault in as usual when the system declines.
    const auto from = reinterpret_cast<std::uintptr_t>(populated_) & ~(kPage - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(end_);
    const auto until = std::min(end, (reinterpret_cast<std::uintptr_t>(to) + kStep) & ~(kPage - 1));
    if (from < until) {
        madvise(reinterpret_cast<void*>(from), until - from, MADV_POPULATE_WRITE);
    }
    populated_ = reinterpret_cast<char*>(until);
    reached_.store(to, std::memory_order_relaxed);
#else
    populated_ = end_;
#endif
}

void RecordArena::addBlock(std::size_t atLeast) {
    // Blocks double up to a limit, so that a small run takes little and a large one takes
    // few blocks; a request larger than that gets a block of its own size.
    const std::size_t grown =
        blocks_ == nullptr ? kFirstBlock : std::min(blocks_->bytes * 2, kLargestBlock);
    std::size_t bytes = std::max(grown, atLeast);
    const bool large = bytes >= kPopulatedBlock;
    Block* block = nullptr;
    if (large) {
        // A large block fills whole large pages, header included, and is taken in as such: a
        // page more only where the header leaves too little room for the request.
        bytes = largeBlockSize(bytes) - kHeader;
        if (bytes < atLeast) {
            bytes += kLargePage;
        }
        block = static_cast<Block*>(takeLargeBlock(kHeader + bytes));
    } else {
        block = static_cast<Block*>(::operator new(kHeader + bytes));
    }
    static_assert(sizeof(Block) <= kHeader);
    block->older = blocks_;
    block->bytes = bytes;
    block->large = large;
    blocks_ = block;
    next_ = reinterpret_cast<char*>(block) + kHeader;
    end_ = next_ + bytes;
    // Small blocks are left to fault in page by page.
    populated_ = large ? next_ : end_;
    reserved_ += kHeader + bytes;
    published_.store(block, std::memory_order_release);
}

namespace {

// The run's arena: only the run's thread reads or changes it.
RecordArena* namedArena = nullptr;

}  // namespace

RunArena::RunArena(RecordArena& arena) {
    namedArena = &arena;
}

RunArena::~RunArena() {
    namedArena = nullptr;
}

RecordArena* RunArena::current() {
    return namedArena;
}

}  // namespace tarvel
