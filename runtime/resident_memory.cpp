#include "runtime/resident_memory.h"

#include <cstdint>

#include "runtime/worker_team.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace tarvel {

namespace {

constexpr std::uintptr_t kPage = 4096;

}  // namespace

void makeResident([[maybe_unused]] void* block, [[maybe_unused]] std::size_t bytes,
                  [[maybe_unused]] std::size_t elements) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
    if (bytes < kResidentBlock) {
        return;
    }
    // Whole pages inside the block: the pages at its ends may be shared with other blocks,
    // and those fault in as usual.
    const auto from = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
    const auto to = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(kPage - 1);
    if (to <= from) {
        return;
    }
    // While a team is at work its threads are all busy: this thread takes the pages in.
    const WorkerTeam team(WorkerTeam::sharing() ? 0 : elements);
    if (team.size() < 2) {
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
        return;
    }
    // Each thread's share is whole large pages.
    const std::size_t pages = (to - from) / kPage;
    const std::size_t perLargePage = kLargePage / kPage;
    const std::size_t share = (pages + team.size() - 1) / team.size();
    team.forRanges(pages, (share + perLargePage - 1) / perLargePage * perLargePage,
                   [from](std::size_t begin, std::size_t end) {
                       // A refusal (no memory now, or an older system) leaves the pages to
                       // fault when first written.
                       madvise(reinterpret_cast<void*>(from + begin * kPage), (end - begin) * kPage,
                               MADV_POPULATE_WRITE);
                   });
#endif
}

void* takeResidentBlock(std::size_t bytes, std::size_t elements) {
    void* block = takeLargeBlock(bytes);
    try {
        makeResident(block, bytes, elements);
    } catch (...) {
        releaseLargeBlock(block, bytes);
        throw;
    }
    return block;
}

}  // namespace tarvel
