#include "runtime/stage_clock.h"

#ifdef TARVEL_STAGE_CLOCK

#include <chrono>
#include <cstdlib>
#include <ctime>

namespace {

long long totals[tarvel::kStageCount + 1] = {};

// TARVEL_STAGE_CPU=1 times the stages by the calling thread's processor time instead of the
// wall clock: steadier figures on a busy machine, meaningful with TARVEL_THREADS=1.
const bool kThreadTime = std::getenv("TARVEL_STAGE_CPU") != nullptr;

long long now() {
    if (kThreadTime) {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

namespace tarvel {

StageClock::StageClock(Stage stage) : stage_(stage), startNanoseconds_(now()) {}

StageClock::~StageClock() {
    totals[static_cast<int>(stage_)] += now() - startNanoseconds_;
}

}  // namespace tarvel

extern "C" __attribute__((visibility("default"))) double tarvelStageSeconds(int stage) {
    return stage >= 0 && stage <= tarvel::kStageCount ? static_cast<double>(totals[stage]) * 1e-9
                                                      : 0.0;
}

extern "C" __attribute__((visibility("default"))) void tarvelResetStageClock() {
    for (long long& t : totals) {
        t = 0;
    }
}

#endif
