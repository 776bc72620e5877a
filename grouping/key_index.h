#pragma once

#include <cstdint>
#include <vector>

namespace tarvel {

/// Gives each distinct 64-bit key a dense number 0, 1, 2, ... in the order keys are first seen.
/// Open addressing with linear probing; lookups and insertions take expected constant time.
class KeyIndex {
public:
    static constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;

    /// Room for `expectedKeys` keys before the table grows.
    explicit KeyIndex(std::size_t expectedKeys = 16) { rebuild(capacityFor(expectedKeys)); }

    /// The key's number, numbering it now if it is new.
    std::uint32_t number(std::uint64_t key) {
        std::size_t slot = find(key);
        if (numbers_[slot] != kAbsent) {
            return numbers_[slot];
        }
        if (2 * (size_ + 1) > keys_.size()) {
            rebuild(keys_.size() * 2);
            slot = find(key);
        }
        keys_[slot] = key;
        numbers_[slot] = static_cast<std::uint32_t>(size_);
        return static_cast<std::uint32_t>(size_++);
    }

    /// The key's number, or kAbsent.
    std::uint32_t lookup(std::uint64_t key) const { return numbers_[find(key)]; }

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
        const std::size_t mask = keys_.size() - 1;
        std::size_t slot = mix(key) & mask;
        while (numbers_[slot] != kAbsent && keys_[slot] != key) {
            slot = (slot + 1) & mask;
        }
        return slot;
    }

    void rebuild(std::size_t capacity) {
        std::vector<std::uint64_t> oldKeys = std::move(keys_);
        std::vector<std::uint32_t> oldNumbers = std::move(numbers_);
        keys_.assign(capacity, 0);
        numbers_.assign(capacity, kAbsent);
        for (std::size_t i = 0; i < oldKeys.size(); ++i) {
            if (oldNumbers[i] != kAbsent) {
                const std::size_t slot = find(oldKeys[i]);
                keys_[slot] = oldKeys[i];
                numbers_[slot] = oldNumbers[i];
            }
        }
    }

    std::vector<std::uint64_t> keys_;
    std::vector<std::uint32_t> numbers_;
    std::size_t size_ = 0;
};

/// The key of a host identifier: its address bits.
template <typename Id>
std::uint64_t keyOf(Id id) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(id));
}

}  // namespace tarvel
