// Bounded big-endian reading of the body of one IFF chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sdk/lwsdk.h"

namespace tarvel::formats {

/// Reads the values LWO2 stores (U2, U4, F4, ID4, VX, S0) from a chunk body, never past its
/// end. Every failure throws FormatError naming the file, the chunk and the byte offset in the
/// file where the value should have been.
class ByteReader {
public:
    /// `body` starts at byte `fileOffset` of the file `fileName`; `chunk` names it in messages.
    ByteReader(std::span<const std::byte> body, std::size_t fileOffset, LWID chunk,
               const std::string& fileName);

    std::size_t remaining() const { return body_.size() - position_; }
    bool atEnd() const { return position_ == body_.size(); }
    /// Offset in the file of the next byte to read.
    std::size_t fileOffset() const { return fileOffset_ + position_; }
    std::size_t position() const { return position_; }

    std::uint16_t u2();
    std::uint32_t u4();
    float f4();
    LWID id4() { return u4(); }
    /// A variable-length index: two bytes below 0xFF00, else four with 0xFF first.
    std::uint32_t vx();
    /// A null-terminated string padded to even length.
    std::string s0();
    void skip(std::size_t count);

    /// Throws FormatError: "<file>: <chunk> at byte <offset>: <what>", at the offset of the
    /// value being read (`atOffset`, or the next byte).
    [[noreturn]] void fail(const std::string& what) const;
    [[noreturn]] void failAt(std::size_t atOffset, const std::string& what) const;

private:
    void need(std::size_t count, const char* what) const;

    std::span<const std::byte> body_;
    std::size_t position_ = 0;
    std::size_t fileOffset_;
    LWID chunk_;
    const std::string& fileName_;
};

/// The text of a four-character code, with characters that are not printable shown as '?'.
std::string chunkName(LWID id);

}  // namespace tarvel::formats
