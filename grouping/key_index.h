#pragma once

#include <cstdint>
#include <vector>

#include "runtime/repeated_blocks.h"

namespace tarvel {

/// Gives each distinct 64-bit key a dense number 0, 1, 2, ... in the order keys are first seen.
/// Open addressing with linear probing; lookups and insertions take expected constant time.
class KeyIndex {
public:
    static constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;
    /// How often a key comes again, as planned for: the corners of a mesh of quads or triangles
    /// name each point about four to six times. Keys that repeat less grow the table.
    static constexpr std::size_t kRepeats = 4;

    /// Room for `expectedKeys` keys before the table grows.
    explicit KeyIndex(std::size_t expectedKeys = 16) { rebuild(capacityFor(expectedKeys)); }

    /// The key's number, numbering it now if it is new.
    std::uint32_t number(std::uint64_t key) {
        std::size_t slot = find(key);
        if (slots_[slot].number != kAbsent) {
            return slots_[slot].number;
        }
        if (2 * (size_ + 1) > slots_.size()) {
            rebuild(slots_.size() * 2);
            slot = find(key);
        }
        slots_[slot] = {key, static_cast<std::uint32_t>(size_)};
        return static_cast<std::uint32_t>(size_++);
    }

    /// Numbers `count` keys in order into `numbers`. Fetches the table slots a few keys ahead,
    /// so that many cache misses are under way at once; the results are those of number().
    void numberAll(const std::uint64_t* keys, std::size_t count, std::uint32_t* numbers) {
        constexpr std::size_t kAhead = 8;
        reserve(size_ + count / kRepeats);
        for (std::size_t i = 0; i < count; ++i) {
            if (i + kAhead < count) {
                __builtin_prefetch(&slots_[mix(keys[i + kAhead]) & (slots_.size() - 1)]);
            }
            numbers[i] = number(keys[i]);
        }
    }

    /// Room for `keys` keys in all without growing.
    void reserve(std::size_t keys) {
        if (2 * keys > slots_.size()) {
            rebuild(capacityFor(keys));
        }
    }

    /// The key's number, or kAbsent.
    std::uint32_t lookup(std::uint64_t key) const { return slots_[find(key)].number; }

    std::size_t size() const { return size_; }

private:
    static std::size_t capacityFor(std::size_t keys) {
        std::size_t capacity = 16;
        while (capacity < 2 * keys) {
            capacity *= 2;
        }
        return capacity;
    }

    static std::uint64_t mix(std::uint64_t key) {
        key ^= key >> 33;
        key *= 0xff51afd7ed558ccdULL;
        key ^= key >> 33;
        key *= 0xc4ceb9fe1a85ec53ULL;
        key ^= key >> 33;
        return key;
    }

    std::size_t find(std::uint64_t key) const {
        const std::size_t mask = slots_.size() - 1;
        std::size_t slot = mix(key) & mask;
        while (slots_[slot].number != kAbsent && slots_[slot].key != key) {
            slot = (slot + 1) & mask;
        }
        return slot;
    }

    void rebuild(std::size_t capacity) {
        RepeatedVector<Slot> old = std::move(slots_);
        slots_.assign(capacity, Slot{});
        for (const Slot& entry : old) {
            if (entry.number != kAbsent) {
                slots_[find(entry.key)] = entry;
            }
        }
    }

    /// Key and number side by side, so that a probe reads one cache line.
    struct Slot {
        std::uint64_t key = 0;
        std::uint32_t number = kAbsent;
    };
    RepeatedVector<Slot> slots_;
    std::size_t size_ = 0;
};

/// The key of a host identifier: its address bits.
template <typename Id>
std::uint64_t keyOf(Id id) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(id));
}

}  // namespace tarvel
