#include "runtime/prepare_ahead.h"

namespace tarvel {

namespace {

/// How often the calling thread looks again at a piece the helper is preparing before it
/// sleeps: a small piece is ready within that time, and sleeping and waking cost more.
constexpr int kLooksBeforeSleep = 4096;

}  // namespace

AheadSlots::AheadSlots(std::size_t count, std::size_t window)
    : count_(count),
      window_(window < 2 ? 2 : window),
      states_(new std::atomic<std::uint64_t>[window_]) {
    for (std::size_t s = 0; s < window_; ++s) {
        states_[s].store(word(s, kFree), std::memory_order_relaxed);
    }
}

AheadSlots::Taken AheadSlots::takeOrWait(std::size_t i) {
    std::atomic<std::uint64_t>& state = states_[i % window_];
    std::uint64_t seen = word(i, kFree);
    if (state.compare_exchange_strong(seen, word(i, kClaimed), std::memory_order_acquire)) {
        return Taken::toPrepare;
    }
    for (int look = 0; look < kLooksBeforeSleep && seen == word(i, kClaimed); ++look) {
        seen = state.load(std::memory_order_acquire);
    }
    if (seen == word(i, kClaimed)) {
        std::unique_lock<std::mutex> lock(mutex_);
        callerWaits_.store(true);
        wake_.wait(lock, [&] { return state.load() != word(i, kClaimed); });
        callerWaits_.store(false);
        seen = state.load(std::memory_order_acquire);
    }
    return seen == word(i, kFailed) ? Taken::failed : Taken::prepared;
}

void AheadSlots::consumed(std::size_t i) {
    states_[i % window_].store(word(i + window_, kFree), std::memory_order_release);
    consumed_.store(i + 1);
    if (helperWaits_.load() && i + 1 >= helperWakesAt_.load()) {
        const std::lock_guard<std::mutex> lock(mutex_);
        wake_.notify_all();
    }
}

void AheadSlots::finish() {
    finished_.store(true);
    const std::lock_guard<std::mutex> lock(mutex_);
    wake_.notify_all();
}

std::size_t AheadSlots::claimNext(std::size_t from) {
    for (;;) {
        if (finished_.load()) {
            return count_;
        }
        const std::size_t consumed = consumed_.load(std::memory_order_acquire);
        const std::size_t i = from > consumed ? from : consumed;
        if (i >= count_) {
            return count_;
        }
        if (i >= consumed + window_) {
            // The window is full: sleep until the caller has taken half of it, so that the
            // helper wakes once per half window rather than once per piece.
            std::unique_lock<std::mutex> lock(mutex_);
            helperWakesAt_.store(i + 1 - window_ / 2);
            helperWaits_.store(true);
            wake_.wait(lock,
                       [&] { return finished_.load() || consumed_.load() >= i + 1 - window_ / 2; });
            helperWaits_.store(false);
            continue;
        }
        std::uint64_t free = word(i, kFree);
        if (states_[i % window_].compare_exchange_strong(free, word(i, kClaimed),
                                                         std::memory_order_acquire)) {
            return i;
        }
        from = i + 1;  // the caller took it
    }
}

void AheadSlots::prepared(std::size_t i, bool ok) {
    states_[i % window_].store(word(i, ok ? kReady : kFailed));
    if (callerWaits_.load()) {
        const std::lock_guard<std::mutex> lock(mutex_);
        wake_.notify_all();
    }
}

}  // namespace tarvel
