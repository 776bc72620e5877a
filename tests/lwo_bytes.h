// Hand-assembled LightWave object bytes for the format tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tarvel::lwobytes {

using Bytes = std::vector<std::byte>;

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes u2(std::uint16_t v) {
    return {std::byte(v >> 8), std::byte(v & 0xFF)};
}
inline Bytes u4(std::uint32_t v) {
    return {std::byte(v >> 24), std::byte((v >> 16) & 0xFF), std::byte((v >> 8) & 0xFF),
            std::byte(v & 0xFF)};
}
inline Bytes f4(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u4(bits);
}
inline Bytes id(std::string_view text) {
    Bytes out;
    for (const char c : text.substr(0, 4)) {
        out.push_back(std::byte(c));
    }
    return out;
}
/// A string with its null, padded to even length.
inline Bytes s0(std::string_view text) {
    Bytes out = id("");
    for (const char c : text) {
        out.push_back(std::byte(c));
    }
    out.push_back(std::byte{0});
    if (out.size() % 2 != 0) {
        out.push_back(std::byte{0});
    }
    return out;
}
/// An index in the two-byte form, or the four-byte form when `wide` or too large for two.
inline Bytes vx(std::uint32_t v, bool wide = false) {
    return v < 0xFF00 && !wide ? u2(static_cast<std::uint16_t>(v)) : u4(v | 0xFF000000u);
}
inline Bytes points(std::initializer_list<float> coordinates) {
    Bytes out;
    for (const float c : coordinates) {
        out = out + f4(c);
    }
    return out;
}
inline Bytes chunk(std::string_view name, const Bytes& body) {
    Bytes out = id(name) + u4(static_cast<std::uint32_t>(body.size())) + body;
    if (body.size() % 2 != 0) {
        out.push_back(std::byte{0});
    }
    return out;
}
/// A FORM of type `type` ("LWO2", "LWO3", "SURF", ...) holding `chunks`.
inline Bytes formOf(std::string_view type, std::initializer_list<Bytes> chunks) {
    Bytes body = id(type);
    for (const Bytes& c : chunks) {
        body = body + c;
    }
    return id("FORM") + u4(static_cast<std::uint32_t>(body.size())) + body;
}
inline Bytes form(std::initializer_list<Bytes> chunks) {
    return formOf("LWO2", chunks);
}
/// LAYR number flags pivot name (no parent).
inline Bytes layer(std::uint16_t number, std::string_view name = "") {
    return chunk("LAYR", u2(number) + u2(0) + points({0, 0, 0}) + s0(name));
}

}  // namespace tarvel::lwobytes
