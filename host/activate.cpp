#include "host/activate.h"

#include <atomic>
#include <cassert>
#include <new>
#include <optional>
#include <vector>

#include "grouping/grouped_polygons.h"
#include "grouping/pairing.h"
#include "grouping/poly_group.h"
#include "grouping/polygon_ordering.h"
#include "grouping/region_growing.h"
#include "host/pair_links.h"
#include "host/polygon_capture.h"
#include "host/run_state.h"
#include "runtime/kept_large_blocks.h"
#include "runtime/record_arena.h"
#include "runtime/repeated_blocks.h"
#include "runtime/selected_poly.h"
#include "runtime/stage_clock.h"
#include "runtime/worker_team.h"

namespace tarvel {

void showError(const char* text, const char* text2) {
    if (messageFuncs != nullptr && messageFuncs->error != nullptr) {
        messageFuncs->error(text, text2);
    }
}

namespace {

constexpr int kSelectDirect = 2;   // edit the directly selected elements
constexpr int kLayerPrimary = 0;   // the primary foreground layer
constexpr int kCountSelected = 1;  // polyCount mode: selected polygons only
constexpr EDError kErrorNone = 0;
constexpr EDError kErrorNoMemory = 1;
constexpr int kSelectionUnchanged = 0;
constexpr int kSelectionCompleted = 9;

/// How a run that got past the selection check ends.
enum class Outcome { completed, tooFewGroups, notFacing };

/// Frees the group list with everything it owns, and the table. The polygons themselves, in
/// groups or still in the table, go with the run's arena.
void release() {
    delete groupList;
    groupList = nullptr;
    freePolyTable();
}

void removeMembers(const PolyGroup& group, const MeshEditOp& edit) {
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        edit.remPoly(edit.state, m->polygonId);
    }
}

/// Everything between the scan and the closing of the edit. Throws std::bad_alloc when memory
/// runs out; the caller releases what is left.
Outcome runStages(MeshEditOp& edit, RecordArena& records, std::int32_t selected,
                  EDError& scanResult, std::int32_t& captured) {
    {
        const StageClock clock(Stage::capture);
        // The capture allocates the table as polygons come. Slots beyond those it fills are
        // never read, so they need no clearing.
        assert(polyTable == nullptr && groupList == nullptr);  // released by the last run
        polyTable = nullptr;
        unassignedCount = 0;
        CaptureContext capture{&edit, &records, selected, 0, false};
        // A second thread takes in fresh pages for the records from the system ahead of the
        // scan, so that clearing them is off the thread that the host's scan runs on.
        const WorkerTeam team(static_cast<std::size_t>(selected));
        team.alongside(
            [&] {
                scanResult = edit.polyScan(edit.state, capturePolygon, &capture, kLayerPrimary);
            },
            [&records](const std::atomic<bool>& done) { records.makeResidentAhead(done); });
        captured = unassignedCount;
        if (capture.outOfMemory) {
            throw std::bad_alloc();
        }
    }
    {
        const StageClock clock(Stage::ordering);
        orderPolygons(polyTable, captured);
    }
    // What the growth knows of the groups, kept for the boundaries until the pairs are linked.
    GroupedPolygons grouped;
    {
        const StageClock clock(Stage::grouping);
        grouped = formGroups(groupList, polyTable, captured, unassignedCount);
        if (listLength(groupList) < 2) {
            return Outcome::tooFewGroups;
        }
    }
    const WorkerTeam team(static_cast<std::size_t>(captured));
    {
        const StageClock clock(Stage::pairing);
        measureGroups(groupList, team);
        pairGroups(groupList);
        groupList = keepPaired(groupList);
        if (listLength(groupList) == 0) {
            return Outcome::notFacing;
        }
    }

    // Every pair is linked before any polygon goes.
    std::vector<bool> linked;
    linkPairs(groupList, edit, team, grouped, linked);
    const StageClock clock(Stage::removal);
    auto wasLinked = linked.begin();
    for (const PolyGroup* g = groupList; g != nullptr; g = g->next) {
        if (g->partner != nullptr && *wasLinked++) {
            removeMembers(*g, edit);
            removeMembers(*g->partner, edit);
        }
    }
    return Outcome::completed;
}

/// How the edit is closed: with what error, and which selection it leaves.
struct Closing {
    EDError error = kErrorNone;
    int selection = kSelectionUnchanged;
};

/// Runs the stages over the `selected` polygons with the run's threads, shows what stopped
/// the run early, and says how to close the edit. Running out of memory (nothing else throws
/// here) abandons the edit as a whole.
Closing runGuarded(MeshEditOp& edit, RecordArena& records, std::int32_t selected) {
    EDError scanResult = 0;
    std::int32_t captured = 0;
    try {
        // The run's threads, made once and ended before the edit closes; every step of the run
        // hands them its work.
        const RunThreads threads(static_cast<std::size_t>(selected));
        switch (runStages(edit, records, selected, scanResult, captured)) {
            case Outcome::completed:
                return {scanResult, kSelectionCompleted};
            case Outcome::tooFewGroups:
                showError(kMessageTooFewGroups, nullptr);
                break;
            case Outcome::notFacing:
                showError(kMessageNotFacing, kMessageNotFacingDetail);
                break;
        }
        return {scanResult, kSelectionUnchanged};
    } catch (...) {
        return {kErrorNoMemory, kSelectionUnchanged};
    }
}

}  // namespace

extern "C" int TARVEL_HOSTCALL activate(int /*version*/, GlobalFunc* global, void* local,
                                        void* /*serverData*/) {
    const StageClock whole(Stage::whole);
    auto* beginEdit = reinterpret_cast<MeshEditBegin*>(local);
    MeshEditOp* edit = beginEdit != nullptr ? beginEdit(0, 0, kSelectDirect) : nullptr;
    if (edit == nullptr) {
        return kActivateNoEdit;
    }
    messageFuncs = nullptr;
    if (global != nullptr) {
        messageFuncs = static_cast<LWMessageFuncs*>(global("Info Messages 2", 0));
        // The file service is asked for and not used: the host sees the request, so it stays,
        // and every recorded run shows it.
        global("File IO", 0);
    }

    const std::int32_t selected = edit->polyCount(edit->state, kLayerPrimary, kCountSelected);
    if (selected < 2) {
        showError(kMessageTooFewPolygons, nullptr);
        messageFuncs = nullptr;
        edit->done(edit->state, kErrorNone, kSelectionUnchanged);
        return kActivateDone;
    }

    // The run's large blocks, once given back, make the ones it takes later, and go back to
    // the system with the records.
    std::optional<LargeBlockReuse> reuse(std::in_place);
    // Every record of the run, freed with the groups and the table before the edit closes.
    // Making the arena allocates nothing.
    std::optional<RecordArena> records(std::in_place);
    // The groups too, which release() destroys before the arena goes.
    std::optional<RunArena> groupsInRecords(std::in_place, *records);
    // The blocks of the arrays made again for every pair, kept from pair to pair.
    std::optional<RepeatedBlockReuse> repeated(std::in_place);
    const Closing closing = runGuarded(*edit, *records, selected);
    {
        const StageClock clock(Stage::removal);
        release();
        repeated.reset();
        groupsInRecords.reset();
        records.reset();
        reuse.reset();
    }
    unassignedCount = 0;
    messageFuncs = nullptr;
    edit->done(edit->state, closing.error, closing.selection);
    return kActivateDone;
}

}  // namespace tarvel
