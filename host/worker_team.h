#pragma once

#include <atomic>
#include <cstddef>
#include <exception>

namespace tarvel {

/// Threads for one step of a run whose pieces of work are independent: each piece writes only
/// what is its own, so the result is the same for any number of threads. The threads are
/// started and joined inside each call, so none outlives the step, and they run only the
/// module's own computations, never a call to the host.
///
/// A selection under smallestShared() polygons runs on the calling thread alone. Otherwise
/// the count is the environment variable TARVEL_THREADS where it holds a count from 1 (1 turns
/// threading off; at most 64, and more than the processors is allowed), and the number of
/// processors where it does not.
class WorkerTeam {
public:
    /// The team for a run over `selectedPolygons` polygons.
    explicit WorkerTeam(std::size_t selectedPolygons);

    /// Threads the team uses, the calling one included; at least 1.
    unsigned size() const { return size_; }

    /// Calls work(begin, end) for ranges of at most `grain` pieces that together cover
    /// [0, count) once, on the team's threads, and returns once all are done. When work
    /// throws, no further range starts and the first exception is thrown here, after every
    /// thread has stopped.
    template <typename Work>
    void forRanges(std::size_t count, std::size_t grain, const Work& work) const;

    /// A range size for `count` pieces: about four ranges per thread, so that the threads end
    /// together, and at most `most`.
    std::size_t grainFor(std::size_t count, std::size_t most) const {
        const std::size_t even = count / (4 * static_cast<std::size_t>(size_));
        return even < 1 ? 1 : even < most ? even : most;
    }

    /// Runs first() and second(), on two threads when the team has them.
    template <typename First, typename Second>
    void both(const First& first, const Second& second) const {
        forRanges(2, 1, [&](std::size_t begin, std::size_t) { begin == 0 ? first() : second(); });
    }

    /// Runs main() on the calling thread and, when the team has a second thread, aside(done)
    /// on that one meanwhile: `done` turns true once main() has returned, and aside() should
    /// return soon after. For work that only readies what main() will use, so aside() must not
    /// throw, and it is not run at all without a second thread (or when the system refuses
    /// one). main() may call the host: it stays on the thread the host called. Throws what
    /// main() throws, and std::bad_alloc when the thread cannot be made for lack of memory.
    template <typename Main, typename Aside>
    void alongside(const Main& main, const Aside& aside) const {
        struct Context {
            const Main* main;
            const Aside* aside;
            std::atomic<bool> done{false};
        } context{&main, &aside};
        runAlongside(
            size_ > 1, [](void* c) { (*static_cast<Context*>(c)->main)(); },
            [](void* c) {
                auto& x = *static_cast<Context*>(c);
                (*x.aside)(x.done);
            },
            &context, context.done);
    }

    /// Whether some team's work is being shared out over threads (forRanges or both with more
    /// than one thread) at the moment, on any thread.
    static bool sharing();

    /// The selection size from which the work is shared: 20,000 polygons, below which
    /// starting threads costs more than it saves.
    static std::size_t smallestShared();
    /// Changes it, for tests that must see the threads at work on small selections.
    static void setSmallestShared(std::size_t polygons);

private:
    /// Runs job(context) on `threads` threads, the calling one among them, and joins them.
    /// Throws what starting a thread threw for lack of memory, once the others are joined; a
    /// thread the system refuses is done without.
    static void runOn(unsigned threads, void (*job)(void*), void* context);
    /// Runs main(context) here and, when `withAside`, aside(context) on a thread of its own
    /// meanwhile; sets `done` when main returns (or throws) and joins the thread.
    static void runAlongside(bool withAside, void (*main)(void*), void (*aside)(void*),
                             void* context, std::atomic<bool>& done);

    unsigned size_ = 1;
};

template <typename Work>
void WorkerTeam::forRanges(std::size_t count, std::size_t grain, const Work& work) const {
    if (count == 0) {
        return;
    }
    grain = grain == 0 ? 1 : grain;
    const std::size_t ranges = (count + grain - 1) / grain;
    if (size_ <= 1 || ranges <= 1) {
        for (std::size_t begin = 0; begin < count; begin += grain) {
            work(begin, begin + grain < count ? begin + grain : count);
        }
        return;
    }
    struct Shared {
        const Work* work;
        std::size_t count;
        std::size_t grain;
        std::atomic<std::size_t> next{0};
        std::atomic<bool> stop{false};
        std::atomic<bool> failed{false};  // the first thread to set it keeps its exception
        std::exception_ptr failure;       // read once every thread is joined
    } shared;
    shared.work = &work;
    shared.count = count;
    shared.grain = grain;
    auto job = [](void* context) {
        auto& s = *static_cast<Shared*>(context);
        try {
            while (!s.stop.load(std::memory_order_relaxed)) {
                const std::size_t begin = s.next.fetch_add(s.grain, std::memory_order_relaxed);
                if (begin >= s.count) {
                    break;
                }
                (*s.work)(begin, begin + s.grain < s.count ? begin + s.grain : s.count);
            }
        } catch (...) {
            s.stop.store(true, std::memory_order_relaxed);
            if (!s.failed.exchange(true)) {
                s.failure = std::current_exception();
            }
        }
    };
    const unsigned threads = ranges < size_ ? static_cast<unsigned>(ranges) : size_;
    runOn(threads, job, &shared);
    if (shared.failure) {
        std::rethrow_exception(shared.failure);
    }
}

}  // namespace tarvel
