#include "formats/byte_reader.h"

#include <cstring>

#include "formats/format_error.h"
#include "formats/lwo_object.h"

namespace tarvel::formats {

ByteReader::ByteReader(std::span<const std::byte> body, std::size_t fileOffset, LWID chunk,
                       const std::string& fileName)
    : body_(body), fileOffset_(fileOffset), chunk_(chunk), fileName_(fileName) {}

void ByteReader::need(std::size_t count, const char* what) const {
    if (remaining() < count) {
        fail(std::string("ends inside ") + what);
    }
}

std::uint16_t ByteReader::u2() {
    need(2, "a two-byte value");
    const auto value =
        static_cast<std::uint16_t>((std::to_integer<unsigned>(body_[position_]) << 8) |
                                   std::to_integer<unsigned>(body_[position_ + 1]));
    position_ += 2;
    return value;
}

std::uint32_t ByteReader::u4() {
    need(4, "a four-byte value");
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value = (value << 8) | std::to_integer<std::uint32_t>(body_[position_ + i]);
    }
    position_ += 4;
    return value;
}

float ByteReader::f4() {
    const std::uint32_t bits = u4();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t ByteReader::vx() {
    need(2, "an index");
    if (std::to_integer<unsigned>(body_[position_]) != kLongIndexMark) {
        return u2();
    }
    need(4, "a four-byte index");
    return u4() & kMaxIndex;
}

std::string ByteReader::s0() {
    const std::byte* begin = body_.data() + position_;
    const void* end = std::memchr(begin, 0, remaining());
    if (end == nullptr) {
        fail("ends inside a string");
    }
    const auto length = static_cast<std::size_t>(static_cast<const std::byte*>(end) - begin);
    std::string text(reinterpret_cast<const char*>(begin), length);
    // The terminating null makes the length odd or even; an even total needs no pad byte.
    const std::size_t stored = length + 1 + ((length + 1) % 2);
    position_ += stored <= remaining() ? stored : remaining();
    return text;
}

void ByteReader::skip(std::size_t count) {
    need(count, "a value");
    position_ += count;
}

void ByteReader::fail(const std::string& what) const {
    failAt(fileOffset(), what);
}

void ByteReader::failAt(std::size_t atOffset, const std::string& what) const {
    throw FormatError(fileName_ + ": " + chunkName(chunk_) + " at byte " +
                      std::to_string(atOffset) + ": " + what);
}

std::string chunkName(LWID id) {
    std::string name(4, '?');
    for (int i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((id >> (24 - 8 * i)) & 0xFF);
        if (c >= 0x20 && c <= 0x7E) {
            name[static_cast<std::size_t>(i)] = c;
        }
    }
    return name;
}

}  // namespace tarvel::formats
