#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "grouping/polygons_by_point.h"
#include "runtime/worker_team.h"
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
    return found == kNone ? -1 : holders.slot(found);
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

/// A polygon holding the given host identifiers, in the tests' arena.
SelectedPoly* polyOf(const std::vector<LWPntID>& ids) {
    auto* poly = testing::testRecords().create<SelectedPoly>();
    poly->pointCount = static_cast<std::int32_t>(ids.size());
    poly->pointIds = testing::testRecords().array<LWPntID>(ids.size());
    std::copy(ids.begin(), ids.end(), poly->pointIds);
    return poly;
}

/// The first remaining slot whose polygon holds both identifiers, by reading every slot.
std::int32_t scanForHolder(const std::vector<SelectedPoly*>& table, const std::vector<bool>& taken,
                           LWPntID a, LWPntID b) {
    for (std::size_t s = 0; s < table.size(); ++s) {
        const SelectedPoly& poly = *table[s];
        const LWPntID* begin = poly.pointIds;
        const LWPntID* end = begin + poly.pointCount;
        if (!taken[s] && std::find(begin, end, a) != end && std::find(begin, end, b) != end) {
            return static_cast<std::int32_t>(s);
        }
    }
    return -1;
}

TEST(PolygonsByPointTest, findsWhatAScanOfTheTableFindsWhilePolygonsAreTaken) {
    // Random polygons over few points, so that points and edges are shared by many (hubs
    // held by most polygons, an edge held by dozens of two-point polygons), polygons hold a
    // point more than once, and records lie in memory in another order than the slots.
    // Identifiers are either close together or spread over the whole address range, within
    // and across 32-bit halves.
    // Shared out even for these few polygons, so that the edges' other holders are found
    // ahead as in a large run.
    setenv("TARVEL_THREADS", "2", 1);
    const std::size_t shared = WorkerTeam::smallestShared();
    WorkerTeam::setSmallestShared(1);
    std::mt19937 random(17);
    auto pick = [&](std::uint32_t n) { return static_cast<std::uint32_t>(random() % n); };
    for (int scene = 0; scene < 60; ++scene) {
        const std::uint32_t pointCount = 4 + pick(40);
        std::vector<LWPntID> ids(pointCount);
        for (std::uint32_t i = 0; i < pointCount; ++i) {
            std::uintptr_t spread = scene % 2 == 0 ? i + 1 : (random() | 1u);
            if (sizeof(std::uintptr_t) == 8 && scene % 4 == 3) {
                // Across the high halves too, where the numbering reads the records again.
                spread ^= static_cast<std::uintptr_t>(static_cast<std::uint64_t>(random()) << 31);
            }
            ids[i] = reinterpret_cast<LWPntID>(spread);
        }
        std::vector<SelectedPoly*> table;
        const std::uint32_t polygons = 1 + pick(scene % 3 == 0 ? 400 : 60);
        for (std::uint32_t k = 0; k < polygons; ++k) {
            std::vector<LWPntID> corners;
            if (pick(4) == 0) {
                corners = {ids[0], ids[1]};  // the shared edge
            } else {
                const std::uint32_t size = pick(7);
                for (std::uint32_t c = 0; c < size; ++c) {
                    corners.push_back(ids[pick(3) == 0 ? pick(2) + 2 : pick(pointCount)]);
                }
            }
            table.push_back(polyOf(corners));
        }
        std::shuffle(table.begin(), table.end(), random);
        std::vector<SelectedPoly*> slots = table;
        PolygonsByPoint holders(slots.data(), static_cast<std::int32_t>(slots.size()));
        ASSERT_LE(holders.pointCount(), pointCount);

        // A point's number, read off a corner that holds it.
        std::vector<std::int64_t> numberOf(pointCount, -1);
        for (std::size_t s = 0; s < table.size(); ++s) {
            const std::uint32_t local = holders.localOf(static_cast<std::int32_t>(s));
            ASSERT_EQ(holders.record(local), table[s]);
            ASSERT_EQ(holders.slot(local), static_cast<std::int32_t>(s));
            ASSERT_EQ(holders.cornerCount(local), table[s]->pointCount);
            for (std::int32_t c = 0; c < table[s]->pointCount; ++c) {
                const auto i = static_cast<std::size_t>(
                    std::find(ids.begin(), ids.end(), table[s]->pointIds[c]) - ids.begin());
                ASSERT_TRUE(numberOf[i] < 0 || numberOf[i] == holders.corners(local)[c]);
                numberOf[i] = holders.corners(local)[c];
            }
        }

        std::vector<bool> taken(table.size(), false);
        for (std::size_t left = table.size(); left > 0;) {
            for (int ask = 0; ask < 8; ++ask) {
                const std::uint32_t a = pick(4) == 0 ? 0 : pick(pointCount);
                const std::uint32_t b = pick(4) == 0 ? pick(4) : pick(pointCount);
                if (numberOf[a] < 0 || numberOf[b] < 0) {
                    continue;
                }
                const std::uint32_t found =
                    holders.findHolder(static_cast<std::uint32_t>(numberOf[a]),
                                       static_cast<std::uint32_t>(numberOf[b]));
                ASSERT_EQ(found == kNone ? -1 : holders.slot(found),
                          scanForHolder(table, taken, ids[a], ids[b]))
                    << "scene " << scene << ", points " << a << ' ' << b;
            }
            // Growth's look-up along the edges of a taken polygon.
            for (std::size_t s = 0; s < table.size(); ++s) {
                const SelectedPoly& poly = *table[s];
                if (!taken[s] || pick(4) != 0) {
                    continue;
                }
                const std::uint32_t local = holders.localOf(static_cast<std::int32_t>(s));
                for (std::int32_t k = 0; k < poly.pointCount; ++k) {
                    const LWPntID from = poly.pointIds[k == 0 ? poly.pointCount - 1 : k - 1];
                    const std::uint32_t found = holders.holderAcross(local, k);
                    ASSERT_EQ(found == kNone ? -1 : holders.slot(found),
                              scanForHolder(table, taken, from, poly.pointIds[k]))
                        << "scene " << scene << ", slot " << s << ", edge " << k;
                }
            }
            // Take a few, often the one a look-up would give next.
            for (int t = 0; t < 3 && left > 0; ++t) {
                std::size_t s = pick(static_cast<std::uint32_t>(table.size()));
                while (taken[s]) {
                    s = (s + 1) % table.size();
                }
                taken[s] = true;
                holders.take(holders.localOf(static_cast<std::int32_t>(s)));
                --left;
            }
        }
    }
    WorkerTeam::setSmallestShared(shared);
    unsetenv("TARVEL_THREADS");
}

TEST(PolygonsByPointTest, numbersPointsInFirstSeenOrderWhereTheRecordsAreReadInRanges) {
    // Enough polygons that their corners are read in several ranges, each of which sees only
    // some of the identifiers. What the ranges saw must add up to what one reading would see:
    // the lowest and highest identifiers, and the low bits they all share, where a later range
    // differs from the first only in bits that its own identifiers agree on.
    setenv("TARVEL_THREADS", "2", 1);
    constexpr std::uint32_t kPolygons = 3 * 32768 + 100;
    constexpr std::uintptr_t kBase = 0x10000;
    struct Halves {
        std::uintptr_t first, second;  // the identifiers' offsets in the first range and after
    };
    std::vector<Halves> scenes{{0, 8}, {16 * 1000, 0}};
    if (sizeof(std::uintptr_t) == 8) {
        // Spread over more than 32 bits: the other way of numbering.
        scenes.push_back({0, static_cast<std::uintptr_t>(std::uint64_t{1} << 40)});
    }
    for (const Halves& halves : scenes) {
        std::vector<SelectedPoly*> table;
        for (std::uint32_t k = 0; k < kPolygons; ++k) {
            table.push_back(polyOf(std::vector<LWPntID>(4)));
        }
        // The corners are read in the order the records lie in memory, in ranges of 32,768
        // polygons: the first range holds the first offset's identifiers alone.
        std::vector<SelectedPoly*> inMemory = table;
        std::sort(inMemory.begin(), inMemory.end(), [](SelectedPoly* a, SelectedPoly* b) {
            return reinterpret_cast<std::uintptr_t>(a) < reinterpret_cast<std::uintptr_t>(b);
        });
        for (std::uint32_t k = 0; k < kPolygons; ++k) {
            const std::uintptr_t offset = k < 32768 ? halves.first : halves.second;
            for (std::uint32_t c = 0; c < 4; ++c) {
                inMemory[k]->pointIds[c] =
                    reinterpret_cast<LWPntID>(kBase + offset + 16 * ((k + c) % 97));
            }
        }
        std::vector<SelectedPoly*> slots = table;
        PolygonsByPoint holders(slots.data(), static_cast<std::int32_t>(slots.size()));

        // The expected numbers: every identifier in first-seen order, in memory order.
        std::vector<std::pair<LWPntID, std::uint32_t>> numbers;
        auto numberOf = [&](LWPntID id) {
            for (const auto& [known, number] : numbers) {
                if (known == id) {
                    return number;
                }
            }
            numbers.emplace_back(id, static_cast<std::uint32_t>(numbers.size()));
            return numbers.back().second;
        };
        for (std::uint32_t local = 0; local < kPolygons; ++local) {
            ASSERT_EQ(holders.record(local), inMemory[local]);
            for (std::int32_t c = 0; c < 4; ++c) {
                ASSERT_EQ(holders.corners(local)[c], numberOf(inMemory[local]->pointIds[c]))
                    << "offsets " << halves.first << ", " << halves.second << ": polygon " << local
                    << ", corner " << c;
            }
        }
        EXPECT_EQ(holders.pointCount(), numbers.size());
    }
    unsetenv("TARVEL_THREADS");
}

}  // namespace
}  // namespace tarvel
