#include "host/pair_links.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "boundary/angular_order.h"
#include "boundary/boundary_extraction.h"
#include "boundary/box_projection.h"
#include "boundary/connection_output.h"
#include "boundary/flatten_into_frame.h"
#include "boundary/point_matching.h"
#include "grouping/grouped_polygons.h"
#include "grouping/poly_group.h"
#include "runtime/kept_large_blocks.h"
#include "runtime/prepare_ahead.h"
#include "runtime/selected_poly.h"
#include "runtime/stage_clock.h"
#include "runtime/worker_team.h"

namespace tarvel {

namespace {

/// How many small pairs the second thread prepares ahead of the links going out: enough that
/// it stays ahead through a slow stretch of the host's calls, few enough that their
/// boundaries take little memory.
constexpr std::size_t kPairsAhead = 256;

using PointList = std::unique_ptr<BoundaryPoint>;

/// The members of `group`, counted up to `most`.
std::size_t membersUpTo(const PolyGroup& group, std::size_t most) {
    std::size_t members = 0;
    for (const SelectedPoly* m = group.firstMember; m != nullptr && members < most;
         m = m->nextMember) {
        ++members;
    }
    return members;
}

/// Whether the pair of `group` and its partner is large enough for its two sides to go to two
/// threads: its polygons, counted only as far as smallestSharedStep().
bool sharedPair(const PolyGroup& group) {
    const std::size_t most = WorkerTeam::smallestSharedStep();
    const std::size_t size = membersUpTo(group, most);
    return size >= most || size + membersUpTo(*group.partner, most - size) >= most;
}

/// Sorts the list `list` owns, which owns it again afterwards, also when the sort throws.
void sortOwnedByAngle(PointList& list) {
    // The sort allocates before it relinks: until it returns, the old head still owns the
    // whole list.
    BoundaryPoint* sorted = sortByAngle(list.get());
    static_cast<void>(list.release());
    list.reset(sorted);
}

/// A pair's two boundaries, flattened into the pair's frame, projected and in angular order,
/// the longer one first: everything before the matching. With `shared`, the two sides go to
/// two threads of the team. Returns false when either group has no boundary.
bool boundariesOf(PolyGroup& group, const WorkerTeam& team, const GroupedPolygons& grouped,
                  bool shared, PointList& first, PointList& second) {
    PolyGroup& partner = *group.partner;
    // The two groups share no polygon, so each side's steps touch only its own records.
    const std::size_t polygons = shared ? WorkerTeam::smallestSharedStep() : 0;
    team.both(
        polygons, [&] { first.reset(extractBoundary(group, &grouped)); },
        [&] { second.reset(extractBoundary(partner, &grouped)); });
    if (first == nullptr || second == nullptr) {
        return false;
    }
    AlignFrame frame = group.buildAlignFrame();
    frame.computeAngles();
    // One frame for both, each about its own centre, so both loops lie around (0, 0).
    auto flatten = [&frame](PolyGroup& side, PointList& boundary) {
        flattenIntoFrame(side, boundary.get(), frame, side.centre);
        normaliseToBox(boundary.get());
        sortOwnedByAngle(boundary);
    };
    team.both(
        polygons, [&] { flatten(group, first); }, [&] { flatten(partner, second); });
    if (entryCount(first.get()) < entryCount(second.get())) {
        first.swap(second);
    }
    return true;
}

/// Links a pair large enough to share out, its two sides on two threads.
bool linkSharedPair(PolyGroup& group, const MeshEditOp& edit, const WorkerTeam& team,
                    const GroupedPolygons& grouped) {
    PointList first;
    PointList second;
    {
        const StageClock clock(Stage::boundaries);
        if (!boundariesOf(group, team, grouped, true, first, second)) {
            return false;
        }
    }
    const StageClock clock(Stage::matching);
    // The links are the host's to hold: pages kept for the run's own blocks go back first.
    giveBackKeptLargeBlocks();
    matchLoops(first.get(), second.get());
    std::vector<Connection> connections;
    listConnections(first.get(), second.get(), connections);
    addConnections(connections, edit);
    return true;
}

/// A small pair's links, ready to go out.
struct MatchedPair {
    /// Kept from pair to pair in its slot, so that it is allocated once for many pairs.
    std::vector<Connection> connections;
    bool linkable = false;
};

/// A clock for `stage` on the calling thread, and none on the second: only the calling thread's
/// time counts in a stage.
std::optional<StageClock> callersClock(bool caller, Stage stage) {
    if (caller) {
        return std::optional<StageClock>(std::in_place, stage);
    }
    return std::nullopt;
}

/// Links the small pairs `pairs[0 .. count)`: the team's second thread finds and matches the
/// boundaries of the pairs ahead while this one hands the host the links of the pair at hand.
/// The links cross from thread to thread as a few words each, and the boundaries never
/// leave the thread that made them. A wait for the second thread counts in no stage.
void linkSmallPairs(PolyGroup* const* pairs, std::size_t count, const MeshEditOp& edit,
                    const WorkerTeam& team, const GroupedPolygons& grouped,
                    std::vector<bool>& linked) {
    prepareAhead<MatchedPair>(
        team, count, kPairsAhead,
        [&](std::size_t i, MatchedPair& pair, bool caller) {
            pair.connections.clear();
            PointList first;
            PointList second;
            {
                [[maybe_unused]] const std::optional<StageClock> clock =
                    callersClock(caller, Stage::boundaries);
                pair.linkable = boundariesOf(*pairs[i], team, grouped, false, first, second);
            }
            if (pair.linkable) {
                [[maybe_unused]] const std::optional<StageClock> clock =
                    callersClock(caller, Stage::matching);
                matchLoops(first.get(), second.get());
                listConnections(first.get(), second.get(), pair.connections);
            }
        },
        [&](std::size_t, MatchedPair& pair) {
            const StageClock clock(Stage::matching);
            if (pair.linkable) {
                giveBackKeptLargeBlocks();
                addConnections(pair.connections, edit);
            }
            linked.push_back(pair.linkable);
        });
}

}  // namespace

void linkPairs(PolyGroup* list, const MeshEditOp& edit, const WorkerTeam& team,
               const GroupedPolygons& grouped, std::vector<bool>& linked) {
    std::vector<PolyGroup*> pairs;
    for (PolyGroup* g = list; g != nullptr; g = g->next) {
        if (g->partner != nullptr) {
            pairs.push_back(g);
        }
    }
    linked.reserve(pairs.size());
    // Small pairs come in stretches, each prepared ahead as a whole; a pair large enough to
    // share shares its own two sides.
    const auto shared = [&team](const PolyGroup& g) { return team.size() > 1 && sharedPair(g); };
    for (std::size_t k = 0; k < pairs.size();) {
        if (shared(*pairs[k])) {
            linked.push_back(linkSharedPair(*pairs[k], edit, team, grouped));
            ++k;
            continue;
        }
        std::size_t end = k + 1;
        while (end < pairs.size() && !shared(*pairs[end])) {
            ++end;
        }
        linkSmallPairs(pairs.data() + k, end - k, edit, team, grouped, linked);
        k = end;
    }
}

}  // namespace tarvel
