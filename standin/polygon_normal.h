#pragma once

#include <cstdint>
#include <span>

#include "mesh/mesh.h"

namespace tarvel::standin {

/// The unit normal of the polygon through `positions[ids[0]]`, `positions[ids[1]]`, ... by
/// Newell's method, summed in point order from 0.0. Gives (0, 0, 0) and false for fewer than
/// three points or a sum of length 0.0; non-finite positions give whatever the arithmetic
/// gives, and true. Every identifier must index `positions`.
bool newellNormal(std::span<const std::int32_t> ids, std::span<const Point> positions,
                  Point& normal);

}  // namespace tarvel::standin
