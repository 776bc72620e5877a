#pragma once

#include <bit>
#include <cstdint>

namespace tarvel {

/// The place of the lowest set bit of `v`, which must not be 0. Taken from the two 32-bit
/// halves: on 32-bit x86, std::countr_zero of a 64-bit value calls a helper of the compiler's
/// run-time library, and the module keeps its code free of library calls.
inline int lowestSetBit(std::uint64_t v) {
    const auto low = static_cast<std::uint32_t>(v);
    return low != 0 ? std::countr_zero(low)
                    : 32 + std::countr_zero(static_cast<std::uint32_t>(v >> 32));
}

}  // namespace tarvel
