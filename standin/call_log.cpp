#include "standin/call_log.h"

#include <cstdint>

#include "mesh/mesh.h"
#include "standin/json_writer.h"

namespace tarvel::standin {

// How each op uses the fields of Call (the recording functions below fill them, and
// CallLog::arguments is the one place that reads them back):
//   begin       first, second, small: the three arguments
//   global      text: service; small: use
//   info/error/warning  text, text2: the two lines
//   done        first: error; small: selection mode
//   polyCount   first: layer; small: mode; second: result
//   polyScan    small: layer
//   pointInfo, polyNormal, remPoly  first: the handle
//   addFace     text: surface; small: point count, or -1 when the points are unreadable;
//               second: where the points start in facePoints_; first: the result handle
//   polTag      first: polygon handle; text2: type code; text: value

namespace {

std::uint64_t fromInt(std::int64_t value) {
    return static_cast<std::uint64_t>(value);
}

std::int64_t toInt(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

std::uint64_t fromHandle(const void* handle) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

void writeHandle(JsonWriter& json, std::uint64_t handle) {
    if (handle == 0) {
        json.null();
    } else {
        json.integer(handle - 1);
    }
}

void writeText(JsonWriter& json, std::optional<std::string_view> text) {
    if (text) {
        json.string(*text);
    } else {
        json.null();
    }
}

void writeAddFace(JsonWriter& json, const CallArguments& call) {
    json.key("surface");
    writeText(json, call.text);
    json.key("points");
    if (!call.points) {
        json.null();
    } else {
        json.beginArray();
        for (const std::uint64_t point : *call.points) {
            writeHandle(json, point);
        }
        json.end();
    }
    json.key("result");
    writeHandle(json, call.handle);
}

/// The fields of a call after its "op", named as in the host's records.
void writeArguments(JsonWriter& json, const CallArguments& call) {
    const auto& numbers = call.numbers;
    switch (call.op) {
        case CallOp::begin:
            json.key("args").beginArray();
            json.integer(numbers[0]).integer(numbers[1]).integer(numbers[2]).end();
            break;
        case CallOp::global:
            json.key("service");
            writeText(json, call.text);
            json.key("use").integer(numbers[0]);
            break;
        case CallOp::info:
        case CallOp::error:
        case CallOp::warning:
            json.key("text");
            writeText(json, call.text);
            json.key("text2");
            writeText(json, call.text2);
            break;
        case CallOp::done:
            json.key("error").integer(numbers[0]).key("selmode").integer(numbers[1]);
            break;
        case CallOp::polyCount:
            json.key("layer").integer(numbers[0]).key("mode").integer(numbers[1]);
            json.key("result").integer(numbers[2]);
            break;
        case CallOp::polyScan:
            json.key("layer").integer(numbers[0]);
            break;
        case CallOp::pointInfo:
            json.key("point");
            writeHandle(json, call.handle);
            break;
        case CallOp::polyNormal:
        case CallOp::remPoly:
            json.key("polygon");
            writeHandle(json, call.handle);
            break;
        case CallOp::addFace:
            writeAddFace(json, call);
            break;
        case CallOp::polTag:
            json.key("polygon");
            writeHandle(json, call.handle);
            json.key("type").string(fourCharacterText(call.tagType));
            json.key("value");
            writeText(json, call.text);
            break;
    }
}

}  // namespace

const char* callOpName(CallOp op) {
    static const char* const kNames[kCallOpCount] = {
        "begin",    "global",    "info",       "error",   "warning", "done",   "polyCount",
        "polyScan", "pointInfo", "polyNormal", "addFace", "remPoly", "polTag",
    };
    return kNames[static_cast<std::size_t>(op)];
}

bool CallLog::record(CallOp op) {
    ++counts_[static_cast<std::size_t>(op)];
    if (logging_ != CallLogging::full) {
        return false;
    }
    calls_.push_back(Call{op});
    return true;
}

std::uint32_t CallLog::intern(const char* text) {
    if (text == nullptr) {
        return 0;
    }
    const std::string_view view(text);
    if (const auto found = textIndex_.find(view); found != textIndex_.end()) {
        return found->second;
    }
    texts_.emplace_back(view);
    const auto index = static_cast<std::uint32_t>(texts_.size());
    textIndex_.emplace(std::string(view), index);
    return index;
}

void CallLog::begin(int pointBuffer, int polygonBuffer, int selection) {
    if (record(CallOp::begin)) {
        calls_.back().first = fromInt(pointBuffer);
        calls_.back().second = fromInt(polygonBuffer);
        calls_.back().small = selection;
    }
}

void CallLog::global(const char* service, int use) {
    if (record(CallOp::global)) {
        calls_.back().text = intern(service);
        calls_.back().small = use;
    }
}

void CallLog::message(CallOp kind, const char* text, const char* text2) {
    messages_.push_back(
        ShownMessage{kind, text != nullptr ? std::optional<std::string>(text) : std::nullopt,
                     text2 != nullptr ? std::optional<std::string>(text2) : std::nullopt});
    if (record(kind)) {
        calls_.back().text = intern(text);
        calls_.back().text2 = intern(text2);
    }
}

void CallLog::done(int error, int selectionMode) {
    doneError_ = error;
    doneSelectionMode_ = selectionMode;
    if (record(CallOp::done)) {
        calls_.back().first = fromInt(error);
        calls_.back().small = selectionMode;
    }
}

void CallLog::polyCount(int layer, int mode, int result) {
    if (record(CallOp::polyCount)) {
        calls_.back().first = fromInt(layer);
        calls_.back().small = mode;
        calls_.back().second = fromInt(result);
    }
}

void CallLog::polyScan(int layer) {
    if (record(CallOp::polyScan)) {
        calls_.back().small = layer;
    }
}

void CallLog::pointInfo(LWPntID point) {
    if (record(CallOp::pointInfo)) {
        calls_.back().first = fromHandle(point);
    }
}

void CallLog::polyNormal(LWPolID polygon) {
    if (record(CallOp::polyNormal)) {
        calls_.back().first = fromHandle(polygon);
    }
}

void CallLog::addFace(const char* surface, int count, const LWPntID* points, LWPolID result) {
    if (!record(CallOp::addFace)) {
        return;
    }
    Call& call = calls_.back();
    call.text = intern(surface);
    call.first = fromHandle(result);
    call.second = facePoints_.size();
    const bool readable = count >= 0 && (count == 0 || points != nullptr);
    call.small = readable ? count : -1;
    for (int i = 0; readable && i < count; ++i) {
        facePoints_.push_back(fromHandle(points[i]));
    }
}

void CallLog::remPoly(LWPolID polygon) {
    if (record(CallOp::remPoly)) {
        calls_.back().first = fromHandle(polygon);
    }
}

void CallLog::polTag(LWPolID polygon, LWID type, const char* value) {
    if (record(CallOp::polTag)) {
        calls_.back().first = fromHandle(polygon);
        calls_.back().text2 = type;
        calls_.back().text = intern(value);
    }
}

std::optional<std::string_view> CallLog::textOf(std::uint32_t text) const {
    if (text == 0) {
        return std::nullopt;
    }
    return std::string_view(texts_[text - 1]);
}

CallArguments CallLog::arguments(std::size_t index) const {
    const Call& call = calls_[index];
    CallArguments out;
    out.op = call.op;
    switch (call.op) {
        case CallOp::begin:
            out.numbers = {toInt(call.first), toInt(call.second), call.small};
            break;
        case CallOp::global:
            out.text = textOf(call.text);
            out.numbers[0] = call.small;
            break;
        case CallOp::info:
        case CallOp::error:
        case CallOp::warning:
            out.text = textOf(call.text);
            out.text2 = textOf(call.text2);
            break;
        case CallOp::done:
            out.numbers = {toInt(call.first), call.small, 0};
            break;
        case CallOp::polyCount:
            out.numbers = {toInt(call.first), call.small, toInt(call.second)};
            break;
        case CallOp::polyScan:
            out.numbers[0] = call.small;
            break;
        case CallOp::pointInfo:
        case CallOp::polyNormal:
        case CallOp::remPoly:
            out.handle = call.first;
            break;
        case CallOp::addFace:
            out.text = textOf(call.text);
            out.handle = call.first;
            if (call.small >= 0) {
                out.points = std::span<const std::uint64_t>(facePoints_)
                                 .subspan(call.second, static_cast<std::size_t>(call.small));
            }
            break;
        case CallOp::polTag:
            out.handle = call.first;
            out.tagType = call.text2;
            out.text = textOf(call.text);
            break;
    }
    return out;
}

void CallLog::writeJson(JsonWriter& json, std::size_t index) const {
    const CallArguments call = arguments(index);
    json.beginObject();
    json.key("op").string(callOpName(call.op));
    writeArguments(json, call);
    json.end();
}

}  // namespace tarvel::standin
