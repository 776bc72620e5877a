// The short reports of a run: tarvel-host's when it writes no trace, and tarvel run's line.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include <utility>
#include <vector>

#include "standin/stand_in_host.h"

namespace tarvel::cli {

/// Writes the polygons added (counted by their "COLR" tag), the polygons removed, and the result.
/// `scenePolygons` is the number of polygons the scene had: polygons past it were added.
void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out);

/// The title of a message box of `kind`, as the modeller shows it: "Info", "Warning" or "Error".
const char* messageBoxTitle(standin::CallOp kind);

/// Writes the messages the plug-in showed, one box per message, as the modeller shows them:
/// "Error: " and the first line, the second line indented below it; each line after `prefix`.
void writeMessages(const standin::Trace& trace, std::ostream& out,
                   const std::string& prefix = std::string());

/// What a run did, counted from the host's side of it.
struct RunCounts {
    /// Pairs the tool linked: every pair gets exactly one "Red" link.
    std::size_t pairs = 0;
    /// Links added, by "COLR" tag: Red, DkRed and Blue first, in that order, then any other
    /// tag (or "untagged") in the order first added.
    std::vector<std::pair<std::string, std::size_t>> links{{"Red", 0}, {"DkRed", 0}, {"Blue", 0}};
    std::size_t linksAdded = 0;
    std::size_t polygonsRemoved = 0;
};

/// Counts what the run whose trace is `trace` did to a mesh of `scenePolygons` polygons.
RunCounts countRun(const standin::Trace& trace, std::size_t scenePolygons);

/// The messages the plug-in showed, each as its text (a second line after a newline).
std::vector<std::string> messageTexts(const standin::Trace& trace);

/// One line: "NAME: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons removed,
/// 0.004 s".
std::string runSummaryLine(const std::string& name, const RunCounts& counts, double seconds);

/// What `tarvel run` did with one input file.
struct FileReport {
    std::string input;
    /// How the progress line names the file: its name, after "[2/5] " with several inputs.
    std::string label;
    /// Where the result went; empty when nothing was written.
    std::string output;
    /// "lwo" or "obj"; empty when the file could not be read.
    std::string format;
    std::size_t selectedPolygons = 0;
    RunCounts counts;
    std::vector<std::string> messages;
    double seconds = 0.0;
    int exitCode = 0;
    /// Why the file failed, without the program's name; empty when it did not.
    std::string error;
    /// What the tool found when it changed nothing without a message (silentStopReason).
    std::string stopReason;
    bool dryRun = false;
};

/// One JSON object on one line: input, output (null when nothing was written), format,
/// selected_polygons, pairs_linked, links (by tag), links_added, polygons_removed, messages,
/// seconds, exit_code, dry_run, stop_reason when the tool changed nothing without a message,
/// and error when the file failed.
std::string fileReportJson(const FileReport& report);

/// The closing line of a call on several files: "total: 3 files (2 completed, 1 stopped, 0
/// failed), 2 pairs linked, 32 links, 50 polygons removed, 0.012 s".
std::string totalLine(const std::vector<FileReport>& reports, double seconds);

/// The same as one JSON object with "total": true and the worst exit code.
std::string totalJson(const std::vector<FileReport>& reports, double seconds, int exitCode);

}  // namespace tarvel::cli
