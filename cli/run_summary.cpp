#include "cli/run_summary.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace tarvelhost {

namespace {

const char* boxTitle(standin::CallOp kind) {
    switch (kind) {
        case standin::CallOp::info:
            return "Info";
        case standin::CallOp::warning:
            return "Warning";
        default:
            return "Error";
    }
}

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

void writeMessages(const standin::Trace& trace, std::ostream& out) {
    for (const standin::ShownMessage& message : trace.calls.messages()) {
        const std::string title = boxTitle(message.kind);
        out << title << ": " << message.text.value_or("") << '\n';
        if (message.text2) {
            out << std::string(title.size() + 2, ' ') << *message.text2 << '\n';
        }
    }
}

RunCounts countRun(const standin::Trace& trace, std::size_t scenePolygons) {
    RunCounts counts;
    counts.links = {{"Red", 0}, {"DkRed", 0}, {"Blue", 0}};
    if (!trace.mesh) {
        return counts;
    }
    const std::vector<standin::Polygon>& polygons = trace.mesh->polygons;
    for (std::size_t j = 0; j < polygons.size(); ++j) {
        if (j < scenePolygons) {
            counts.polygonsRemoved += polygons[j].removed ? 1 : 0;
            continue;
        }
        if (polygons[j].removed) {
            continue;
        }
        ++counts.linksAdded;
        const std::string* colour = standin::findTag(polygons[j], kTagColour);
        const std::string key = colour != nullptr ? *colour : "untagged";
        auto entry = std::find_if(counts.links.begin(), counts.links.end(),
                                  [&](const auto& link) { return link.first == key; });
        if (entry == counts.links.end()) {
            counts.links.emplace_back(key, 0);
            entry = counts.links.end() - 1;
        }
        ++entry->second;
    }
    counts.pairs = counts.links[0].second;
    return counts;
}

std::string runSummaryLine(const std::string& name, const RunCounts& counts, double seconds) {
    std::string line = name + ": " + plural(counts.pairs, "pair", "pairs") + " linked, " +
                       plural(counts.linksAdded, "link", "links") + " (";
    const char* separator = "";
    for (const auto& [tag, count] : counts.links) {
        line += separator + tag + ' ' + std::to_string(count);
        separator = ", ";
    }
    char time[32];
    std::snprintf(time, sizeof time, "%.3f s", seconds);
    return line + "), " + plural(counts.polygonsRemoved, "polygon", "polygons") + " removed, " +
           time;
}

void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out) {
    writeMessages(trace, out);
    if (!trace.mesh) {
        out << "Mesh unchanged: the plug-in closed no edit\n";
    } else {
        const RunCounts counts = countRun(trace, scenePolygons);
        out << "Links added: " << counts.linksAdded;
        if (counts.linksAdded > 0) {
            const char* separator = " (";
            for (const auto& [colour, count] : counts.links) {
                out << separator << colour << ' ' << count;
                separator = ", ";
            }
            out << ')';
        }
        out << "\nPolygons removed: " << counts.polygonsRemoved << '\n';
    }
    out << "Result: " << trace.result << '\n';
}

}  // namespace tarvelhost
