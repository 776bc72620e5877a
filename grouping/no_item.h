#pragma once

#include <cstdint>

namespace tarvel {

/// The number that names no item: no group, polygon, point or node, the end of a list. The
/// indexes of grouping number their items from 0 in 32 bits and keep this one value free.
inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

}  // namespace tarvel
