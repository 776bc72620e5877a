#include "host/worker_team.h"

#include <cstdlib>
#include <new>
#include <system_error>
#include <thread>

namespace tarvel {

namespace {

constexpr unsigned kMostThreads = 64;

std::atomic<std::size_t> smallestSharedPolygons{20000};

/// The cap TARVEL_THREADS sets, or 0 for none.
unsigned threadCap() {
    const char* text = std::getenv("TARVEL_THREADS");
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (*end != '\0' || value < 1) {
        return 0;  // not a count: no cap
    }
    return value < static_cast<long>(kMostThreads) ? static_cast<unsigned>(value) : kMostThreads;
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

void WorkerTeam::runOn(unsigned threads, void (*job)(void*), void* context) {
    // The threads live in this frame; every one started is joined before it returns.
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

}  // namespace tarvel
