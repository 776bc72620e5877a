// What the report page draws of a run, as the JSON document the page reads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cli/run_summary.h"
#include "cli/svg_picture.h"
#include "mesh/mesh.h"
#include "standin/call_log.h"

namespace tarvel::cli::report {

/// Up to this many unselected polygons the page draws them all as the run's context; above
/// it, the outline of the unselected part (its boundary edges, at most kContextEdgeLimit of
/// them) and an even sample of kContextSampleSize of its polygons, and says so.
inline constexpr std::size_t kContextPolygonLimit = 100'000;
inline constexpr std::size_t kContextSampleSize = 50'000;
inline constexpr std::size_t kContextEdgeLimit = 200'000;

/// The version of the page's data ("format"). The page's script is written into each page with
/// its data, so an old page keeps opening; the number tells tools reading the data which
/// fields to expect. 1: no "format" field; 2: the removed polygons by patch ("removedOutline",
/// "patchPolygons", "patchOutlines", "pairPatches").
inline constexpr unsigned kReportFormat = 2;

/// One run as the summary line and the picture see it. Borrowed: the meshes must outlive it.
struct ReportRun {
    /// The input file's name, as shown.
    std::string file;
    /// The summary line the run printed, and its counts.
    std::string summary;
    /// What the tool found when it changed nothing without a message; empty otherwise.
    std::string stopReason;
    RunCounts counts;
    /// The messages the tool showed, in order.
    std::vector<standin::ShownMessage> messages;
    /// The mesh given to the tool (with its selection) and the mesh after the run: polygons
    /// from before.polygons.size() on are the links the run added.
    const standin::Mesh& before;
    const standin::Mesh& after;
};

/// The page's data as one JSON object, safe to place inside a <script> element (no '<').
/// Geometry is in base64: points as little-endian 32-bit floats (x, y, z), renumbered to
/// those drawn, in the order first drawn, points at the same place stored once; polygon lists as
/// unsigned LEB128 numbers, each polygon its point count and then its points, each point as the
/// zigzag-coded difference from the point before it; edge lists the same without the counts.
/// "stopReason": what the tool found when it stopped without a message, or "".
/// "removed": polygons the run removed, patch by patch (patches of polygons joined through
/// shared edges): "patchPolygons" gives each patch's number of polygons, "removedOutline" each
/// patch's boundary edges in the same order, "patchOutlines" their number per patch, and
/// "pairPatches" for each pair (the links from a Red link up to the next) the patches its links
/// reach; "kept": selected polygons that stayed; "context": the
/// unselected ones drawn (all, or a sample), "contextEdges": the outline drawn when they are
/// reduced, "contextNote" saying so; "links": two points per link, "linkTags" one byte per link
/// indexing "tags"; "view": the picture's view across the first pair's gap.
std::string pageDataJson(const ReportRun& run);

}  // namespace tarvel::cli::report
