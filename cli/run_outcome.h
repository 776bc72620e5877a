// What a run's end means when the counts alone do not say it: an edit the tool abandoned, and
// a run that changed nothing without a word from the tool.
#pragma once

#include <cstddef>
#include <string>

#include "cli/run_summary.h"
#include "standin/stand_in_host.h"

namespace tarvel::cli {

/// The error the modeller's edit closes with when the tool ran out of memory.
inline constexpr int kEditErrorNoMemory = 1;

/// Throws standin::InputError ("NAME: the tool ran out of memory; nothing written") when the
/// tool closed its edit with an error, which undoes the edit: nothing of the run is kept.
void refuseAbandonedEdit(const standin::Trace& trace, const std::string& name);

/// For a run that changed nothing and showed no message, what the tool was seen to find, in
/// one plain sentence; empty for any other run. `selected` is the number of polygons selected.
std::string silentStopReason(const standin::Trace& trace, const RunCounts& counts,
                             std::size_t selected);

}  // namespace tarvel::cli
