// A polygon's point identifiers, held in the polygon itself up to a quad's four.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <vector>

namespace tarvel::standin {

/// A list of point identifiers with the interface of std::vector<std::int32_t> as the mesh's
/// users take it: up to four entries live inside the object, more in a block of their own.
/// Most polygons are triangles and quads, so a mesh of a million polygons does without a
/// million small blocks. At most 2^32 - 1 entries.
class PointIds {
public:
    using value_type = std::int32_t;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = std::int32_t&;
    using const_reference = const std::int32_t&;
    using pointer = std::int32_t*;
    using const_pointer = const std::int32_t*;
    using iterator = std::int32_t*;
    using const_iterator = const std::int32_t*;

    PointIds() noexcept {}
    PointIds(std::initializer_list<std::int32_t> ids) { assign(ids.begin(), ids.end()); }
    PointIds(const std::vector<std::int32_t>& ids) { assign(ids.begin(), ids.end()); }
    PointIds(const PointIds& other) { assign(other.begin(), other.end()); }
    PointIds(PointIds&& other) noexcept { takeFrom(other); }
    PointIds& operator=(const PointIds& other) {
        if (this != &other) {
            assign(other.begin(), other.end());
        }
        return *this;
    }
    PointIds& operator=(PointIds&& other) noexcept {
        if (this != &other) {
            release();
            takeFrom(other);
        }
        return *this;
    }
    PointIds& operator=(std::initializer_list<std::int32_t> ids) {
        assign(ids.begin(), ids.end());
        return *this;
    }
    ~PointIds() { release(); }

    template <typename Iterator>
    void assign(Iterator first, Iterator last) {
        const auto count = static_cast<std::size_t>(std::distance(first, last));
        size_ = 0;
        reserve(count);
        std::copy(first, last, data());
        size_ = static_cast<std::uint32_t>(count);
    }

    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    std::size_t capacity() const noexcept { return capacity_; }
    std::int32_t* data() noexcept { return onHeap() ? heap_ : inline_; }
    const std::int32_t* data() const noexcept { return onHeap() ? heap_ : inline_; }
    iterator begin() noexcept { return data(); }
    iterator end() noexcept { return data() + size_; }
    const_iterator begin() const noexcept { return data(); }
    const_iterator end() const noexcept { return data() + size_; }
    std::int32_t& operator[](std::size_t i) noexcept { return data()[i]; }
    const std::int32_t& operator[](std::size_t i) const noexcept { return data()[i]; }
    std::int32_t& front() noexcept { return data()[0]; }
    const std::int32_t& front() const noexcept { return data()[0]; }
    std::int32_t& back() noexcept { return data()[size_ - 1]; }
    const std::int32_t& back() const noexcept { return data()[size_ - 1]; }

    void push_back(std::int32_t id) {
        if (size_ == capacity_) {
            reserve(std::max<std::size_t>(std::size_t{2} * capacity_, capacity_ + 1));
        }
        data()[size_] = id;
        ++size_;
    }
    void clear() noexcept { size_ = 0; }
    /// Room for `count` entries; the entries there are stay.
    void reserve(std::size_t count) {
        if (count <= capacity_) {
            return;
        }
        if (count > kLargest) {
            throw std::length_error("a polygon of more than 2^32 - 1 points");
        }
        auto* grown = new std::int32_t[count];
        std::copy(begin(), end(), grown);
        release();
        heap_ = grown;
        capacity_ = static_cast<std::uint32_t>(count);
    }

    friend bool operator==(const PointIds& a, const PointIds& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const PointIds& a, const std::vector<std::int32_t>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    static constexpr std::uint32_t kInline = 4;
    static constexpr std::size_t kLargest = std::numeric_limits<std::uint32_t>::max();

    bool onHeap() const noexcept { return capacity_ > kInline; }
    void release() noexcept {
        if (onHeap()) {
            delete[] heap_;
            capacity_ = kInline;
        }
    }
    /// Takes `other`'s entries; `other` is left empty. This one must hold no block.
    void takeFrom(PointIds& other) noexcept {
        size_ = other.size_;
        capacity_ = other.capacity_;
        if (other.onHeap()) {
            heap_ = other.heap_;
        } else {
            std::copy(other.inline_, other.inline_ + other.size_, inline_);
        }
        other.size_ = 0;
        other.capacity_ = kInline;
    }

    union {
        std::int32_t inline_[kInline] = {};
        std::int32_t* heap_;
    };
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = kInline;
};

}  // namespace tarvel::standin
