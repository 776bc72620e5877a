#include <gtest/gtest.h>

#include <vector>

#include "grouping/polygons_by_point.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;
using testing::pointId;

SelectedPoly* quad(std::initializer_list<int> ids) {
    return makePoly(ids, {{}, {}, {}, {}});
}

/// The slot of the first remaining polygon of `table` holding both identifiers, or -1, asked
/// of the index as region growing asks it: by the points' numbers, read here off the corners
/// of the polygons in `original` that hold them.
std::int32_t findPolyWithEdge(PolygonsByPoint& holders, const std::vector<SelectedPoly*>& original,
                              LWPntID a, LWPntID b) {
    auto numberOf = [&](LWPntID id) -> std::int64_t {
        for (std::size_t s = 0; s < original.size(); ++s) {
            for (std::int32_t k = 0; k < original[s]->pointCount; ++k) {
                if (original[s]->pointIds[k] == id) {
                    return holders.corners(holders.localOf(static_cast<std::int32_t>(s)))[k];
                }
            }
        }
        return -1;
    };
    const std::int64_t pa = numberOf(a);
    const std::int64_t pb = numberOf(b);
    if (pa < 0 || pb < 0) {
        return -1;
    }
    const std::uint32_t found =
        holders.findHolder(static_cast<std::uint32_t>(pa), static_cast<std::uint32_t>(pb));
    return found == PolygonsByPoint::kNone ? -1 : holders.slot(found);
}

TEST(PolygonsByPointTest, findsTheFirstRemainingHolderOfAnEdge) {
    // The hub point 0 is held by every polygon; the edge's other end picks among them.
    std::vector<SelectedPoly*> table{quad({0, 1, 2, 3}), quad({0, 3, 4, 5}), quad({0, 5, 6, 1}),
                                     makePoly({1, 0}, {{}, {}})};
    const std::vector<SelectedPoly*> original = table;
    PolygonsByPoint holders(table.data(), 4);
    auto find = [&](int a, int b) {
        return findPolyWithEdge(holders, original, pointId(a), pointId(b));
    };
    EXPECT_EQ(find(1, 0), 0);
    EXPECT_EQ(find(5, 0), 1);
    EXPECT_EQ(find(2, 9), -1);
    EXPECT_EQ(find(3, 3), 0);
    holders.take(holders.localOf(0));
    EXPECT_EQ(find(1, 0), 2);
    EXPECT_EQ(find(3, 2), -1);
}

TEST(PolygonsByPointTest, numbersEveryPointOnceInFirstSeenOrder) {
    std::vector<SelectedPoly*> table{quad({7, 3, 9, 3}), makePoly({9, 4, 7}, {{}, {}, {}})};
    PolygonsByPoint holders(table.data(), 2);
    const std::uint32_t* first = holders.corners(holders.localOf(0));
    const std::uint32_t* second = holders.corners(holders.localOf(1));
    EXPECT_EQ((std::vector<std::uint32_t>(first, first + 4)),
              (std::vector<std::uint32_t>{0, 1, 2, 1}));
    EXPECT_EQ((std::vector<std::uint32_t>(second, second + 3)),
              (std::vector<std::uint32_t>{2, 3, 0}));
}

}  // namespace
}  // namespace tarvel
