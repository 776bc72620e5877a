#include "runtime/kept_large_blocks.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarvel {

#if defined(__linux__) && defined(MREMAP_FIXED)

namespace {

/// A kept block; the list runs through the blocks themselves, so keeping one never
/// allocates.
struct KeptBlock {
    KeptBlock* next;
    std::size_t bytes;
};

/// Guards everything below: blocks are taken and given back on any thread of a run.
std::mutex keptLock;
int reuses = 0;
KeptBlock* kept = nullptr;
/// Written under the lock; read without it where a stale answer only costs a look.
std::atomic<std::size_t> keptBytes{0};

void keep(std::uintptr_t block, std::size_t bytes) noexcept {
    auto* entry = reinterpret_cast<KeptBlock*>(block);
    entry->next = kept;
    entry->bytes = bytes;
    kept = entry;
    keptBytes += bytes;
}

/// Empties the list, under the lock, and gives its blocks back after.
void giveBackAll(std::unique_lock<std::mutex> hold) noexcept {
    KeptBlock* release = kept;
    kept = nullptr;
    keptBytes = 0;
    hold.unlock();
    while (release != nullptr) {
        KeptBlock* next = release->next;
        munmap(release, release->bytes);
        release = next;
    }
}

}  // namespace

LargeBlockReuse::LargeBlockReuse() noexcept {
    const std::lock_guard<std::mutex> hold(keptLock);
    ++reuses;
}

LargeBlockReuse::~LargeBlockReuse() {
    std::unique_lock<std::mutex> hold(keptLock);
    if (--reuses == 0) {
        giveBackAll(std::move(hold));
    }
}

void giveBackKeptLargeBlocks() noexcept {
    if (keptBytes.load(std::memory_order_relaxed) != 0) {
        giveBackAll(std::unique_lock<std::mutex>(keptLock));
    }
}

std::size_t keptLargeBytes() noexcept {
    const std::lock_guard<std::mutex> hold(keptLock);
    return keptBytes;
}

bool keepLargeBlock(std::uintptr_t block, std::size_t bytes) noexcept {
    const std::lock_guard<std::mutex> hold(keptLock);
    if (reuses == 0) {
        return false;
    }
    keep(block, bytes);
    return true;
}

std::size_t fillFromKeptBlocks(std::uintptr_t block, std::size_t bytes) noexcept {
    std::size_t filled = 0;
    const std::lock_guard<std::mutex> hold(keptLock);
    while (filled < bytes && kept != nullptr) {
        KeptBlock* from = kept;
        KeptBlock* const next = from->next;
        const std::size_t length = from->bytes;
        const std::size_t piece = std::min(length, bytes - filled);
        // The rest of a longer block stays kept: its list entry moves to where the rest
        // starts, before the pages under the old one leave.
        KeptBlock* rest = nullptr;
        if (piece < length) {
            rest = reinterpret_cast<KeptBlock*>(reinterpret_cast<std::uintptr_t>(from) + piece);
            rest->next = next;
            rest->bytes = length - piece;
        }
        // Moving pages between places that both start on a large page moves whole large
        // pages, table entry by table entry; nothing is copied or cleared.
        void* moved = mremap(from, piece, piece, MREMAP_MAYMOVE | MREMAP_FIXED,
                             reinterpret_cast<void*>(block + filled));
        if (moved == MAP_FAILED) {
            break;  // the rest of the new block stays fresh; the kept block stays kept
        }
        kept = rest != nullptr ? rest : next;
        keptBytes -= piece;
        filled += piece;
    }
    return filled;
}

#else

// Where pages cannot be moved from one block into another, nothing is kept: a block given
// back goes back to the system at once, and a new one is fresh.
LargeBlockReuse::LargeBlockReuse() noexcept {}
LargeBlockReuse::~LargeBlockReuse() = default;
void giveBackKeptLargeBlocks() noexcept {}
std::size_t keptLargeBytes() noexcept {
    return 0;
}
bool keepLargeBlock(std::uintptr_t /*block*/, std::size_t /*bytes*/) noexcept {
    return false;
}
std::size_t fillFromKeptBlocks(std::uintptr_t /*block*/, std::size_t /*bytes*/) noexcept {
    return 0;
}

#endif

}  // namespace tarvel
