#include "failed_allocations.h"

#include <gtest/gtest.h>

#include <vector>

#include "standin/trace_writer.h"
#include "testing/linked_module.h"
#include "testing/run_invariants.h"

namespace tarvel::testing {
namespace {

/// The run of `scene` whose allocation number `k` fails, against the run where none does.
void expectFailedRunAbandonsCleanly(const standin::Scene& scene, const WatchedRun& clean,
                                    std::uint64_t k, const std::string& where) {
    const WatchedRun run = runWatched(scene, k);
    ASSERT_TRUE(run.failed) << where;
    EXPECT_EQ(run.live, 0) << where;
    if (run.failedQuietly) {
        EXPECT_EQ(standin::traceText(run.trace), standin::traceText(clean.trace)) << where;
        return;
    }
    EXPECT_TRUE(moduleAtRest()) << where;
    EXPECT_EQ(run.trace.result, 0) << where;
    const standin::CallLog& log = run.trace.calls;
    ASSERT_EQ(log.count(standin::CallOp::done), 1u) << where;
    const standin::CallArguments done = log.arguments(log.size() - 1);
    ASSERT_EQ(done.op, standin::CallOp::done) << where;
    EXPECT_EQ(done.numbers[0], 1) << where;
    EXPECT_EQ(done.numbers[1], 0) << where;
    EXPECT_EQ(log.count(standin::CallOp::remPoly), 0u) << where;
    EXPECT_TRUE(log.messages().empty()) << where;
    const std::vector<std::string> broken = brokenRunInvariants(scene, run.trace);
    EXPECT_TRUE(broken.empty()) << where << ":\n" << describeBroken(broken);
}

}  // namespace

std::uint64_t expectEveryFailedAllocationAbandonsCleanly(const standin::Scene& scene,
                                                         const std::string& name) {
    const WatchedRun clean = runWatched(scene);
    EXPECT_GT(clean.requested, 0u) << name;
    EXPECT_EQ(clean.live, 0) << name;
    for (std::uint64_t k = 1; k <= clean.requested; ++k) {
        expectFailedRunAbandonsCleanly(scene, clean, k, name + ", allocation " + std::to_string(k));
    }
    return clean.requested;
}

}  // namespace tarvel::testing
