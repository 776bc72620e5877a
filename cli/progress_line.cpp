#include "cli/progress_line.h"

namespace tarvel::cli {

namespace {

const char* stepName(RunStep step) {
    switch (step) {
        case RunStep::reading:
            return "reading";
        case RunStep::running:
            return "running the tool";
        case RunStep::writing:
            return "writing";
        case RunStep::report:
            return "writing the report";
        case RunStep::idle:
            break;
    }
    return "";
}

constexpr int kBarWidth = 20;

}  // namespace

ProgressLine::ProgressLine(std::ostream& out, bool enabled, std::chrono::milliseconds delay)
    : out_(out), enabled_(enabled), delay_(delay) {
    if (enabled_) {
        thread_ = std::thread([this] { run(); });
    }
}

ProgressLine::~ProgressLine() {
    if (!enabled_) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    pause();
}

void ProgressLine::step(const std::string& name, RunStep step) {
    if (!enabled_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    name_ = name;
    step_ = step;
    done_ = 0;
    total_ = 0;
}

void ProgressLine::advance(std::uint64_t done, std::uint64_t total) {
    total_ = total;
    done_ = done;
}

void ProgressLine::pause() {
    if (!enabled_) {
        return;
    }
    const std::lock_guard lock(mutex_);
    step_ = RunStep::idle;
    if (drawn_) {
        out_ << "\r\033[K" << std::flush;
        drawn_ = false;
    }
}

std::string ProgressLine::text() const {
    const std::lock_guard lock(mutex_);
    if (step_ == RunStep::idle) {
        return {};
    }
    std::string line = name_ + ": " + stepName(step_);
    const std::uint64_t total = total_;
    if ((step_ == RunStep::reading || step_ == RunStep::writing) && total > 0) {
        const std::uint64_t done = std::min<std::uint64_t>(done_, total);
        const auto filled = static_cast<int>(done * kBarWidth / total);
        line += " [" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), '.') + "] " +
                std::to_string(done * 100 / total) + "%";
    }
    return line;
}

void ProgressLine::draw() {
    const std::string line = text();
    const std::lock_guard lock(mutex_);
    if (line.empty() || step_ == RunStep::idle || (drawn_ && line == shown_)) {
        return;
    }
    out_ << "\r\033[K" << line << std::flush;
    drawn_ = true;
    shown_ = line;
}

void ProgressLine::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        wake_.wait_for(lock, std::chrono::milliseconds(100));
        if (stopping_ || std::chrono::steady_clock::now() - start_ < delay_) {
            continue;
        }
        lock.unlock();
        draw();
        lock.lock();
    }
}

}  // namespace tarvel::cli
