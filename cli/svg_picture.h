// A picture of a run: the mesh before and after, side by side, as SVG.
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "mesh/mesh.h"

namespace tarvel::cli {

/// The direction a picture is seen from: `right` and `up` span the picture (x to the right,
/// y up), `depth` points away from the viewer. Unit vectors, each perpendicular to the others.
struct ViewAxes {
    std::array<double, 3> right;
    std::array<double, 3> up;
    std::array<double, 3> depth;
};

/// A view across the gap between the patches of the first pair the run linked: `up` runs
/// from the centre of one patch's linked boundary points to the other's (or along the first
/// link, when those centres meet), tipped 20 degrees towards the viewer so that the patches
/// show as thin strips rather than edges; `right` is perpendicular to the gap and to the
/// coordinate axis nearest to perpendicular. `firstAdded` is the number of polygons the mesh
/// had before the run. Without a link, the front view (x right, y up, looking along -z).
ViewAxes gapView(const standin::Mesh& after, std::size_t firstAdded);

/// Writes an SVG picture of `before` (the mesh given to the tool, with its selection) and
/// `after` (the mesh after the run) side by side, seen through gapView, with `title` above,
/// framing what the run touched. It draws in full only what the run touched, so that its size
/// follows the selection, not the model: before, the selected polygons blue and those the run
/// removed orange; after, the selected polygons left, and the links in the colour their
/// "COLR" tag names (Red red, DkRed dark red, Blue blue, others black), each drawn as
/// <line class="link TAG">. Of the unselected polygons both panels draw the outline alone
/// (outlineEdges seen along the view: boundary and silhouette), as <path class="outline">, each
/// edge once to half a pixel. Polygons are drawn far to near, then the links, each pair's "Red"
/// link last. A legend, in rows that wrap, gives the number of links of each colour and of
/// removed polygons. The size is bounded: beyond 20,000 selected polygons in a panel it draws
/// their outline instead, beyond 20,000 outline edges an even sample of them, beyond 20,000
/// links every Red one and an even sample of the rest; each such step is a line
/// "Simplified: ..." under the legend.
void writeSvg(const standin::Mesh& before, const standin::Mesh& after, const std::string& title,
              std::ostream& out);

}  // namespace tarvel::cli
