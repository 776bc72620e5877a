#include "grouping/distance_order.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

namespace tarvel {

DistanceOrder::DistanceOrder(std::uint32_t head, double distance, std::size_t capacity)
    : head_(head), headDistance_(distance) {
    insertions_.reserve(capacity);
}

void DistanceOrder::insert(std::uint32_t item, bool hasPartner, double distance) {
    insertions_.push_back({item, hasPartner, distance});
}

std::span<const std::uint32_t> DistanceOrder::items() {
    items_ = sortable() ? sortedItems() : replayedItems();
    return items_;
}

bool DistanceOrder::sortable() const {
    return std::all_of(insertions_.begin(), insertions_.end(),
                       [](const Insertion& i) { return i.hasPartner && !std::isnan(i.distance); });
}

namespace {

/// An integer ordered as the (non-NaN) distance is, with -0.0 and 0.0 alike.
std::uint64_t orderedBits(double distance) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(distance == 0.0 ? 0.0 : distance);
    return (bits >> 63) != 0 ? ~bits : bits | (std::uint64_t{1} << 63);
}

/// A stable sort of `entries` by distance (none NaN): by the top 33 bits of orderedBits (the
/// sign, the exponent and 21 bits of the fraction), 11 bits at a time from the lowest of them,
/// passing over digits that every entry shares; then the runs that agree on those bits and
/// not on the rest are put in order by a stable sort of their own. Such runs are short unless
/// the distances crowd within a few millionths of each other.
template <typename Entry>
void sortByDistance(ResidentVector<Entry>& entries) {
    constexpr int kDigitBits = 11;
    constexpr int kLowest = 64 - 3 * kDigitBits;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    ResidentVector<Entry> other;
    std::vector<std::uint32_t> start(kBuckets);
    for (int shift = kLowest; shift < 64; shift += kDigitBits) {
        std::fill(start.begin(), start.end(), 0);
        for (const Entry& e : entries) {
            ++start[(orderedBits(e.distance) >> shift) & (kBuckets - 1)];
        }
        if (std::find(start.begin(), start.end(), entries.size()) != start.end()) {
            continue;  // one digit for all: this pass would move nothing
        }
        std::uint32_t sum = 0;
        for (std::uint32_t& count : start) {
            const std::uint32_t n = count;
            count = sum;
            sum += n;
        }
        other.resize(entries.size());
        for (const Entry& e : entries) {
            other[start[(orderedBits(e.distance) >> shift) & (kBuckets - 1)]++] = e;
        }
        entries.swap(other);
    }
    auto byDistance = [](const Entry& a, const Entry& b) {
        return orderedBits(a.distance) < orderedBits(b.distance);
    };
    for (auto run = entries.begin(); run != entries.end();) {
        const std::uint64_t top = orderedBits(run->distance) >> kLowest;
        bool mixed = false;
        auto end = run + 1;
        for (; end != entries.end() && orderedBits(end->distance) >> kLowest == top; ++end) {
            mixed = mixed || orderedBits(end->distance) != orderedBits(run->distance);
        }
        if (mixed) {
            std::stable_sort(run, end, byDistance);
        }
        run = end;
    }
}

}  // namespace

ResidentVector<std::uint32_t> DistanceOrder::sortedItems() const {
    // Everything after the head is at least the head's distance and ascending. An item goes in
    // front of the items of its own distance, and a head that a nearer item replaces goes in
    // front of everything after it; so among equal distances the item that came in last
    // stands first.
    struct Entry {
        double distance;
        std::uint32_t arrival;
        std::uint32_t item;
    };
    ResidentVector<Entry> rest;
    rest.reserve(insertions_.size());
    std::uint32_t head = head_;
    double headDistance = headDistance_;
    for (const Insertion& insertion : insertions_) {
        const auto arrival = static_cast<std::uint32_t>(rest.size());
        if (headDistance > insertion.distance) {
            rest.push_back({headDistance, arrival, head});
            head = insertion.item;
            headDistance = insertion.distance;
        } else {
            rest.push_back({insertion.distance, arrival, insertion.item});
        }
    }
    // Ascending distance, and among equal ones the later arrival first: the entries reversed,
    // then sorted by distance alone in a stable sort.
    std::reverse(rest.begin(), rest.end());
    sortByDistance(rest);
    assert(rest.empty() || !(rest.front().distance < headDistance));
    ResidentVector<std::uint32_t> out{head};
    out.reserve(rest.size() + 1);
    for (const Entry& e : rest) {
        out.push_back(e.item);
    }
    return out;
}

ResidentVector<std::uint32_t> DistanceOrder::replayedItems() {
    const std::size_t capacity = insertions_.size() + 1;
    item_.reserve(capacity);
    left_.reserve(capacity);
    right_.reserve(capacity);
    priority_.reserve(capacity);
    key_.reserve(capacity);
    maxKey_.reserve(capacity);
    for (const Insertion& insertion : insertions_) {
        replay(insertion);
    }
    insertions_.clear();
    ResidentVector<std::uint32_t> out{head_};
    std::vector<std::uint32_t> stack;
    std::uint32_t node = root_;
    while (node != kNone || !stack.empty()) {
        while (node != kNone) {
            stack.push_back(node);
            node = left_[node];
        }
        node = stack.back();
        stack.pop_back();
        out.push_back(item_[node]);
        node = right_[node];
    }
    return out;
}

std::uint32_t DistanceOrder::newNode(std::uint32_t item, double distance) {
    random_ ^= random_ << 13;
    random_ ^= random_ >> 7;
    random_ ^= random_ << 17;
    const double key = std::isnan(distance) ? std::numeric_limits<double>::infinity() : distance;
    item_.push_back(item);
    left_.push_back(kNone);
    right_.push_back(kNone);
    priority_.push_back(static_cast<std::uint32_t>(random_ >> 32));
    key_.push_back(key);
    maxKey_.push_back(key);
    return static_cast<std::uint32_t>(item_.size() - 1);
}

void DistanceOrder::update(std::uint32_t node) {
    double m = key_[node];
    if (left_[node] != kNone && maxKey_[left_[node]] > m) {
        m = maxKey_[left_[node]];
    }
    if (right_[node] != kNone && maxKey_[right_[node]] > m) {
        m = maxKey_[right_[node]];
    }
    maxKey_[node] = m;
}

void DistanceOrder::splitBefore(std::uint32_t tree, double distance, std::uint32_t& before,
                                std::uint32_t& rest) {
    if (tree == kNone) {
        before = rest = kNone;
        return;
    }
    if (maxKey_[tree] < distance) {
        before = tree;  // nothing here stops the walk
        rest = kNone;
        return;
    }
    const std::uint32_t l = left_[tree];
    if (l != kNone && maxKey_[l] >= distance) {
        splitBefore(l, distance, before, left_[tree]);
        update(tree);
        rest = tree;
    } else if (key_[tree] >= distance) {
        before = l;
        left_[tree] = kNone;
        update(tree);
        rest = tree;
    } else {
        splitBefore(right_[tree], distance, right_[tree], rest);
        update(tree);
        before = tree;
    }
}

std::uint32_t DistanceOrder::merge(std::uint32_t left, std::uint32_t right) {
    if (left == kNone) {
        return right;
    }
    if (right == kNone) {
        return left;
    }
    if (priority_[left] > priority_[right]) {
        right_[left] = merge(right_[left], right);
        update(left);
        return left;
    }
    left_[right] = merge(left, left_[right]);
    update(right);
    return right;
}

void DistanceOrder::replay(const Insertion& insertion) {
    const std::uint32_t item = insertion.item;
    const double distance = insertion.distance;
    if (!insertion.hasPartner) {
        root_ = merge(root_, newNode(item, distance));
        return;
    }
    if (headDistance_ > distance) {
        root_ = merge(newNode(head_, headDistance_), root_);
        head_ = item;
        headDistance_ = distance;
        return;
    }
    const std::uint32_t node = newNode(item, distance);
    if (std::isnan(distance)) {
        root_ = merge(node, root_);  // nothing is smaller than NaN: right after the head
        return;
    }
    std::uint32_t before = kNone;
    std::uint32_t rest = kNone;
    splitBefore(root_, distance, before, rest);
    root_ = merge(merge(before, node), rest);
}

}  // namespace tarvel
