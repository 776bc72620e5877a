#pragma once

// Time spent in each stage of a run, for the benchmark. Product builds compile it to nothing;
// builds with TARVEL_STAGE_CLOCK add each stage's wall time into a total the benchmark reads.

namespace tarvel {

/// The stages of a run in their order, and `whole`: the activation from the host's call until
/// the module returns, every stage and what lies between them.
enum class Stage : int {
    capture,
    ordering,
    grouping,
    pairing,
    boundaries,
    matching,
    removal,
    whole
};
/// The stages proper, without `whole`.
inline constexpr int kStageCount = 7;

#ifdef TARVEL_STAGE_CLOCK

/// Adds the time from its construction to its destruction to its stage's total.
class StageClock {
public:
    explicit StageClock(Stage stage);
    ~StageClock();
    StageClock(const StageClock&) = delete;
    StageClock& operator=(const StageClock&) = delete;

private:
    Stage stage_;
    long long startNanoseconds_;
};

#else

class StageClock {
public:
    explicit StageClock(Stage) {}
};

#endif

}  // namespace tarvel

#ifdef TARVEL_STAGE_CLOCK
/// Seconds spent in a stage (0 to kStageCount, which is `whole`) since the last reset; exported by
/// timed module files only.
extern "C" double tarvelStageSeconds(int stage);
extern "C" void tarvelResetStageClock();
#endif
