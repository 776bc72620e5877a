#pragma once

#include <cstdint>

#include "geometry/vector3.h"
#include "host/lwsdk.h"

namespace tarvel {

/// A polygon's geometry. Exists only as the base part of a SelectedPoly.
class PolyShape {
public:
    PolyShape() = default;
    PolyShape(const PolyShape&) = delete;
    PolyShape& operator=(const PolyShape&) = delete;
    virtual ~PolyShape();

    std::int32_t pointCount = 0;
    /// Owning array of pointCount positions, in the polygon's point order. Model space after
    /// capture; flattening and box normalisation later rewrite entries in place.
    Vector3* positions = nullptr;
    /// As the host's polyNormal reported it, not normalised.
    Vector3 normal;
    LWPolID polygonId = nullptr;
};

/// A captured polygon of the selection.
class SelectedPoly : public PolyShape {
public:
    SelectedPoly() = default;
    ~SelectedPoly() override;

    /// Owning array of pointCount host point identifiers; entry i is the point at positions[i].
    LWPntID* pointIds = nullptr;
    /// Next polygon of the owning group's member chain. Not owning; null outside a group and
    /// at the chain's end. Destroying this polygon leaves it alone.
    SelectedPoly* nextMember = nullptr;
};

}  // namespace tarvel
