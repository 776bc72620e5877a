#pragma once

#include <atomic>
#include <cstddef>
#include <limits>
#include <new>
#include <type_traits>

namespace tarvel {

/// Storage for the records of one run: a few large blocks handed out piece by piece and freed
/// all at once when the arena goes. Nothing placed here is destroyed one by one, so only
/// types whose destruction frees nothing of their own belong here; the exception are classes
/// that place themselves here while a RunArena names it, whose owners destroy them as usual
/// and whose freeing frees nothing. Not thread-safe.
class RecordArena {
public:
    RecordArena() = default;
    /// Frees every block, and so everything ever placed here.
    ~RecordArena();
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    /// A new T, value-initialised. Throws std::bad_alloc when memory runs out.
    template <typename T>
    T* create() {
        return new (allocate(sizeof(T), alignof(T))) T();
    }

    /// Room for `count` T (none for 0), aligned for T, with no T made in it yet: for arrays
    /// whose every entry the caller makes at once (placement new), so that a large run does
    /// not clear its fresh memory before writing it. Throws std::bad_alloc.
    template <typename T>
    T* room(std::size_t count) {
        static_assert(std::is_trivially_destructible_v<T>, "nothing placed here is destroyed");
        if (count > kLargest / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(allocate(count * sizeof(T), alignof(T)));
    }

    /// An array of `count` value-initialised T (none for 0). Throws std::bad_alloc.
    template <typename T>
    T* array(std::size_t count) {
        if (count > kLargest / sizeof(T)) {
            throw std::bad_alloc();
        }
        return new (allocate(count * sizeof(T), alignof(T))) T[count]();
    }

    /// Bytes aligned to `alignment` (at most that of std::max_align_t), with nothing made in
    /// them yet. Throws std::bad_alloc.
    void* allocate(std::size_t bytes, std::size_t alignment);

    /// Makes the newest large block resident ahead of the pieces, never more than kAhead
    /// beyond where they have got, following the arena from block to block until `stop` turns
    /// true. For a second thread while this one hands out pieces: it reads only what the arena
    /// publishes for it, and only asks the system to take in pages early, which leaves their
    /// contents as they are. Blocks are made only as pieces need them, so nothing is taken in
    /// far beyond what the run places.
    void makeResidentAhead(const std::atomic<bool>& stop) const;

    /// Bytes taken from the system so far.
    std::size_t reserved() const { return reserved_; }

private:
    static constexpr std::size_t kLargest = std::numeric_limits<std::size_t>::max() / 2;

    void addBlock(std::size_t atLeast);
    /// Makes the newest block's memory up to `to` (and a little beyond) resident at once.
    void populate(const char* to);

    struct Block;
    Block* blocks_ = nullptr;    // the newest first; each owns the next
    char* next_ = nullptr;       // the free part of the newest block
    char* populated_ = nullptr;  // how far the newest block was made resident in advance
    char* end_ = nullptr;
    std::size_t reserved_ = 0;
    // What makeResidentAhead follows: the newest block, and how far its pieces have got.
    std::atomic<Block*> published_{nullptr};
    std::atomic<const char*> reached_{nullptr};
};

/// Names `arena` as the arena of the run under way for its lifetime, so that objects a run
/// makes in great numbers (one group per polygon, at worst) can be placed there instead of on
/// the heap, where taking and freeing each costs more than making it. Made and ended on the
/// run's thread, at most one at a time, and ended only once every object placed through it is
/// gone.
class RunArena {
public:
    explicit RunArena(RecordArena& arena);
    ~RunArena();
    RunArena(const RunArena&) = delete;
    RunArena& operator=(const RunArena&) = delete;

    /// The arena named, or null outside a run.
    static RecordArena* current();
};

}  // namespace tarvel
