#include "cli/svg_picture.h"

#include "cli/markup_text.h"
#include "cli/mesh_outline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <numeric>
#include <set>
#include <vector>

namespace tarvelhost {

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
    return j >= before.polygons.size() || (before.polygons[j].flags & 1) != 0;
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

void drawPanel(const standin::Mesh& mesh, const standin::Mesh& before, const Projection& projection,
               double left, const std::vector<MeshEdge>& outline,
               const std::vector<bool>& removedByRun, std::ostream& out) {
    const std::size_t firstAdded = before.polygons.size();
    const double right = left + kPanelSize;
    const double bottom = kTop + kPanelSize;
    for (const MeshEdge& edge : outline) {
        const auto from = projection.at(before.points[static_cast<std::size_t>(edge[0])], left);
        const auto to = projection.at(before.points[static_cast<std::size_t>(edge[1])], left);
        // An edge wholly to one side of the panel would be clipped away.
        if ((from[0] < left && to[0] < left) || (from[0] > right && to[0] > right) ||
            (from[1] < kTop && to[1] < kTop) || (from[1] > bottom && to[1] > bottom)) {
            continue;
        }
        out << "  <line class=\"outline\" x1=\"" << coarse(from[0]) << "\" y1=\"" << coarse(from[1])
            << "\" x2=\"" << coarse(to[0]) << "\" y2=\"" << coarse(to[1]) << "\"/>\n";
    }
    for (const std::size_t j : drawingOrder(mesh, before, projection.axes.depth)) {
        const standin::Polygon& polygon = mesh.polygons[j];
        std::vector<std::array<double, 2>> corners;
        for (const std::int32_t index : polygon.points) {
            corners.push_back(projection.at(mesh.points[static_cast<std::size_t>(index)], left));
        }
        if (j >= firstAdded) {
            continue;
        }
        // The styles are classes of the picture's style sheet: a picture of many polygons
        // spends its bytes on their corners alone.
        const char* style = j < removedByRun.size() && removedByRun[j] ? "removed" : "selected";
        if (corners.size() == 2) {
            out << "  <line class=\"" << style << " edge\" x1=\"" << coarse(corners[0][0])
                << "\" y1=\"" << coarse(corners[0][1]) << "\" x2=\"" << coarse(corners[1][0])
                << "\" y2=\"" << coarse(corners[1][1]) << "\"/>\n";
        } else if (corners.size() > 2) {
            out << "  <polygon class=\"" << style << "\" points=\"";
            for (std::size_t k = 0; k < corners.size(); ++k) {
                out << (k > 0 ? " " : "") << coarse(corners[k][0]) << ',' << coarse(corners[k][1]);
            }
            out << "\"/>\n";
        }
    }
    // Links go over the faces, and the one "Red" link of each pair over the others, so that
    // where each pair starts stays visible.
    for (const bool redPass : {false, true}) {
        for (std::size_t j = firstAdded; j < mesh.polygons.size(); ++j) {
            const standin::Polygon& polygon = mesh.polygons[j];
            if (polygon.removed || polygon.points.size() < 2) {
                continue;
            }
            const std::string* colour = standin::findTag(polygon, kTagColour);
            const std::string tag = colour != nullptr ? *colour : "untagged";
            if ((tag == "Red") != redPass) {
                continue;
            }
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
    std::vector<std::string> colours = {"Red", "DkRed", "Blue"};
    std::map<std::string, std::size_t> links;
    for (std::size_t j = firstAdded; j < after.polygons.size(); ++j) {
        if (after.polygons[j].removed) {
            continue;
        }
        const std::string* colour = standin::findTag(after.polygons[j], kTagColour);
        const std::string tag = colour != nullptr ? *colour : "untagged";
        if (links[tag]++ == 0 && std::find(colours.begin(), colours.end(), tag) == colours.end()) {
            colours.push_back(tag);
        }
    }

    const double width = 2.0 * kPanelSize + 30.0;
    const double height = kTop + kPanelSize + 70.0;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << width << "\" height=\"" << height
        << "\" viewBox=\"0 0 " << width << ' ' << height
        << "\" font-family=\"sans-serif\" font-size=\"14\">\n"
        << "  <style>\n"
        << "    .removed { fill: #fdae6b; fill-opacity: 0.6; stroke: #d94801; stroke-width: 0.75 "
           "}\n"
        << "    .selected { fill: #9ecae1; fill-opacity: 0.6; stroke: #2171b5; stroke-width: 0.75 "
           "}\n"
        << "    .outline { stroke: #969696; stroke-width: 0.75 }\n"
        << "  </style>\n"
        << "  <rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"
        << "  <text x=\"" << width / 2.0 << "\" y=\"22\" text-anchor=\"middle\" font-size=\"16\">"
        << escapedMarkup(title) << "</text>\n";
    // Of the polygons the run did not select, the outline alone: where they end, and where
    // they turn away from the viewer.
    std::vector<bool> unselected(before.polygons.size(), false);
    for (std::size_t j = 0; j < before.polygons.size(); ++j) {
        unselected[j] = !before.polygons[j].removed && !touched(before, j);
    }
    const std::vector<MeshEdge> outline = outlineEdges(before, unselected, axes.depth);

    const double lefts[2] = {10.0, 20.0 + kPanelSize};
    const char* names[2] = {"before", "after"};
    out << "  <defs>\n";
    for (int panel = 0; panel < 2; ++panel) {
        out << "  <clipPath id=\"" << names[panel] << "-panel\"><rect x=\"" << lefts[panel]
            << "\" y=\"" << kTop << "\" width=\"" << kPanelSize << "\" height=\"" << kPanelSize
            << "\"/></clipPath>\n";
    }
    out << "  </defs>\n";
    for (int panel = 0; panel < 2; ++panel) {
        out << "  <g class=\"" << names[panel] << "\" clip-path=\"url(#" << names[panel]
            << "-panel)\">\n"
            << "  <rect x=\"" << lefts[panel] << "\" y=\"" << kTop << "\" width=\"" << kPanelSize
            << "\" height=\"" << kPanelSize << "\" fill=\"none\" stroke=\"#bdbdbd\"/>\n"
            << "  <text x=\"" << lefts[panel] + 8.0 << "\" y=\"" << kTop + 20.0 << "\">"
            << names[panel] << "</text>\n";
        drawPanel(panel == 0 ? before : after, before, projection, lefts[panel], outline,
                  panel == 0 ? removedByRun : std::vector<bool>(), out);
        out << "  </g>\n";
    }

    double x = 10.0;
    const double y = kTop + kPanelSize + 30.0;
    out << "  <g class=\"legend\">\n";
    for (const std::string& colour : colours) {
        out << "  <line x1=\"" << x << "\" y1=\"" << y - 5.0 << "\" x2=\"" << x + 24.0 << "\" y2=\""
            << y - 5.0 << "\" stroke=\"" << linkColour(colour) << "\" stroke-width=\"3\"/>\n"
            << "  <text class=\"count\" data-tag=\"" << escapedMarkup(colour) << "\" x=\""
            << x + 30.0 << "\" y=\"" << y << "\">" << escapedMarkup(colour) << ": " << links[colour]
            << (links[colour] == 1 ? " link" : " links") << "</text>\n";
        x += 150.0;
    }
    out << "  <rect x=\"" << x << "\" y=\"" << y - 12.0
        << "\" width=\"24\" height=\"12\" fill=\"#fdae6b\" stroke=\"#d94801\"/>\n"
        << "  <text class=\"count\" data-tag=\"removed\" x=\"" << x + 30.0 << "\" y=\"" << y
        << "\">removed: " << removed << (removed == 1 ? " polygon" : " polygons") << "</text>\n"
        << "  <rect x=\"" << x + 210.0 << "\" y=\"" << y - 12.0
        << "\" width=\"24\" height=\"12\" fill=\"#9ecae1\" stroke=\"#2171b5\"/>\n"
        << "  <text x=\"" << x + 240.0 << "\" y=\"" << y << "\">selected</text>\n"
        << "  </g>\n</svg>\n";
}

}  // namespace tarvelhost
