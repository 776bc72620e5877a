#include "cli/run_summary.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_codes.h"
#include "standin/json_writer.h"

namespace tarvel::cli {

namespace {

std::string plural(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

}  // namespace

const char* messageBoxTitle(standin::CallOp kind) {
    switch (kind) {
        case standin::CallOp::info:
            return "Info";
        case standin::CallOp::warning:
            return "Warning";
        default:
            return "Error";
    }
}

void writeMessages(const standin::Trace& trace, std::ostream& out, const std::string& prefix) {
    for (const standin::ShownMessage& message : trace.calls.messages()) {
        const std::string title = messageBoxTitle(message.kind);
        out << prefix << title << ": " << message.text.value_or("") << '\n';
        if (message.text2) {
            out << prefix << std::string(title.size() + 2, ' ') << *message.text2 << '\n';
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

std::vector<std::string> messageTexts(const standin::Trace& trace) {
    std::vector<std::string> texts;
    for (const standin::ShownMessage& message : trace.calls.messages()) {
        std::string text = message.text.value_or("");
        if (message.text2) {
            text += "\n" + *message.text2;
        }
        texts.push_back(std::move(text));
    }
    return texts;
}

namespace {

std::string secondsText(double seconds) {
    char time[32];
    std::snprintf(time, sizeof time, "%.6f", seconds);
    return time;
}

/// `text` as a JSON string, or null when it is empty.
void stringOrNull(standin::JsonWriter& json, const std::string& text) {
    if (text.empty()) {
        json.null();
    } else {
        json.string(text);
    }
}

}  // namespace

std::string fileReportJson(const FileReport& report) {
    std::string out;
    standin::JsonWriter json(out);
    json.beginObject();
    json.key("input").string(report.input);
    json.key("output");
    stringOrNull(json, report.output);
    json.key("format");
    stringOrNull(json, report.format);
    json.key("selected_polygons").integer(report.selectedPolygons);
    json.key("pairs_linked").integer(report.counts.pairs);
    json.key("links").beginObject();
    for (const auto& [tag, count] : report.counts.links) {
        json.key(tag).integer(count);
    }
    json.end();
    json.key("links_added").integer(report.counts.linksAdded);
    json.key("polygons_removed").integer(report.counts.polygonsRemoved);
    json.key("messages").beginArray();
    for (const std::string& message : report.messages) {
        json.string(message);
    }
    json.end();
    json.key("seconds").raw(secondsText(report.seconds));
    json.key("exit_code").integer(report.exitCode);
    json.key("dry_run").boolean(report.dryRun);
    if (!report.stopReason.empty()) {
        json.key("stop_reason").string(report.stopReason);
    }
    if (!report.error.empty()) {
        json.key("error").string(report.error);
    }
    json.end();
    return out;
}

namespace {

struct Totals {
    std::size_t completed = 0;
    std::size_t stopped = 0;
    std::size_t failed = 0;
    std::size_t pairs = 0;
    std::size_t links = 0;
    std::size_t removed = 0;
};

Totals totalsOf(const std::vector<FileReport>& reports) {
    Totals totals;
    for (const FileReport& report : reports) {
        totals.completed += report.exitCode == kExitOk ? 1 : 0;
        totals.stopped += report.exitCode == kExitToolStopped ? 1 : 0;
        totals.failed += report.exitCode != kExitOk && report.exitCode != kExitToolStopped ? 1 : 0;
        totals.pairs += report.counts.pairs;
        totals.links += report.counts.linksAdded;
        totals.removed += report.counts.polygonsRemoved;
    }
    return totals;
}

}  // namespace

std::string totalLine(const std::vector<FileReport>& reports, double seconds) {
    const Totals totals = totalsOf(reports);
    char time[32];
    std::snprintf(time, sizeof time, "%.3f s", seconds);
    return "total: " + plural(reports.size(), "file", "files") + " (" +
           std::to_string(totals.completed) + " completed, " + std::to_string(totals.stopped) +
           " stopped, " + std::to_string(totals.failed) + " failed), " +
           plural(totals.pairs, "pair", "pairs") + " linked, " +
           plural(totals.links, "link", "links") + ", " +
           plural(totals.removed, "polygon", "polygons") + " removed, " + time;
}

std::string totalJson(const std::vector<FileReport>& reports, double seconds, int exitCode) {
    const Totals totals = totalsOf(reports);
    std::string out;
    standin::JsonWriter json(out);
    json.beginObject();
    json.key("total").boolean(true);
    json.key("files").integer(reports.size());
    json.key("completed").integer(totals.completed);
    json.key("stopped").integer(totals.stopped);
    json.key("failed").integer(totals.failed);
    json.key("pairs_linked").integer(totals.pairs);
    json.key("links_added").integer(totals.links);
    json.key("polygons_removed").integer(totals.removed);
    json.key("seconds").raw(secondsText(seconds));
    json.key("exit_code").integer(exitCode);
    json.end();
    return out;
}

void writeSummary(const standin::Trace& trace, std::size_t scenePolygons, std::ostream& out) {
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

}  // namespace tarvel::cli
