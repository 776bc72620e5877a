#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "boundary/nearest_by_angle.h"
#include "boundary/point_matching.h"
#include "tests/boundary_lists.h"

namespace tarvel {
namespace {

using testing::Angles;

const double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(MatchLoopsTest, everyFirstEntryLinksAndUnchosenSecondEntriesLinkBack) {
    Angles first({0.0, 0.1, 3.0, 3.1});
    Angles second({0.05, 1.5, 3.05}, 10);
    matchLoops(first.head, second.head);
    EXPECT_EQ(first.at(0)->match, second.at(0));
    EXPECT_EQ(first.at(1)->match, second.at(0));
    EXPECT_EQ(first.at(2)->match, second.at(2));
    EXPECT_EQ(first.at(3)->match, second.at(2));
    EXPECT_EQ(second.at(0)->match, nullptr);
    EXPECT_EQ(second.at(1)->match, first.at(1));  // 1.5 links back to 0.1
    EXPECT_EQ(second.at(2)->match, nullptr);
    EXPECT_EQ(second.at(1)->matched, 0);
    EXPECT_EQ(second.at(2)->matched, 1);

    Angles wrapFirst({0.8, 2.4, 3.9, 5.5});
    Angles wrapSecond({0.1, 2.0, 4.0}, 10);
    matchLoops(wrapFirst.head, wrapSecond.head);
    EXPECT_EQ(wrapFirst.at(3)->match, wrapSecond.at(0));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wrapSecond.at(i)->match, nullptr);
    }
}

/// A list with these angles, ids from 0.
struct AngleList {
    explicit AngleList(const std::vector<double>& angles) {
        BoundaryPoint** link = &head;
        for (double a : angles) {
            *link = new BoundaryPoint;
            (*link)->angle = a;
            entries.push_back(*link);
            link = &(*link)->next;
        }
    }
    ~AngleList() { delete head; }
    BoundaryPoint* head = nullptr;
    std::vector<BoundaryPoint*> entries;
};

TEST(MatchLoopsTest, searchByHalvesMatchesTheFullScan) {
    std::mt19937_64 random(13);
    const double top = 2.0 * PI;
    const std::vector<double> special{0.0, top, 1e-17, 2e-17, top - 1e-15, PI, 1.0, 1.0};
    for (int round = 0; round < 3000; ++round) {
        auto sortedAngles = [&](int n) {
            std::vector<double> a;
            for (int i = 0; i < n; ++i) {
                a.push_back(random() % 3 == 0
                                ? special[random() % special.size()]
                                : std::uniform_real_distribution<double>(0, top)(random));
            }
            std::sort(a.begin(), a.end());
            if (round % 10 == 0 && n > 1) {
                a[random() % a.size()] = kNan;  // a centre point somewhere in the list
            }
            return a;
        };
        const std::vector<double> firstAngles = sortedAngles(1 + static_cast<int>(random() % 12));
        const std::vector<double> secondAngles = sortedAngles(1 + static_cast<int>(random() % 12));
        AngleList first(firstAngles);
        AngleList second(secondAngles);
        matchLoops(first.head, second.head);

        std::vector<BoundaryPoint*> expectedFirst;
        std::vector<bool> chosen(secondAngles.size(), false);
        for (BoundaryPoint* r : first.entries) {
            BoundaryPoint* m = nearestByAngle(second.head, r->angle);
            expectedFirst.push_back(m);
            chosen[static_cast<std::size_t>(
                std::find(second.entries.begin(), second.entries.end(), m) -
                second.entries.begin())] = true;
        }
        for (std::size_t i = 0; i < first.entries.size(); ++i) {
            EXPECT_EQ(first.entries[i]->match, expectedFirst[i]) << "round " << round;
        }
        for (std::size_t i = 0; i < second.entries.size(); ++i) {
            BoundaryPoint* expected =
                chosen[i] ? nullptr : nearestByAngle(first.head, second.entries[i]->angle);
            EXPECT_EQ(second.entries[i]->match, expected) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tarvel
