#include "formats/byte_writer.h"

#include <cassert>
#include <cstring>

#include "formats/lwo_object.h"

namespace tarvel::formats {

void ByteWriter::u2(std::uint16_t value) {
    buffer_.push_back(static_cast<std::byte>(value >> 8));
    buffer_.push_back(static_cast<std::byte>(value & 0xFF));
}

void ByteWriter::u4(std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        buffer_.push_back(static_cast<std::byte>((value >> shift) & 0xFF));
    }
}

void ByteWriter::f4(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    u4(bits);
}

void ByteWriter::vx(std::uint32_t value) {
    assert(value <= kMaxIndex && "callers refuse indices the format cannot hold");
    if (value < kShortIndexLimit) {
        u2(static_cast<std::uint16_t>(value));
    } else {
        u4(value | std::uint32_t{kLongIndexMark} << kLongIndexMarkShift);
    }
}

void ByteWriter::s0(std::string_view text) {
    for (const char c : text) {
        buffer_.push_back(static_cast<std::byte>(c));
    }
    buffer_.push_back(std::byte{0});
    if ((text.size() + 1) % 2 != 0) {
        buffer_.push_back(std::byte{0});
    }
}

void ByteWriter::bytes(std::span<const std::byte> data) {
    buffer_.insert(buffer_.end(), data.begin(), data.end());
}

}  // namespace tarvel::formats
