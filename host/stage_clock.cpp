#include "host/stage_clock.h"

#ifdef TARVEL_STAGE_CLOCK

#include <chrono>

namespace {

long long totals[tarvel::kStageCount] = {};

long long now() {
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
    return stage >= 0 && stage < tarvel::kStageCount ? static_cast<double>(totals[stage]) * 1e-9
                                                     : 0.0;
}

extern "C" __attribute__((visibility("default"))) void tarvelResetStageClock() {
    for (long long& t : totals) {
        t = 0;
    }
}

#endif
