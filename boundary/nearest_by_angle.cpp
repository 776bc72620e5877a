#include "boundary/nearest_by_angle.h"

#include <cmath>

namespace tarvel {

namespace {

/// Whether a candidate at distance d replaces the best so far: unless d is greater than or
/// equal, so a NaN on either side is taken.
bool isNearer(double d, double best) {
    return !(d >= best);
}

}  // namespace

BoundaryPoint* nearestByAngle(BoundaryPoint* first, double a) {
    const double fullTurn = 2.0 * PI;
    double best = fullTurn;
    BoundaryPoint* chosen = nullptr;
    BoundaryPoint* last = first;
    for (BoundaryPoint* r = first; r != nullptr; r = r->next) {
        const double d = std::fabs(a - r->angle);
        if (isNearer(d, best)) {
            best = d;
            chosen = r;
        }
        last = r;
    }
    const double pastEnd = std::fabs((fullTurn - last->angle) + a);
    if (isNearer(pastEnd, best)) {
        best = pastEnd;
        chosen = last;
    }
    const double beforeStart = std::fabs(a - (first->angle + fullTurn));
    if (isNearer(beforeStart, best)) {
        chosen = first;
    }
    // Angles from polarAngle lie within [0, 2 PI] or are NaN, and either way some candidate
    // wins; the fallback only keeps a list of out-of-range angles from yielding nothing.
    return chosen != nullptr ? chosen : first;
}

}  // namespace tarvel
