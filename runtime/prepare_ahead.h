#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>

#include "runtime/worker_team.h"

namespace tarvel {

/// Who holds which piece of a prepareAhead(): piece i uses slot i % window(), whose state word
/// holds i and what has become of the piece. The calling thread takes the pieces in order; a
/// helper claims the ones ahead of it, at most a window's worth.
class AheadSlots {
public:
    /// For `count` pieces, at most `window` (from 2) prepared at once.
    AheadSlots(std::size_t count, std::size_t window);
    AheadSlots(const AheadSlots&) = delete;
    AheadSlots& operator=(const AheadSlots&) = delete;

    std::size_t window() const { return window_; }

    /// What has become of a piece when the calling thread comes to it.
    enum class Taken { toPrepare, prepared, failed };
    /// The calling thread, for piece i, the next in order: `toPrepare` when nobody took it (it
    /// is the calling thread's now), otherwise what the helper made of it. Waits while the
    /// helper is at it.
    Taken takeOrWait(std::size_t i);
    /// The calling thread is done with piece i: its slot is free for piece i + window().
    void consumed(std::size_t i);
    /// The calling thread takes no more pieces, at the end or on a failure: the helper stops.
    void finish();

    /// The helper: claims the first piece from `from` on that nobody has taken, waiting while
    /// a window's worth lies prepared ahead. Returns the piece, or the count once there is
    /// nothing left to claim or finish() was called.
    std::size_t claimNext(std::size_t from);
    /// The helper is done with piece i, which it claimed: prepared, or failed (and claims no
    /// more).
    void prepared(std::size_t i, bool ok);

private:
    enum : std::uint64_t { kFree = 0, kClaimed = 1, kReady = 2, kFailed = 3 };
    static std::uint64_t word(std::size_t piece, std::uint64_t status) {
        return static_cast<std::uint64_t>(piece) << 2 | status;
    }

    std::size_t count_;
    std::size_t window_;
    std::unique_ptr<std::atomic<std::uint64_t>[]> states_;
    /// Pieces before this one have been consumed.
    std::atomic<std::size_t> consumed_{0};
    std::atomic<bool> finished_{false};
    // Either side sleeps only while the other has the work in hand; these say whether, and
    // until what, so that the other wakes it only when needed.
    std::atomic<bool> helperWaits_{false};
    std::atomic<std::size_t> helperWakesAt_{0};
    std::atomic<bool> callerWaits_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
};

/// Runs prepare(i, slot, caller) and then consume(i, slot) for every piece i in [0, count),
/// consume on the calling thread, in order, and prepare there too (`caller` true) unless the
/// team's second thread has done it ahead (`caller` false), at most `window` pieces ahead. For a
/// sequence of small computations whose results the calling thread alone must hand on (to the host,
/// say): the other thread does the computing meanwhile.
///
/// prepare must depend only on the piece, not on the thread or on other pieces' slots. It is
/// handed the Slot as an earlier piece left it (or as Slot() made it), so that it can reuse
/// its storage, and must set all of it.
/// What prepare or consume throws, on either thread, is thrown here when the calling thread
/// comes to that piece, with no later piece consumed.
template <typename Slot, typename Prepare, typename Consume>
void prepareAhead(const WorkerTeam& team, std::size_t count, std::size_t window,
                  const Prepare& prepare, const Consume& consume) {
    if (team.size() < 2 || count < 2) {
        Slot slot{};
        for (std::size_t i = 0; i < count; ++i) {
            prepare(i, slot, true);
            consume(i, slot);
        }
        return;
    }
    AheadSlots slots(count, window);
    const std::unique_ptr<Slot[]> slot(new Slot[slots.window()]());
    std::exception_ptr failure;  // the helper's, read once its piece is marked failed
    team.alongside(
        [&] {
            struct Finish {
                AheadSlots& slots;
                ~Finish() { slots.finish(); }
            } finish{slots};
            for (std::size_t i = 0; i < count; ++i) {
                Slot& s = slot[i % slots.window()];
                switch (slots.takeOrWait(i)) {
                    case AheadSlots::Taken::toPrepare:
                        prepare(i, s, true);
                        break;
                    case AheadSlots::Taken::prepared:
                        break;
                    case AheadSlots::Taken::failed:
                        std::rethrow_exception(failure);
                }
                consume(i, s);
                slots.consumed(i);
            }
        },
        [&](const std::atomic<bool>&) {
            for (std::size_t i = slots.claimNext(0); i < count; i = slots.claimNext(i + 1)) {
                Slot& s = slot[i % slots.window()];
                try {
                    prepare(i, s, false);
                } catch (...) {
                    failure = std::current_exception();
                    slots.prepared(i, false);
                    return;
                }
                slots.prepared(i, true);
            }
        });
}

}  // namespace tarvel
