#include "cli/run_outcome.h"

#include "mesh/input_error.h"

namespace tarvel::cli {

namespace {

/// The selection mode the tool closes a completed edit with.
constexpr int kSelectionCompleted = 9;

}  // namespace

void refuseAbandonedEdit(const standin::Trace& trace, const std::string& name) {
    const int error = trace.calls.doneError().value_or(0);
    if (error == 0) {
        return;
    }
    if (error == kEditErrorNoMemory) {
        throw standin::InputError(name + ": the tool ran out of memory; nothing written");
    }
    throw standin::InputError(name + ": the tool abandoned its edit (error " +
                              std::to_string(error) + "); nothing written");
}

std::string silentStopReason(const standin::Trace& trace, const RunCounts& counts,
                             std::size_t selected) {
    if (counts.linksAdded > 0 || counts.polygonsRemoved > 0 || !trace.calls.messages().empty()) {
        return {};
    }
    const std::string polygons =
        std::to_string(selected) + (selected == 1 ? " selected polygon" : " selected polygons");
    if (trace.calls.doneSelectionMode() == kSelectionCompleted) {
        return "the tool found groups facing each other among the " + polygons +
               " and paired them, but no pair had a boundary to link (each pair has a group "
               "whose edges are all shared, such as a polygon lying on a copy of itself), so "
               "nothing was linked or removed";
    }
    if (!trace.calls.doneSelectionMode()) {
        return "the tool got no edit from the host and changed nothing";
    }
    return "the tool stopped without a message and changed nothing (" + polygons + ")";
}

}  // namespace tarvel::cli
