#include "standin/trace_writer.h"

#include <sstream>

#include "standin/json_writer.h"

namespace tarvel::standin {

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

void writeCalls(const CallLog& calls, JsonWriter& json, ChunkedOut& out) {
    if (calls.logging() != CallLogging::full) {
        json.key("callCounts").beginObject();
        for (std::size_t op = 0; op < kCallOpCount; ++op) {
            const std::uint64_t count = calls.count(static_cast<CallOp>(op));
            if (count != 0) {
                json.key(callOpName(static_cast<CallOp>(op))).integer(count);
            }
        }
        json.end();
        return;
    }
    json.key("calls").beginArray(JsonWriter::Layout::onLines);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        calls.writeJson(json, i);
        out.maybeFlush();
    }
    json.end();
}

void writeMesh(const Mesh& mesh, JsonWriter& json, ChunkedOut& out) {
    json.key("mesh").beginObject(JsonWriter::Layout::onLines);
    json.key("points").beginArray(JsonWriter::Layout::onLines);
    for (const Point& point : mesh.points) {
        json.triple(point);
        out.maybeFlush();
    }
    json.end();
    json.key("polygons").beginArray(JsonWriter::Layout::onLines);
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        if (!mesh.polygons[j].removed) {
            writePolygonJson(json, j, mesh.polygons[j]);
            out.maybeFlush();
        }
    }
    json.end();
    json.end();
}

}  // namespace

void writePolygonJson(JsonWriter& json, std::size_t id, const Polygon& polygon) {
    json.beginObject();
    json.key("id").integer(id);
    json.key("points").beginArray();
    for (const std::int32_t point : polygon.points) {
        json.integer(point);
    }
    json.end();
    json.key("type").string(fourCharacterText(polygon.type));
    json.key("flags").integer(polygon.flags);
    json.key("surface").string(polygon.surface);
    json.key("tags").beginObject();
    for (const PolygonTag& tag : polygon.tags) {
        json.key(fourCharacterText(tag.type)).string(tag.value);
    }
    json.end();
    json.end();
}

void writeTrace(const Trace& trace, std::ostream& out) {
    ChunkedOut chunked(out);
    JsonWriter json(chunked.text());
    json.beginObject(JsonWriter::Layout::onLines);
    json.key("result").integer(trace.result);
    writeCalls(trace.calls, json, chunked);
    if (trace.mesh) {
        writeMesh(*trace.mesh, json, chunked);
    }
    json.end();
    chunked.text() += '\n';
}

std::string traceText(const Trace& trace) {
    std::ostringstream out;
    writeTrace(trace, out);
    return out.str();
}

}  // namespace tarvel::standin
