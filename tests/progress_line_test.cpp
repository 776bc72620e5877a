// The progress line: the step and a bar on a terminal after the delay, nothing otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>

#include "cli/progress_line.h"

namespace tarvel::cli {
namespace {

using std::chrono::milliseconds;

TEST(ProgressLineTest, namesTheStepWithABarForReadingAndWriting) {
    std::ostringstream out;
    ProgressLine line(out, true, milliseconds(60'000));
    line.step("model.obj", RunStep::reading);
    line.advance(35, 100);
    EXPECT_EQ(line.text(), "model.obj: reading [#######.............] 35%");
    line.step("model.obj", RunStep::running);
    line.advance(50, 100);  // the tool's run has no bar
    EXPECT_EQ(line.text(), "model.obj: running the tool");
    line.step("model.obj", RunStep::writing);
    line.advance(100, 100);
    EXPECT_EQ(line.text(), "model.obj: writing [####################] 100%");
    line.pause();
    EXPECT_EQ(line.text(), "");
    // Before the delay nothing reaches the terminal.
    EXPECT_EQ(out.str(), "");
}

TEST(ProgressLineTest, drawsAfterTheDelayAndClearsBeforeOtherText) {
    std::ostringstream out;
    {
        ProgressLine line(out, true, milliseconds(0));
        line.step("big.obj", RunStep::running);
        std::this_thread::sleep_for(milliseconds(400));
        line.pause();
    }
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("\r\033[Kbig.obj: running the tool", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");
}

TEST(ProgressLineTest, aDisabledLineWritesNothing) {
    std::ostringstream out;
    {
        ProgressLine line(out, false, milliseconds(0));
        line.step("big.obj", RunStep::reading);
        line.advance(1, 2);
        std::this_thread::sleep_for(milliseconds(250));
        EXPECT_EQ(line.text(), "");
    }
    EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace tarvel::cli
