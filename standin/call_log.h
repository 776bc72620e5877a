// The record of every call a plug-in makes into the stand-in host, kept compactly so that a
// run over a million polygons can be logged, and written as JSON only when asked.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/lwsdk.h"
#include "standin/json_writer.h"

namespace tarvel::standin {

/// The host entry points, named as in the trace's "op".
enum class CallOp : std::uint8_t {
    begin,
    global,
    info,
    error,
    warning,
    done,
    polyCount,
    polyScan,
    pointInfo,
    polyNormal,
    addFace,
    remPoly,
    polTag,
};
inline constexpr std::size_t kCallOpCount = 13;

const char* callOpName(CallOp op);

enum class CallLogging {
    /// Every call with its arguments.
    full,
    /// Only the number of calls of each kind, and the messages shown.
    countsOnly,
};

/// A message the plug-in showed through "Info Messages 2".
struct ShownMessage {
    CallOp kind;  // info, error or warning
    std::optional<std::string> text;
    std::optional<std::string> text2;
};

/// The arguments of one logged call as plain values: what checks over a whole run read, and
/// what the JSON of the call is written from. Handles are raw, as CallLog keeps them: 0 for
/// null, the identifier + 1 otherwise. Texts and points are views into the log, valid while
/// the log lives and takes no further call.
struct CallArguments {
    CallOp op = CallOp::begin;
    /// begin: its three arguments; done: error, selection mode; polyCount: layer, mode,
    /// result; polyScan: layer; global: use mode.
    std::array<std::int64_t, 3> numbers{};
    /// pointInfo: the point; polyNormal, remPoly, polTag: the polygon; addFace: the result.
    std::uint64_t handle = 0;
    /// addFace: the points passed, or null when they could not be read.
    std::optional<std::span<const std::uint64_t>> points;
    /// global: the service; info, error, warning: the first line; addFace: the surface;
    /// polTag: the value. Null when the plug-in passed null.
    std::optional<std::string_view> text;
    /// info, error, warning: the second line.
    std::optional<std::string_view> text2;
    /// polTag: the tag type.
    LWID tagType = 0;
};

/// Identifiers are kept as the raw handles the plug-in passed: the host numbers point and
/// polygon i as the handle i + 1, so the log writes handle h as identifier h - 1 and the null
/// handle as null, even for a handle that names nothing.
class CallLog {
public:
    explicit CallLog(CallLogging logging = CallLogging::full) : logging_(logging) {}

    void begin(int pointBuffer, int polygonBuffer, int selection);
    void global(const char* service, int use);
    void message(CallOp kind, const char* text, const char* text2);
    void done(int error, int selectionMode);
    void polyCount(int layer, int mode, int result);
    void polyScan(int layer);
    void pointInfo(LWPntID point);
    void polyNormal(LWPolID polygon);
    /// `points` may be null or `count` negative; the log then writes "points" as null.
    void addFace(const char* surface, int count, const LWPntID* points, LWPolID result);
    void remPoly(LWPolID polygon);
    void polTag(LWPolID polygon, LWID type, const char* value);

    CallLogging logging() const { return logging_; }
    /// Calls of this kind, counted whether or not calls are logged.
    std::uint64_t count(CallOp op) const { return counts_[static_cast<std::size_t>(op)]; }
    /// Logged calls: every call when logging is full, none otherwise.
    std::size_t size() const { return calls_.size(); }
    CallOp op(std::size_t index) const { return calls_[index].op; }
    CallArguments arguments(std::size_t index) const;
    /// Kept whatever the logging.
    const std::vector<ShownMessage>& messages() const { return messages_; }
    /// The error and the selection mode of the last done call, kept whatever the logging;
    /// empty when the plug-in never called done.
    std::optional<int> doneError() const { return doneError_; }
    std::optional<int> doneSelectionMode() const { return doneSelectionMode_; }

    /// Writes logged call `index` as one JSON object on one line.
    void writeJson(JsonWriter& json, std::size_t index) const;

private:
    /// One call in 32 bytes; what each field holds depends on the op (see call_log.cpp).
    struct Call {
        CallOp op;
        std::int32_t small = 0;
        std::uint32_t text = 0;   // interned string + 1; 0 for null
        std::uint32_t text2 = 0;  // interned string + 1, or a four-character code
        std::uint64_t first = 0;
        std::uint64_t second = 0;
    };

    /// Lets the index be searched with a string_view, without making a string per call.
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };

    bool record(CallOp op);
    std::uint32_t intern(const char* text);
    std::optional<std::string_view> textOf(std::uint32_t text) const;

    CallLogging logging_;
    std::array<std::uint64_t, kCallOpCount> counts_{};
    std::vector<Call> calls_;
    /// Handles of addFace points, all calls end to end.
    std::vector<std::uint64_t> facePoints_;
    /// Interned texts, each once; a plug-in passes the same few texts over and over.
    std::vector<std::string> texts_;
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> textIndex_;
    std::vector<ShownMessage> messages_;
    std::optional<int> doneError_;
    std::optional<int> doneSelectionMode_;
};

}  // namespace tarvel::standin
