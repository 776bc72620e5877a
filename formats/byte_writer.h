// Appending the values LWO2 stores, big-endian, to a byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sdk/lwsdk.h"

namespace tarvel::formats {

class ByteWriter {
public:
    void u2(std::uint16_t value);
    void u4(std::uint32_t value);
    void f4(float value);
    void id4(LWID value) { u4(value); }
    /// Two bytes below 0xFF00, else four with 0xFF first. `value` must be at most kMaxIndex.
    void vx(std::uint32_t value);
    /// The text, a terminating null, and a pad null when that makes the length odd.
    void s0(std::string_view text);
    void bytes(std::span<const std::byte> data);

    std::vector<std::byte>& buffer() { return buffer_; }
    std::vector<std::byte> take() { return std::move(buffer_); }

private:
    std::vector<std::byte> buffer_;
};

}  // namespace tarvel::formats
