#include "cli/svg_picture.h"

#include "cli/markup_text.h"
#include "cli/mesh_outline.h"
#include "cli/picture_budget.h"
#include "sdk/polygon_flags.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

namespace tarvel::cli {

namespace {

using Vec = std::array<double, 3>;

constexpr double kPanelSize = 480.0;
constexpr double kMargin = 20.0;
constexpr double kTop = 50.0;
constexpr double kTilt = 20.0 * 3.14159265358979323846 / 180.0;

Vec minus(const Vec& a, const Vec& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec scaled(const Vec& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
Vec plus(const Vec& a, const Vec& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
double dot(const Vec& a, const Vec& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec unit(const Vec& a) {
    const double length = std::sqrt(dot(a, a));
    return length > 0.0 ? scaled(a, 1.0 / length) : a;
}

const char* linkColour(const std::string& tag) {
    if (tag == "Red") {
        return "#ff0000";
    }
    if (tag == "DkRed") {
        return "#8b0000";
    }
    if (tag == "Blue") {
        return "#0000ff";
    }
    return "#000000";
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

/// A coordinate to a tenth of a unit (a tenth of a pixel), as polygons are drawn.
std::string coarse(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

/// What the picture draws of each kind at most per panel. Beyond, it simplifies and says so:
/// polygons as their outline, outline segments and links as an even sample of them.
constexpr std::size_t kPolygonBudget = 20'000;
constexpr std::size_t kSegmentBudget = 20'000;
constexpr std::size_t kLinkBudget = 20'000;

/// A coordinate to half a pixel, as outlines are drawn: "12", "12.5".
std::string halfPixel(double value) {
    const double halves = std::round(value * 2.0);
    char text[32];
    if (std::fmod(halves, 2.0) == 0.0) {
        std::snprintf(text, sizeof text, "%.0f", halves / 2.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f", halves / 2.0);
    }
    return text;
}

/// What a picture left out to keep its size, said on the picture.
struct Simplified {
    std::vector<std::string> notes;
    void add(const std::string& note) {
        if (std::find(notes.begin(), notes.end(), note) == notes.end()) {
            notes.push_back(note);
        }
    }
};

/// Maps model points into a panel: the same scale for both panels, the picture centred.
struct Projection {
    ViewAxes axes;
    double scale = 1.0;
    double centreX = 0.0;
    double centreY = 0.0;

    std::array<double, 2> at(const Vec& point, double panelLeft) const {
        const double x = (dot(point, axes.right) - centreX) * scale;
        const double y = (dot(point, axes.up) - centreY) * scale;
        return {panelLeft + kPanelSize / 2.0 + x, kTop + kPanelSize / 2.0 - y};
    }
};

/// Whether the picture draws polygon `j` of `before` in full: the run touched it (selected
/// it, removed it) or added it. Of the rest it draws the outline alone.
bool touched(const standin::Mesh& before, std::size_t j) {
    return j >= before.polygons.size() || (before.polygons[j].flags & kPolygonSelected) != 0;
}

/// Fits what the run touched into a panel (everything, when it touched nothing).
Projection fit(const standin::Mesh& before, const standin::Mesh& after, const ViewAxes& axes) {
    double low[2] = {std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::infinity()};
    double high[2] = {-low[0], -low[1]};
    bool any = false;
    for (std::size_t j = 0; j < after.polygons.size() && !any; ++j) {
        any = touched(before, j);
    }
    for (const standin::Mesh* mesh : {&before, &after}) {
        for (std::size_t j = 0; j < mesh->polygons.size(); ++j) {
            if (any && !touched(before, j)) {
                continue;
            }
            for (const std::int32_t index : mesh->polygons[j].points) {
                const Vec& point = mesh->points[static_cast<std::size_t>(index)];
                const double x = dot(point, axes.right);
                const double y = dot(point, axes.up);
                low[0] = std::min(low[0], x);
                high[0] = std::max(high[0], x);
                low[1] = std::min(low[1], y);
                high[1] = std::max(high[1], y);
            }
        }
    }
    Projection projection;
    projection.axes = axes;
    if (!(low[0] <= high[0])) {
        return projection;
    }
    const double extent = std::max(high[0] - low[0], high[1] - low[1]);
    projection.scale = extent > 0.0 ? (kPanelSize - 2.0 * kMargin) / extent : 1.0;
    projection.centreX = (low[0] + high[0]) / 2.0;
    projection.centreY = (low[1] + high[1]) / 2.0;
    return projection;
}

/// Indices of the polygons still in `mesh` that the run touched, far to near.
std::vector<std::size_t> drawingOrder(const standin::Mesh& mesh, const standin::Mesh& before,
                                      const Vec& depth) {
    std::vector<std::size_t> order;
    std::vector<double> distance(mesh.polygons.size(), 0.0);
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        const standin::Polygon& polygon = mesh.polygons[j];
        if (polygon.removed || polygon.points.empty() || !touched(before, j)) {
            continue;
        }
        double sum = 0.0;
        for (const std::int32_t index : polygon.points) {
            sum += dot(mesh.points[static_cast<std::size_t>(index)], depth);
        }
        distance[j] = sum / static_cast<double>(polygon.points.size());
        order.push_back(j);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return distance[a] > distance[b]; });
    return order;
}

/// Writes `edges` (of `points`, seen through `projection` in the panel at `left`) as paths of
/// class `style`: each edge once, to half a pixel, none shorter or wholly beside the panel, at
/// most kSegmentBudget of them (an even sample beyond, noted in `simplified`).
void drawSegments(const std::vector<MeshEdge>& edges, const std::vector<standin::Point>& points,
                  const Projection& projection, double left, const char* style,
                  const std::string& what, Simplified& simplified, std::ostream& out) {
    const double right = left + kPanelSize;
    const double bottom = kTop + kPanelSize;
    std::vector<std::array<std::int64_t, 4>> segments;
    for (const MeshEdge& edge : edges) {
        const auto from = projection.at(points[static_cast<std::size_t>(edge[0])], left);
        const auto to = projection.at(points[static_cast<std::size_t>(edge[1])], left);
        // An edge wholly to one side of the panel would be clipped away.
        if ((from[0] < left && to[0] < left) || (from[0] > right && to[0] > right) ||
            (from[1] < kTop && to[1] < kTop) || (from[1] > bottom && to[1] > bottom) ||
            !std::isfinite(from[0] + from[1] + to[0] + to[1])) {
            continue;
        }
        std::array<std::int64_t, 4> segment = {
            std::llround(2.0 * from[0]), std::llround(2.0 * from[1]), std::llround(2.0 * to[0]),
            std::llround(2.0 * to[1])};
        if (std::make_pair(segment[2], segment[3]) < std::make_pair(segment[0], segment[1])) {
            segment = {segment[2], segment[3], segment[0], segment[1]};
        }
        if (segment[0] != segment[2] || segment[1] != segment[3]) {
            segments.push_back(segment);
        }
    }
    std::sort(segments.begin(), segments.end());
    segments.erase(std::unique(segments.begin(), segments.end()), segments.end());
    if (segments.size() > kSegmentBudget) {
        simplified.add(what + ": " + thousands(kSegmentBudget) + " of its " +
                       thousands(segments.size()) + " edges, evenly spread");
        evenSample(segments, kSegmentBudget);
    }
    const auto at = [](std::int64_t halves) {
        return halfPixel(static_cast<double>(halves) / 2.0);
    };
    for (std::size_t first = 0; first < segments.size(); first += 1000) {
        out << "  <path class=\"" << style << "\" d=\"";
        for (std::size_t k = first; k < segments.size() && k < first + 1000; ++k) {
            const auto& segment = segments[k];
            out << 'M' << at(segment[0]) << ' ' << at(segment[1]) << 'L' << at(segment[2]) << ' '
                << at(segment[3]);
        }
        out << "\"/>\n";
    }
}

/// One polygon of the selection: a line for two points, nothing for fewer. The styles are
/// classes of the picture's style sheet: a picture of many polygons spends its bytes on their
/// corners alone.
void drawPolygon(const standin::Mesh& mesh, const standin::Polygon& polygon,
                 const Projection& projection, double left, const char* style, std::ostream& out) {
    std::vector<std::array<double, 2>> corners;
    for (const std::int32_t index : polygon.points) {
        corners.push_back(projection.at(mesh.points[static_cast<std::size_t>(index)], left));
    }
    if (corners.size() == 2) {
        out << "  <line class=\"" << style << " edge\" x1=\"" << coarse(corners[0][0]) << "\" y1=\""
            << coarse(corners[0][1]) << "\" x2=\"" << coarse(corners[1][0]) << "\" y2=\""
            << coarse(corners[1][1]) << "\"/>\n";
    } else if (corners.size() > 2) {
        out << "  <polygon class=\"" << style << "\" points=\"";
        for (std::size_t k = 0; k < corners.size(); ++k) {
            out << (k > 0 ? " " : "") << coarse(corners[k][0]) << ',' << coarse(corners[k][1]);
        }
        out << "\"/>\n";
    }
}

/// The polygons of the selection, each in its style; beyond the budget the outline of each
/// style, as the rest of the layer.
void drawSelection(const standin::Mesh& mesh, const Projection& projection, double left,
                   const std::vector<std::size_t>& order, std::size_t firstAdded,
                   const std::vector<bool>& removedByRun, Simplified& simplified,
                   std::ostream& out) {
    const auto styleOf = [&](std::size_t j) {
        return j < removedByRun.size() && removedByRun[j] ? "removed" : "selected";
    };
    std::size_t polygons = 0;
    for (const std::size_t j : order) {
        polygons += j < firstAdded ? 1 : 0;
    }
    if (polygons > kPolygonBudget) {
        const std::string note = "The selection's " + thousands(polygons) +
                                 " polygons: their outline (more than " +
                                 thousands(kPolygonBudget) + " in a panel)";
        simplified.add(note);
        for (const char* style : {"selected", "removed"}) {
            std::vector<bool> part(firstAdded, false);
            for (const std::size_t j : order) {
                if (j < firstAdded && std::string(styleOf(j)) == style) {
                    part[j] = true;
                }
            }
            drawSegments(outlineEdges(mesh, part, projection.axes.depth), mesh.points, projection,
                         left,
                         std::string(style) == "removed" ? "removed-outline" : "selected-outline",
                         "The selection's outline", simplified, out);
        }
        return;
    }
    for (const std::size_t j : order) {
        if (j < firstAdded) {
            drawPolygon(mesh, mesh.polygons[j], projection, left, styleOf(j), out);
        }
    }
}

/// Links go over the faces, and the one "Red" link of each pair over the others, so that
/// where each pair starts stays visible. Beyond the budget, every Red link and an even sample
/// of the others.
void drawLinks(const standin::Mesh& mesh, std::size_t firstAdded, const Projection& projection,
               double left, Simplified& simplified, std::ostream& out) {
    std::vector<std::size_t> links[2];
    for (std::size_t j = firstAdded; j < mesh.polygons.size(); ++j) {
        const standin::Polygon& polygon = mesh.polygons[j];
        if (polygon.removed || polygon.points.size() < 2) {
            continue;
        }
        const std::string* colour = standin::findTag(polygon, kTagColour);
        links[colour != nullptr && *colour == "Red" ? 1 : 0].push_back(j);
    }
    if (links[0].size() + links[1].size() > kLinkBudget) {
        const std::size_t all = links[0].size() + links[1].size();
        evenSample(links[0], kLinkBudget > links[1].size() ? kLinkBudget - links[1].size() : 0);
        const std::string note = "The links: every Red one and " + thousands(links[0].size()) +
                                 " of the " + thousands(all - links[1].size()) +
                                 " others, evenly spread";
        simplified.add(note);
    }
    for (const bool redPass : {false, true}) {
        for (const std::size_t j : links[redPass ? 1 : 0]) {
            const standin::Polygon& polygon = mesh.polygons[j];
            const std::string* colour = standin::findTag(polygon, kTagColour);
            const std::string tag = colour != nullptr ? *colour : "untagged";
            const auto from =
                projection.at(mesh.points[static_cast<std::size_t>(polygon.points[0])], left);
            const auto to =
                projection.at(mesh.points[static_cast<std::size_t>(polygon.points[1])], left);
            out << "  <line class=\"link " << escapedMarkup(tag) << "\" x1=\"" << number(from[0])
                << "\" y1=\"" << number(from[1]) << "\" x2=\"" << number(to[0]) << "\" y2=\""
                << number(to[1]) << "\" stroke=\"" << linkColour(tag) << "\" stroke-width=\""
                << (redPass ? "2.5" : "1.5") << "\"/>\n";
        }
    }
}

void drawPanel(const standin::Mesh& mesh, const standin::Mesh& before, const Projection& projection,
               double left, const std::vector<MeshEdge>& outline,
               const std::vector<bool>& removedByRun, Simplified& simplified, std::ostream& out) {
    const std::size_t firstAdded = before.polygons.size();
    drawSegments(outline, before.points, projection, left, "outline", "The rest of the layer",
                 simplified, out);
    const std::vector<std::size_t> order = drawingOrder(mesh, before, projection.axes.depth);
    drawSelection(mesh, projection, left, order, firstAdded, removedByRun, simplified, out);
    drawLinks(mesh, firstAdded, projection, left, simplified, out);
}

}  // namespace

ViewAxes gapView(const standin::Mesh& after, std::size_t firstAdded) {
    // The first pair's links run from its first "Red" link up to the next one. "Red" and
    // "DkRed" links start on the boundary of one patch of the pair and "Blue" links on the
    // other, so the centres of the two boundaries can be told apart from the host's side.
    std::set<std::int32_t> sides[2];
    Vec firstLink = {0.0, 0.0, 0.0};
    for (std::size_t j = firstAdded; j < after.polygons.size(); ++j) {
        const standin::Polygon& polygon = after.polygons[j];
        if (polygon.removed || polygon.points.size() != 2) {
            continue;
        }
        const std::string* colour = standin::findTag(polygon, kTagColour);
        const bool red = colour != nullptr && *colour == "Red";
        if (red && !sides[0].empty()) {
            break;
        }
        const bool blue = colour != nullptr && *colour == "Blue";
        sides[blue ? 1 : 0].insert(polygon.points[0]);
        sides[blue ? 0 : 1].insert(polygon.points[1]);
        if (dot(firstLink, firstLink) == 0.0) {
            firstLink = minus(after.points[static_cast<std::size_t>(polygon.points[1])],
                              after.points[static_cast<std::size_t>(polygon.points[0])]);
        }
    }
    Vec centres[2] = {{0.0, 0.0, 0.0}, {0.0, 0.0, 0.0}};
    for (int side = 0; side < 2; ++side) {
        for (const std::int32_t point : sides[side]) {
            centres[side] = plus(centres[side], after.points[static_cast<std::size_t>(point)]);
        }
        if (!sides[side].empty()) {
            centres[side] = scaled(centres[side], 1.0 / static_cast<double>(sides[side].size()));
        }
    }
    Vec gap = minus(centres[1], centres[0]);
    if (dot(gap, gap) == 0.0) {
        gap = firstLink;
    }
    if (dot(gap, gap) == 0.0) {
        return ViewAxes{{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, -1.0}};
    }
    const Vec along = unit(gap);
    std::size_t nearest = 0;
    for (std::size_t axis = 1; axis < 3; ++axis) {
        if (std::fabs(along[axis]) < std::fabs(along[nearest])) {
            nearest = axis;
        }
    }
    Vec reference = {0.0, 0.0, 0.0};
    reference[nearest] = 1.0;
    const Vec right = unit(cross(along, reference));
    const Vec level = cross(right, along);  // looking straight across the gap
    // Tip the line of sight towards the gap's far side.
    const Vec depth = unit(plus(scaled(level, std::cos(kTilt)), scaled(along, std::sin(kTilt))));
    const Vec up = cross(depth, right);
    return ViewAxes{right, up, depth};
}

namespace {

constexpr double kWidth = 2.0 * kPanelSize + 30.0;
constexpr double kLefts[2] = {10.0, 20.0 + kPanelSize};
constexpr const char* kPanelNames[2] = {"before", "after"};

/// The links the run added by tag: Red, DkRed and Blue first, then other tags in the order
/// first added.
struct LinkTally {
    std::vector<std::string> colours = {"Red", "DkRed", "Blue"};
    std::map<std::string, std::size_t> links;
};

LinkTally tallyLinks(const standin::Mesh& after, std::size_t firstAdded) {
    LinkTally tally;
    for (std::size_t j = firstAdded; j < after.polygons.size(); ++j) {
        if (after.polygons[j].removed) {
            continue;
        }
        const std::string* colour = standin::findTag(after.polygons[j], kTagColour);
        const std::string tag = colour != nullptr ? *colour : "untagged";
        if (tally.links[tag]++ == 0 &&
            std::find(tally.colours.begin(), tally.colours.end(), tag) == tally.colours.end()) {
            tally.colours.push_back(tag);
        }
    }
    return tally;
}

/// An item of the legend.
struct LegendItem {
    std::string swatch;  // a link colour, or "removed" / "selected"
    std::string text;
    std::string tag;
};

std::vector<LegendItem> legendItems(LinkTally& tally, std::size_t removed) {
    std::vector<LegendItem> items;
    for (const std::string& colour : tally.colours) {
        const std::size_t count = tally.links[colour];
        items.push_back(
            {colour, colour + ": " + thousands(count) + (count == 1 ? " link" : " links"), colour});
    }
    items.push_back({"removed",
                     "removed: " + thousands(removed) + (removed == 1 ? " polygon" : " polygons"),
                     "removed"});
    items.push_back({"selected", "selected", ""});
    return items;
}

/// The legend, item after item, a new row where the next would not fit. Widths are estimated
/// from the text's length (a sans-serif 14-pixel character is under 9 pixels). Leaves `y` at
/// the last row.
void writeLegend(const std::vector<LegendItem>& items, double& y, std::ostream& legend) {
    double x = 10.0;
    for (const LegendItem& item : items) {
        const double itemWidth = 30.0 + 8.5 * static_cast<double>(item.text.size()) + 24.0;
        if (x > 10.0 && x + itemWidth > kWidth - 10.0) {
            x = 10.0;
            y += 22.0;
        }
        if (item.swatch == "removed" || item.swatch == "selected") {
            legend << "  <rect x=\"" << x << "\" y=\"" << y - 12.0
                   << "\" width=\"24\" height=\"12\" class=\"" << item.swatch << "\"/>\n";
        } else {
            legend << "  <line x1=\"" << x << "\" y1=\"" << y - 5.0 << "\" x2=\"" << x + 24.0
                   << "\" y2=\"" << y - 5.0 << "\" stroke=\"" << linkColour(item.swatch)
                   << "\" stroke-width=\"3\"/>\n";
        }
        legend << "  <text" << (item.tag.empty() ? "" : " class=\"count\" data-tag=\"")
               << (item.tag.empty() ? "" : escapedMarkup(item.tag) + "\"") << " x=\"" << x + 30.0
               << "\" y=\"" << y << "\">" << escapedMarkup(item.text) << "</text>\n";
        x += itemWidth;
    }
}

/// What the picture left out, one line each, wrapped at the picture's width, below `y`.
void writeNotes(const std::vector<std::string>& notes, double& y, std::ostream& legend) {
    for (const std::string& note : notes) {
        std::string line = "Simplified: " + note + ".";
        const std::size_t perLine = static_cast<std::size_t>((kWidth - 20.0) / 6.5);
        while (!line.empty()) {
            std::size_t cut = line.size();
            if (cut > perLine) {
                cut = line.rfind(' ', perLine);
                cut = cut == std::string::npos || cut == 0 ? perLine : cut;
            }
            y += 18.0;
            legend << "  <text class=\"simplified\" x=\"10\" y=\"" << y << "\">"
                   << escapedMarkup(line.substr(0, cut)) << "</text>\n";
            line.erase(0, std::min(line.size(), cut + 1));
        }
    }
}

/// The document's start: its size, style sheet, title and the panels' clip paths.
void writeHead(double height, const std::string& title, std::ostream& out) {
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\""
        << height << "\" viewBox=\"0 0 " << kWidth << ' ' << height
        << "\" font-family=\"sans-serif\" font-size=\"14\">\n"
        << "  <style>\n"
        << "    .removed { fill: #fdae6b; fill-opacity: 0.6; stroke: #d94801; stroke-width: 0.75 "
           "}\n"
        << "    .selected { fill: #9ecae1; fill-opacity: 0.6; stroke: #2171b5; stroke-width: 0.75 "
           "}\n"
        << "    .outline { fill: none; stroke: #969696; stroke-width: 0.75 }\n"
        << "    .removed-outline { fill: none; stroke: #d94801; stroke-width: 1 }\n"
        << "    .selected-outline { fill: none; stroke: #2171b5; stroke-width: 1 }\n"
        << "    .simplified { font-size: 12px; font-style: italic; fill: #555555 }\n"
        << "  </style>\n"
        << "  <rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        << "  <text x=\"" << kWidth / 2.0 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"16\">"
        << escapedMarkup(title) << "</text>\n";
    out << "  <defs>\n";
    for (int panel = 0; panel < 2; ++panel) {
        out << "  <clipPath id=\"" << kPanelNames[panel] << "-panel\"><rect x=\"" << kLefts[panel]
            << "\" y=\"" << kTop << "\" width=\"" << kPanelSize << "\" height=\"" << kPanelSize
            << "\"/></clipPath>\n";
    }
    out << "  </defs>\n";
}

}  // namespace

void writeSvg(const standin::Mesh& before, const standin::Mesh& after, const std::string& title,
              std::ostream& out) {
    const std::size_t firstAdded = before.polygons.size();
    const ViewAxes axes = gapView(after, firstAdded);
    const Projection projection = fit(before, after, axes);

    std::vector<bool> removedByRun(before.polygons.size(), false);
    std::size_t removed = 0;
    for (std::size_t j = 0; j < before.polygons.size() && j < after.polygons.size(); ++j) {
        removedByRun[j] = after.polygons[j].removed && !before.polygons[j].removed;
        removed += removedByRun[j] ? 1 : 0;
    }
    LinkTally tally = tallyLinks(after, firstAdded);

    // Of the polygons the run did not select, the outline alone: where they end, and where
    // they turn away from the viewer.
    std::vector<bool> unselected(before.polygons.size(), false);
    for (std::size_t j = 0; j < before.polygons.size(); ++j) {
        unselected[j] = !before.polygons[j].removed && !touched(before, j);
    }
    const std::vector<MeshEdge> outline = outlineEdges(before, unselected, axes.depth);

    Simplified simplified;
    std::ostringstream panels;
    for (int panel = 0; panel < 2; ++panel) {
        panels << "  <g class=\"" << kPanelNames[panel] << "\" clip-path=\"url(#"
               << kPanelNames[panel] << "-panel)\">\n"
               << "  <rect x=\"" << kLefts[panel] << "\" y=\"" << kTop << "\" width=\""
               << kPanelSize << "\" height=\"" << kPanelSize
               << "\" fill=\"none\" stroke=\"#bdbdbd\"/>\n"
               << "  <text x=\"" << kLefts[panel] + 8.0 << "\" y=\"" << kTop + 20.0 << "\">"
               << kPanelNames[panel] << "</text>\n";
        drawPanel(panel == 0 ? before : after, before, projection, kLefts[panel], outline,
                  panel == 0 ? removedByRun : std::vector<bool>(), simplified, panels);
        panels << "  </g>\n";
    }

    std::ostringstream legend;
    double y = kTop + kPanelSize + 30.0;
    writeLegend(legendItems(tally, removed), y, legend);
    writeNotes(simplified.notes, y, legend);
    writeHead(y + 20.0, title, out);
    out << panels.str() << "  <g class=\"legend\">\n" << legend.str() << "  </g>\n</svg>\n";
}

}  // namespace tarvel::cli
