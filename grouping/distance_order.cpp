#include "grouping/distance_order.h"

#include <cmath>
#include <limits>

namespace tarvel {

DistanceOrder::DistanceOrder(std::uint32_t head, double distance, std::size_t capacity)
    : head_(head), headDistance_(distance) {
    item_.reserve(capacity);
    left_.reserve(capacity);
    right_.reserve(capacity);
    priority_.reserve(capacity);
    key_.reserve(capacity);
    maxKey_.reserve(capacity);
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

void DistanceOrder::insert(std::uint32_t item, bool hasPartner, double distance) {
    if (!hasPartner) {
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

std::vector<std::uint32_t> DistanceOrder::items() const {
    std::vector<std::uint32_t> out{head_};
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

}  // namespace tarvel
