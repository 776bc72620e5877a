#pragma once

#include <cstdint>

#include "geometry/vector3.h"
#include "sdk/lwsdk.h"

namespace tarvel {

/// A polygon's geometry. Exists only as the base part of a SelectedPoly.
///
/// A run places its records and their arrays in one RecordArena, which frees them all at the
/// end of the run: destroying a record frees nothing, and its arrays are never freed alone.
class PolyShape {
public:
    PolyShape() = default;
    PolyShape(const PolyShape&) = delete;
    PolyShape& operator=(const PolyShape&) = delete;
    virtual ~PolyShape();

    std::int32_t pointCount = 0;
    /// Array of pointCount positions, in the polygon's point order, held where the record is
    /// held. Model space after capture; flattening and box normalisation later rewrite entries
    /// in place.
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

    /// Array of pointCount host point identifiers, held where the record is held; entry i is
    /// the point at positions[i].
    LWPntID* pointIds = nullptr;
    /// Next polygon of the group's member chain. Not owning; null outside a group and at the
    /// chain's end.
    SelectedPoly* nextMember = nullptr;
};

}  // namespace tarvel
