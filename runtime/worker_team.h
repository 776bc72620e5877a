#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace tarvel {

/// Threads kept for the length of a run (or of a team made outside one), so that a step of the
/// run hands them its work instead of starting threads of its own. Made and ended on the same
/// thread; they run only the module's own computations, never a call to the host.
class WorkerThreads {
public:
    /// Starts `helpers` threads beside the calling one, or fewer when the system refuses more.
    /// Throws std::bad_alloc when a thread cannot be made for lack of memory, the ones already
    /// started stopped and joined.
    explicit WorkerThreads(unsigned helpers);
    /// Stops the threads and joins them. Must not be called while a shift is under way.
    ~WorkerThreads();
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    /// Threads that can work, the calling one included.
    unsigned size() const { return started_ + 1; }

    /// Hands job(context) to up to `helpers` threads and returns how many were asked (0 when
    /// they are at another shift already: work asked for from inside another's). The caller
    /// does its own part and then calls endShift(), which every helper asked must have
    /// returned from job before it returns; job must not throw.
    unsigned beginShift(unsigned helpers, void (*job)(void*), void* context);
    /// Ends the shift that beginShift began: a helper that has not yet taken the job never
    /// does (the caller's part is done, so the work is), and the others are waited for.
    void endShift();

    /// Whether a shift is under way on any set of threads in the process.
    static bool anyAtWork();

private:
    void serve();
    /// Stops and joins the threads started.
    void stop();

    std::mutex mutex_;
    std::condition_variable wake_;      // the helpers wait here for a job
    std::condition_variable finished_;  // the caller waits here for the helpers
    std::unique_ptr<std::thread[]> threads_;
    unsigned started_ = 0;
    // Guarded by mutex_:
    void (*job_)(void*) = nullptr;
    void* context_ = nullptr;
    std::uint64_t shift_ = 0;  // counts the shifts begun, so a helper takes each once
    unsigned wanted_ = 0;      // helpers the shift still wants
    unsigned working_ = 0;     // helpers that took the shift's job and have not returned
    bool busy_ = false;
    bool stopping_ = false;
};

/// The threads of the run under way: made by `activate` once per run, when the selection is
/// large enough to share work, and ended before it returns. Every team the run makes works on
/// them.
class RunThreads {
public:
    /// The threads for a run over `selectedPolygons` polygons: none under
    /// WorkerTeam::smallestShared(). Throws std::bad_alloc as WorkerThreads does.
    explicit RunThreads(std::size_t selectedPolygons);
    ~RunThreads();
    RunThreads(const RunThreads&) = delete;
    RunThreads& operator=(const RunThreads&) = delete;

private:
    std::unique_ptr<WorkerThreads> threads_;
};

/// Threads for one step of a run whose pieces of work are independent: each piece writes only
/// what is its own, so the result is the same for any number of threads. The team works on the
/// run's threads (see RunThreads); a team made outside a run starts threads of its own, once,
/// and ends them when it goes.
///
/// A selection under smallestShared() polygons runs on the calling thread alone. Otherwise
/// the count is the environment variable TARVEL_THREADS where it holds a count from 1 (1 turns
/// threading off; at most 64, and more than the processors is allowed), and the number of
/// processors where it does not.
class WorkerTeam {
public:
    /// The team for a run over `selectedPolygons` polygons. Outside a run, throws
    /// std::bad_alloc when its threads cannot be made for lack of memory.
    explicit WorkerTeam(std::size_t selectedPolygons);

    /// Threads the team uses, the calling one included; at least 1.
    unsigned size() const { return size_; }

    /// Calls work(begin, end) for ranges of at most `grain` pieces that together cover
    /// [0, count) once, on the team's threads, and returns once all are done. When work
    /// throws, no further range starts and the first exception is thrown here, after every
    /// thread has stopped. Called from inside another team's work, it runs on the calling
    /// thread alone.
    template <typename Work>
    void forRanges(std::size_t count, std::size_t grain, const Work& work) const;

    /// A range size for `count` pieces: about four ranges per thread, so that the threads end
    /// together, and at most `most`.
    std::size_t grainFor(std::size_t count, std::size_t most) const {
        const std::size_t even = count / (4 * static_cast<std::size_t>(size_));
        return even < 1 ? 1 : even < most ? even : most;
    }

    /// Runs first() and second(), on two threads when the team has them and `polygons`, the
    /// size of the work, is at least smallestSharedStep(): handing a piece to another thread
    /// costs about as much as a few dozen polygons' work.
    template <typename First, typename Second>
    void both(std::size_t polygons, const First& first, const Second& second) const {
        if (polygons < smallestSharedStep()) {
            first();
            second();
            return;
        }
        forRanges(2, 1, [&](std::size_t begin, std::size_t) { begin == 0 ? first() : second(); });
    }

    /// Runs main() on the calling thread and, when the team has a second thread, aside(done)
    /// on that one meanwhile: `done` turns true once main() has returned, and aside() should
    /// return soon after. For work that only readies what main() will use, so aside() must not
    /// throw, and it is not run at all without a second thread, while the threads are at
    /// another step's work, or when main() returns before a thread has taken it. main() may
    /// call the host: it stays on the thread the host called. Throws what main() throws.
    template <typename Main, typename Aside>
    void alongside(const Main& main, const Aside& aside) const {
        struct Context {
            const Aside* aside;
            std::atomic<bool> done{false};
        } context{&aside};
        Shift shift(
            *this, size_ > 1 ? 1 : 0,
            [](void* c) {
                auto& x = *static_cast<Context*>(c);
                (*x.aside)(x.done);
            },
            &context);
        try {
            main();
        } catch (...) {
            context.done.store(true, std::memory_order_release);
            throw;  // the shift ends on the way out
        }
        context.done.store(true, std::memory_order_release);
    }

    /// Whether some team's work is being shared out over threads at the moment, on any
    /// thread.
    static bool sharing();

    /// The selection size from which the work is shared: 20,000 polygons, below which
    /// making threads for the run costs more than it saves.
    static std::size_t smallestShared();
    /// Changes it, for tests that must see the threads at work on small selections.
    static void setSmallestShared(std::size_t polygons);

    /// The size of a step (in polygons) from which both() shares it: kSmallestSharedStep.
    static std::size_t smallestSharedStep();
    /// Changes it, for tests that must see small steps shared.
    static void setSmallestSharedStep(std::size_t polygons);

private:
    /// Helpers at work on job(context) for the shift's lifetime; the destructor waits for them.
    class Shift {
    public:
        Shift(const WorkerTeam& team, unsigned helpers, void (*job)(void*), void* context);
        ~Shift();
        Shift(const Shift&) = delete;
        Shift& operator=(const Shift&) = delete;

    private:
        WorkerThreads* threads_ = nullptr;
    };

    /// The team's own threads, made outside a run only; null in a run or a team of one.
    std::unique_ptr<WorkerThreads> own_;
    /// The threads the team works on: the run's or its own; null for a team of one.
    WorkerThreads* threads_ = nullptr;
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
        std::exception_ptr failure;       // read once every thread has stopped
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
    {
        const Shift shift(*this, threads - 1, job, &shared);
        job(&shared);
    }
    if (shared.failure) {
        std::rethrow_exception(shared.failure);
    }
}

}  // namespace tarvel
