#include "standin/trace_writer.h"

#include <sstream>

#include "standin/json_writer.h"

namespace standin {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

/// Collects text and hands it to the stream whenever a piece is large enough.
class ChunkedOut {
public:
    explicit ChunkedOut(std::ostream& out) : out_(out) { text_.reserve(kFlushSize + 4096); }
    ~ChunkedOut() { flush(); }
    ChunkedOut(const ChunkedOut&) = delete;
    ChunkedOut& operator=(const ChunkedOut&) = delete;

    std::string& text() { return text_; }
    void maybeFlush() {
        if (text_.size() >= kFlushSize) {
            flush();
        }
    }
    void flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

private:
    std::ostream& out_;
    std::string text_;
};

void writeCalls(const CallLog& calls, ChunkedOut& out) {
    std::string& text = out.text();
    if (calls.logging() != CallLogging::full) {
        text += "  \"callCounts\": {";
        bool first = true;
        for (std::size_t op = 0; op < kCallOpCount; ++op) {
            const std::uint64_t count = calls.count(static_cast<CallOp>(op));
            if (count == 0) {
                continue;
            }
            text += first ? "" : ", ";
            first = false;
            appendJsonString(text, callOpName(static_cast<CallOp>(op)));
            text += ": ";
            appendJsonInteger(text, count);
        }
        text += '}';
        return;
    }
    if (calls.size() == 0) {
        text += "  \"calls\": []";
        return;
    }
    text += "  \"calls\": [\n";
    for (std::size_t i = 0; i < calls.size(); ++i) {
        text += "    ";
        calls.appendJson(text, i);
        text += i + 1 < calls.size() ? ",\n" : "\n";
        out.maybeFlush();
    }
    text += "  ]";
}

void writeMesh(const Mesh& mesh, ChunkedOut& out) {
    std::string& text = out.text();
    text += "  \"mesh\": {\n    \"points\": [";
    for (std::size_t i = 0; i < mesh.points.size(); ++i) {
        text += i == 0 ? "\n      " : ",\n      ";
        appendJsonTriple(text, mesh.points[i]);
        out.maybeFlush();
    }
    text += mesh.points.empty() ? "],\n" : "\n    ],\n";
    text += "    \"polygons\": [";
    bool first = true;
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        if (mesh.polygons[j].removed) {
            continue;
        }
        text += first ? "\n      " : ",\n      ";
        first = false;
        appendPolygonJson(text, j, mesh.polygons[j]);
        out.maybeFlush();
    }
    text += first ? "]\n" : "\n    ]\n";
    text += "  }";
}

}  // namespace

void appendPolygonJson(std::string& out, std::size_t id, const Polygon& polygon) {
    out += "{\"id\": ";
    appendJsonInteger(out, static_cast<std::uint64_t>(id));
    out += ", \"points\": [";
    for (std::size_t k = 0; k < polygon.points.size(); ++k) {
        if (k > 0) {
            out += ", ";
        }
        appendJsonInteger(out, std::int64_t{polygon.points[k]});
    }
    out += "], \"type\": ";
    appendJsonString(out, fourCharacterText(polygon.type));
    out += ", \"flags\": ";
    appendJsonInteger(out, std::int64_t{polygon.flags});
    out += ", \"surface\": ";
    appendJsonString(out, polygon.surface);
    out += ", \"tags\": {";
    for (std::size_t t = 0; t < polygon.tags.size(); ++t) {
        if (t > 0) {
            out += ", ";
        }
        appendJsonString(out, fourCharacterText(polygon.tags[t].type));
        out += ": ";
        appendJsonString(out, polygon.tags[t].value);
    }
    out += "}}";
}

void writeTrace(const Trace& trace, std::ostream& out) {
    ChunkedOut chunked(out);
    std::string& text = chunked.text();
    text += "{\n  \"result\": ";
    appendJsonInteger(text, std::int64_t{trace.result});
    text += ",\n";
    writeCalls(trace.calls, chunked);
    if (trace.mesh) {
        text += ",\n";
        writeMesh(*trace.mesh, chunked);
    }
    text += "\n}\n";
}

std::string traceText(const Trace& trace) {
    std::ostringstream out;
    writeTrace(trace, out);
    return out.str();
}

}  // namespace standin
