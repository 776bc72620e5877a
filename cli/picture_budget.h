// What the pictures of a run (the SVG and the report page) use to keep their size: an even
// sample of a list that is over its budget, and counts written with thousands separators for the
// notes that say what was left out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::cli {

/// Keeps `size` items of `list` spread evenly through it, in order (all when it is shorter).
template <typename Item>
void evenSample(std::vector<Item>& list, std::size_t size) {
    if (list.size() <= size) {
        return;
    }
    for (std::size_t k = 0; k < size; ++k) {
        list[k] = list[static_cast<std::size_t>(std::uint64_t{k} * list.size() / size)];
    }
    list.resize(size);
}

/// `value` in decimal with a comma between each group of three digits: "1,002,528".
inline std::string thousands(std::size_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) {
            out += ',';
        }
        out += digits[k];
    }
    return out;
}

}  // namespace tarvel::cli
