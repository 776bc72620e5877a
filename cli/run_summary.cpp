#include "cli/run_summary.h"

#include <map>
#include <string>
#include <vector>

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

}  // namespace

void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out) {
    for (const standin::ShownMessage& message : trace.calls.messages()) {
        const std::string title = boxTitle(message.kind);
        out << title << ": " << message.text.value_or("") << '\n';
        if (message.text2) {
            out << std::string(title.size() + 2, ' ') << *message.text2 << '\n';
        }
    }
    if (!trace.mesh) {
        out << "Mesh unchanged: the plug-in closed no edit\n";
    } else {
        // The colours the tool tags its links with come first, in a fixed order.
        std::vector<std::string> order = {"Red", "DkRed", "Blue"};
        std::map<std::string, std::size_t> byColour;
        std::size_t added = 0;
        std::size_t removed = 0;
        const std::vector<standin::Polygon>& polygons = trace.mesh->polygons;
        for (std::size_t j = 0; j < polygons.size(); ++j) {
            if (j < scenePolygons) {
                removed += polygons[j].removed ? 1 : 0;
                continue;
            }
            if (polygons[j].removed) {
                continue;
            }
            ++added;
            const std::string* colour = standin::findTag(polygons[j], kTagColour);
            const std::string key = colour != nullptr ? *colour : "untagged";
            if (byColour[key]++ == 0 && key != "Red" && key != "DkRed" && key != "Blue") {
                order.push_back(key);
            }
        }
        out << "Links added: " << added;
        if (added > 0) {
            const char* separator = " (";
            for (const std::string& colour : order) {
                out << separator << colour << ' ' << byColour[colour];
                separator = ", ";
            }
            out << ')';
        }
        out << "\nPolygons removed: " << removed << '\n';
    }
    out << "Result: " << trace.result << '\n';
}

}  // namespace tarvelhost
