#include "boundary/point_matching.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "boundary/nearest_by_angle.h"

namespace tarvel {

namespace {

/// A sorted list laid out as an array, for searching by halves.
struct SortedAngles {
    explicit SortedAngles(BoundaryPoint* first) {
        const auto size = static_cast<std::size_t>(entryCount(first));
        entries.reserve(size);
        angles.reserve(size);
        for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
            entries.push_back(e);
            angles.push_back(e->angle);
            hasNan = hasNan || std::isnan(e->angle);
        }
    }
    std::vector<BoundaryPoint*> entries;
    std::vector<double> angles;
    bool hasNan = false;
};

/// nearestByAngle for a list without NaN angles and a query that is not NaN. The direct
/// distance |a - r| falls (not strictly) over the angles up to a and rises after them, so the
/// first entry at the smallest distance is the first of the run of equal distances ending at
/// the last angle <= a, or else the first angle > a.
BoundaryPoint* nearestInSorted(const SortedAngles& list, double a) {
    const double fullTurn = 2.0 * PI;
    const std::vector<double>& r = list.angles;
    const std::size_t n = r.size();
    assert(n > 0);
    const std::size_t above =
        static_cast<std::size_t>(std::upper_bound(r.begin(), r.end(), a) - r.begin());
    double best = fullTurn;
    BoundaryPoint* chosen = nullptr;
    const double below = above > 0 ? std::fabs(a - r[above - 1]) : fullTurn;
    const double after = above < n ? std::fabs(a - r[above]) : fullTurn;
    const double nearest = std::min(below, after);
    if (nearest < fullTurn) {
        best = nearest;
        if (above > 0 && below == nearest) {
            const auto firstEqual = std::partition_point(
                r.begin(), r.begin() + static_cast<std::ptrdiff_t>(above),
                [a, nearest](double angle) { return std::fabs(a - angle) > nearest; });
            chosen = list.entries[static_cast<std::size_t>(firstEqual - r.begin())];
        } else {
            chosen = list.entries[above];
        }
    }
    const double pastEnd = std::fabs((fullTurn - r[n - 1]) + a);
    if (pastEnd < best) {
        best = pastEnd;
        chosen = list.entries[n - 1];
    }
    const double beforeStart = std::fabs(a - (r[0] + fullTurn));
    if (beforeStart < best) {
        chosen = list.entries[0];
    }
    return chosen != nullptr ? chosen : list.entries[0];
}

BoundaryPoint* nearest(const SortedAngles& list, double a) {
    if (list.hasNan || std::isnan(a)) {
        return nearestByAngle(list.entries.front(), a);
    }
    return nearestInSorted(list, a);
}

}  // namespace

void matchLoops(BoundaryPoint* firstList, BoundaryPoint* secondList) {
    const SortedAngles first(firstList);
    const SortedAngles second(secondList);
    assert(!first.entries.empty() && !second.entries.empty());
    for (BoundaryPoint* r : first.entries) {
        r->match = nearest(second, r->angle);
        r->match->matched = 1;
    }
    for (BoundaryPoint* s : second.entries) {
        if (s->matched == 0) {
            s->match = nearest(first, s->angle);
        }
    }
}

}  // namespace tarvel
