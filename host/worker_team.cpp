#include "host/worker_team.h"

#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>

namespace tarvel {

namespace {

constexpr unsigned kMostThreads = 64;

std::atomic<std::size_t> smallestSharedPolygons{20000};

// Teams whose work is under way on more than one thread. A count for the process, not a mark
// per thread: thread-local storage would need the C library's emulation on some platforms.
std::atomic<int> teamsSharing{0};

/// Counts a team in while it lives.
class Sharing {
public:
    Sharing() { teamsSharing.fetch_add(1, std::memory_order_relaxed); }
    ~Sharing() { teamsSharing.fetch_sub(1, std::memory_order_relaxed); }
    Sharing(const Sharing&) = delete;
    Sharing& operator=(const Sharing&) = delete;
};

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

}  // namespace

WorkerTeam::WorkerTeam(std::size_t selectedPolygons) {
    if (selectedPolygons < smallestShared()) {
        return;
    }
    unsigned threads = std::thread::hardware_concurrency();
    const unsigned cap = threadCap();
    if (cap != 0) {
        threads = cap;
    }
    size_ = threads < 1 ? 1 : threads > kMostThreads ? kMostThreads : threads;
}

std::size_t WorkerTeam::smallestShared() {
    return smallestSharedPolygons.load(std::memory_order_relaxed);
}

void WorkerTeam::setSmallestShared(std::size_t polygons) {
    smallestSharedPolygons.store(polygons, std::memory_order_relaxed);
}

bool WorkerTeam::sharing() {
    return teamsSharing.load(std::memory_order_relaxed) > 0;
}

void WorkerTeam::runOn(unsigned threads, void (*job)(void*), void* context) {
    // The threads live in this frame; every one started is joined before it returns.
    const Sharing sharing;
    alignas(std::thread) unsigned char storage[kMostThreads][sizeof(std::thread)];
    auto* workers = reinterpret_cast<std::thread*>(storage);
    unsigned started = 0;
    bool outOfMemory = false;
    for (; started + 1 < threads; ++started) {
        try {
            new (&workers[started]) std::thread(job, context);
        } catch (const std::system_error&) {
            break;  // the system refuses more threads: fewer do the work
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
            break;
        }
    }
    if (!outOfMemory) {
        job(context);
    }
    for (unsigned i = 0; i < started; ++i) {
        workers[i].join();
        workers[i].~thread();
    }
    if (outOfMemory) {
        throw std::bad_alloc();
    }
}

void WorkerTeam::runAlongside(bool withAside, void (*main)(void*), void (*aside)(void*),
                              void* context, std::atomic<bool>& done) {
    std::thread helper;
    if (withAside) {
        // Out of memory ends the run here, as anywhere; a thread the system refuses is done
        // without, which only the time shows.
        try {
            helper = std::thread(aside, context);
        } catch (const std::system_error&) {
        }
    }
    auto finish = [&] {
        done.store(true, std::memory_order_release);
        if (helper.joinable()) {
            helper.join();
        }
    };
    try {
        main(context);
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

}  // namespace tarvel
