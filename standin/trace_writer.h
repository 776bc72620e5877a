// Writing a run's trace as JSON: one call per line, one point or polygon per line, so that two
// traces compare well line by line.
#pragma once

#include <ostream>
#include <string>

#include "mesh/mesh.h"
#include "standin/json_writer.h"
#include "standin/stand_in_host.h"

namespace tarvel::standin {

/// Writes `trace` to `out` as {"result", "calls", "mesh"}; "mesh" is left out when the plug-in
/// never called done. A trace whose calls were only counted has "callCounts" (an object from
/// op name to count, ops never called left out) in place of "calls". Writes in pieces, so a
/// large trace is never whole in memory. Check `out` afterwards for write errors.
void writeTrace(const Trace& trace, std::ostream& out);

/// The trace as text, for traces small enough to hold.
std::string traceText(const Trace& trace);

/// Writes `polygon` in the trace's form {"id", "points", "type", "flags", "surface", "tags"}.
void writePolygonJson(JsonWriter& json, std::size_t id, const Polygon& polygon);

}  // namespace tarvel::standin
