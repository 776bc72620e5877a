// Turning a fuzzer's bytes into a scene for the stand-in host, directly rather than through
// JSON, so that every input is a scene and the fuzzer's mutations reach the module's stages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "standin/scene.h"

namespace tarvel::fuzzing {

struct SceneLimits {
    std::size_t maxPoints = 4096;
    std::size_t maxPolygons = 4096;
};

/// The scene the bytes describe. Every input gives a valid scene (each polygon names existing
/// points); the same bytes give the same scene. The bytes are read as a list of operations,
/// each one byte followed by its arguments, until they run out:
/// - a point, its three coordinates each from one byte: mostly small lattice values, so that
///   points, edges and normals coincide, or a special value (NaN, infinities, -0.0, huge,
///   tiny, subnormal), or the next eight bytes as a raw double;
/// - a polygon of 0 to 63 points (identifiers may repeat), any type, flags and normal;
/// - a copy of an earlier polygon, as it is, reversed or rotated, perhaps retyped;
/// - a grid of quads over new points in one of the three axis planes, facing either way;
/// - the host's answers: edit, messages, addFace, and a polyCount of any value.
standin::Scene decodeScene(std::span<const std::uint8_t> bytes, const SceneLimits& limits = {});

}  // namespace tarvel::fuzzing
