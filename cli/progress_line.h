// The line on a terminal that says which step a long run is in, rewritten in place.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace tarvel::cli {

/// The steps of one file's run, as the line names them.
enum class RunStep { idle, reading, running, writing, report };

/// Shows, on `out`, the step a run is in and, for reading and writing, a bar of how far it
/// has come: "model.obj: reading [#######.............]  35%". Nothing is drawn before the
/// run has taken `delay`, so short runs show nothing; a thread of its own redraws the line
/// every tenth of a second. A disabled line does nothing and starts no thread.
class ProgressLine {
public:
    ProgressLine(std::ostream& out, bool enabled,
                 std::chrono::milliseconds delay = std::chrono::milliseconds(1000));
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /// Enters `step` for the file `name`; the amount done starts at nothing.
    void step(const std::string& name, RunStep step);
    /// How far reading or writing has come: `done` of `total` bytes. Safe from any thread.
    void advance(std::uint64_t done, std::uint64_t total);
    /// Clears the line, if drawn, so that other text can go to the terminal, and draws
    /// nothing until the next step().
    void pause();

    /// The line as it stands, without the codes that rewrite it; empty when idle.
    std::string text() const;

private:
    void run();
    void draw();

    std::ostream& out_;
    const bool enabled_;
    const std::chrono::milliseconds delay_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::string name_;
    RunStep step_ = RunStep::idle;
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    bool drawn_ = false;
    /// The text on the terminal while drawn_.
    std::string shown_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tarvel::cli
