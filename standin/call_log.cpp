#include "standin/call_log.h"

#include <cstdint>

#include "mesh/mesh.h"
#include "standin/json_writer.h"

namespace standin {

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

void appendHandle(std::string& out, std::uint64_t handle) {
    if (handle == 0) {
        out += "null";
    } else {
        appendJsonInteger(out, handle - 1);
    }
}

void appendText(std::string& out, std::optional<std::string_view> text) {
    if (text) {
        appendJsonString(out, *text);
    } else {
        out += "null";
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

void CallLog::appendJson(std::string& out, std::size_t index) const {
    const CallArguments call = arguments(index);
    out += "{\"op\": \"";
    out += callOpName(call.op);
    out += '"';
    switch (call.op) {
        case CallOp::begin:
            out += ", \"args\": [";
            appendJsonInteger(out, call.numbers[0]);
            out += ", ";
            appendJsonInteger(out, call.numbers[1]);
            out += ", ";
            appendJsonInteger(out, call.numbers[2]);
            out += ']';
            break;
        case CallOp::global:
            out += ", \"service\": ";
            appendText(out, call.text);
            out += ", \"use\": ";
            appendJsonInteger(out, call.numbers[0]);
            break;
        case CallOp::info:
        case CallOp::error:
        case CallOp::warning:
            out += ", \"text\": ";
            appendText(out, call.text);
            out += ", \"text2\": ";
            appendText(out, call.text2);
            break;
        case CallOp::done:
            out += ", \"error\": ";
            appendJsonInteger(out, call.numbers[0]);
            out += ", \"selmode\": ";
            appendJsonInteger(out, call.numbers[1]);
            break;
        case CallOp::polyCount:
            out += ", \"layer\": ";
            appendJsonInteger(out, call.numbers[0]);
            out += ", \"mode\": ";
            appendJsonInteger(out, call.numbers[1]);
            out += ", \"result\": ";
            appendJsonInteger(out, call.numbers[2]);
            break;
        case CallOp::polyScan:
            out += ", \"layer\": ";
            appendJsonInteger(out, call.numbers[0]);
            break;
        case CallOp::pointInfo:
            out += ", \"point\": ";
            appendHandle(out, call.handle);
            break;
        case CallOp::polyNormal:
        case CallOp::remPoly:
            out += ", \"polygon\": ";
            appendHandle(out, call.handle);
            break;
        case CallOp::addFace:
            out += ", \"surface\": ";
            appendText(out, call.text);
            out += ", \"points\": ";
            if (!call.points) {
                out += "null";
            } else {
                out += '[';
                for (std::size_t i = 0; i < call.points->size(); ++i) {
                    if (i > 0) {
                        out += ", ";
                    }
                    appendHandle(out, (*call.points)[i]);
                }
                out += ']';
            }
            out += ", \"result\": ";
            appendHandle(out, call.handle);
            break;
        case CallOp::polTag:
            out += ", \"polygon\": ";
            appendHandle(out, call.handle);
            out += ", \"type\": ";
            appendJsonString(out, fourCharacterText(call.tagType));
            out += ", \"value\": ";
            appendText(out, call.text);
            break;
    }
    out += '}';
}

}  // namespace standin
