// The short reports of a run: tarvel-host's when it writes no trace, and tarvel run's line.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include <utility>
#include <vector>

#include "standin/stand_in_host.h"

namespace tarvelhost {

/// Writes the messages the plug-in showed, as the modeller's message boxes show them, the
/// polygons added (counted by their "COLR" tag), the polygons removed, and the result.
/// `scenePolygons` is the number of polygons the scene had: polygons past it were added.
void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out);

/// Writes the messages the plug-in showed, one box per message, as the modeller shows them:
/// "Error: " and the first line, the second line indented below it.
void writeMessages(const standin::Trace& trace, std::ostream& out);

/// What a run did, counted from the host's side of it.
struct RunCounts {
    /// Pairs the tool linked: every pair gets exactly one "Red" link.
    std::size_t pairs = 0;
    /// Links added, by "COLR" tag: Red, DkRed and Blue first, in that order, then any other
    /// tag (or "untagged") in the order first added.
    std::vector<std::pair<std::string, std::size_t>> links;
    std::size_t linksAdded = 0;
    std::size_t polygonsRemoved = 0;
};

/// Counts what the run whose trace is `trace` did to a mesh of `scenePolygons` polygons.
RunCounts countRun(const standin::Trace& trace, std::size_t scenePolygons);

/// One line: "NAME: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons removed,
/// 0.004 s".
std::string runSummaryLine(const std::string& name, const RunCounts& counts, double seconds);

}  // namespace tarvelhost
