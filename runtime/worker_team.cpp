#include "runtime/worker_team.h"

#include <cstdlib>
#include <new>
#include <system_error>

namespace tarvel {

namespace {

constexpr unsigned kMostThreads = 64;

/// A step of fewer polygons than this is done on one thread: handing work to a waiting thread
/// and waiting for it costs about as much as this many polygons' boundary work. Measured on
/// 200,000 polygons as pairs of n by n facing grids, two threads, each pair shared or none:
/// the boundary stage was faster unshared at n = 3 (18 polygons a pair; medians of three 0.16
/// against 0.21 s) and shared at n = 4 (32 polygons; 0.11 against 0.17 s) and above.
constexpr std::size_t kSmallestSharedStep = 32;

std::atomic<std::size_t> smallestSharedPolygons{20000};
std::atomic<std::size_t> smallestSharedStepPolygons{kSmallestSharedStep};

// Shifts under way with helpers at work. A count for the process, not a mark per thread:
// thread-local storage would need the C library's emulation on some platforms.
std::atomic<int> shiftsAtWork{0};

// The threads of the run under way, if it made any.
std::atomic<WorkerThreads*> runThreads{nullptr};

/// The cap TARVEL_THREADS sets, or 0 for none: anything but a count from 1 up sets none.
unsigned threadCap() {
    const char* text = std::getenv("TARVEL_THREADS");
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    unsigned value = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return 0;
        }
        value = value * 10 + static_cast<unsigned>(*text - '0');
        if (value > kMostThreads) {
            value = kMostThreads;
        }
    }
    return value;
}

/// Threads for a run over `selectedPolygons` polygons, the calling one included.
unsigned threadsFor(std::size_t selectedPolygons) {
    if (selectedPolygons < WorkerTeam::smallestShared()) {
        return 1;
    }
    unsigned threads = std::thread::hardware_concurrency();
    const unsigned cap = threadCap();
    if (cap != 0) {
        threads = cap;
    }
    return threads < 1 ? 1 : threads > kMostThreads ? kMostThreads : threads;
}

}  // namespace

WorkerThreads::WorkerThreads(unsigned helpers) : threads_(new std::thread[helpers]) {
    try {
        for (; started_ < helpers; ++started_) {
            threads_[started_] = std::thread([this] { serve(); });
        }
    } catch (const std::system_error&) {
        // The system refuses more threads: fewer do the work.
    } catch (...) {
        stop();  // out of memory: the ones started end before the throw
        throw;
    }
}

WorkerThreads::~WorkerThreads() {
    stop();
}

void WorkerThreads::stop() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (unsigned i = 0; i < started_; ++i) {
        threads_[i].join();
    }
    started_ = 0;
}

void WorkerThreads::serve() {
    std::unique_lock<std::mutex> lock(mutex_);
    // From 0, not the shift under way: a thread that starts late still takes the first shift.
    std::uint64_t seen = 0;
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || (shift_ != seen && wanted_ > 0); });
        if (stopping_) {
            return;
        }
        seen = shift_;
        --wanted_;
        ++working_;
        void (*const job)(void*) = job_;
        void* const context = context_;
        lock.unlock();
        job(context);
        lock.lock();
        if (--working_ == 0) {
            finished_.notify_one();
        }
    }
}

unsigned WorkerThreads::beginShift(unsigned helpers, void (*job)(void*), void* context) {
    helpers = helpers < started_ ? helpers : started_;
    if (helpers == 0) {
        return 0;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (busy_) {
            return 0;
        }
        busy_ = true;
        job_ = job;
        context_ = context;
        wanted_ = helpers;
        ++shift_;
    }
    shiftsAtWork.fetch_add(1, std::memory_order_relaxed);
    if (helpers == started_) {
        wake_.notify_all();
    } else {
        for (unsigned i = 0; i < helpers; ++i) {
            wake_.notify_one();
        }
    }
    return helpers;
}

void WorkerThreads::endShift() {
    std::unique_lock<std::mutex> lock(mutex_);
    wanted_ = 0;
    finished_.wait(lock, [&] { return working_ == 0; });
    busy_ = false;
    job_ = nullptr;
    context_ = nullptr;
    shiftsAtWork.fetch_sub(1, std::memory_order_relaxed);
}

bool WorkerThreads::anyAtWork() {
    return shiftsAtWork.load(std::memory_order_relaxed) > 0;
}

RunThreads::RunThreads(std::size_t selectedPolygons) {
    const unsigned threads = threadsFor(selectedPolygons);
    if (threads > 1) {
        threads_ = std::make_unique<WorkerThreads>(threads - 1);
        runThreads.store(threads_.get(), std::memory_order_release);
    }
}

RunThreads::~RunThreads() {
    if (threads_ != nullptr) {
        runThreads.store(nullptr, std::memory_order_release);
    }
}

WorkerTeam::WorkerTeam(std::size_t selectedPolygons) {
    const unsigned threads = threadsFor(selectedPolygons);
    if (threads < 2) {
        return;
    }
    threads_ = runThreads.load(std::memory_order_acquire);
    if (threads_ == nullptr) {
        own_ = std::make_unique<WorkerThreads>(threads - 1);
        threads_ = own_.get();
    }
    size_ = threads_->size();
    if (size_ < 2) {
        threads_ = nullptr;
    }
}

WorkerTeam::Shift::Shift(const WorkerTeam& team, unsigned helpers, void (*job)(void*),
                         void* context) {
    if (helpers > 0 && team.threads_ != nullptr &&
        team.threads_->beginShift(helpers, job, context) > 0) {
        threads_ = team.threads_;
    }
}

WorkerTeam::Shift::~Shift() {
    if (threads_ != nullptr) {
        threads_->endShift();
    }
}

std::size_t WorkerTeam::smallestShared() {
    return smallestSharedPolygons.load(std::memory_order_relaxed);
}

void WorkerTeam::setSmallestShared(std::size_t polygons) {
    smallestSharedPolygons.store(polygons, std::memory_order_relaxed);
}

std::size_t WorkerTeam::smallestSharedStep() {
    return smallestSharedStepPolygons.load(std::memory_order_relaxed);
}

void WorkerTeam::setSmallestSharedStep(std::size_t polygons) {
    smallestSharedStepPolygons.store(polygons, std::memory_order_relaxed);
}

bool WorkerTeam::sharing() {
    return WorkerThreads::anyAtWork();
}

}  // namespace tarvel
