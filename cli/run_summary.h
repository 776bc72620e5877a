// The short report tarvel-host prints when it writes no trace.
#pragma once

#include <cstddef>
#include <ostream>

#include "standin/stand_in_host.h"

namespace tarvelhost {

/// Writes the messages the plug-in showed, as the modeller's message boxes show them, the
/// polygons added (counted by their "COLR" tag), the polygons removed, and the result.
/// `scenePolygons` is the number of polygons the scene had: polygons past it were added.
void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out);

}  // namespace tarvelhost
