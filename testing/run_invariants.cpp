#include "testing/run_invariants.h"

#include <cstdint>
#include <unordered_set>

#include "host/polygon_capture.h"

namespace tarvel::testing {

namespace {

using standin::CallArguments;
using standin::CallOp;

constexpr std::int64_t kBeginSelection = 2;  // directly selected elements
constexpr std::int64_t kCompleted = 9;
constexpr std::int64_t kOutOfMemory = 1;

class Checker {
public:
    Checker(const standin::Scene& scene, const standin::Trace& trace)
        : scene_(scene), trace_(trace) {}

    std::vector<std::string> check() {
        const standin::CallLog& log = trace_.calls;
        if (log.logging() != standin::CallLogging::full) {
            broken_.push_back("the run was not logged in full");
            return broken_;
        }
        calls_.reserve(log.size());
        for (std::size_t i = 0; i < log.size(); ++i) {
            calls_.push_back(log.arguments(i));
        }
        if (!checkBegin()) {
            return broken_;
        }
        checkDone();
        checkLinks();
        checkRemovals();
        return broken_;
    }

private:
    void fail(const std::string& what) { broken_.push_back(what); }

    bool checkBegin() {
        std::size_t begins = 0;
        for (const CallArguments& call : calls_) {
            begins += call.op == CallOp::begin ? 1 : 0;
        }
        if (calls_.empty() || calls_[0].op != CallOp::begin || begins != 1) {
            fail("the run does not begin with exactly one begin call");
            return false;
        }
        if (calls_[0].numbers[2] != kBeginSelection) {
            fail("the edit was not begun on the direct selection");
        }
        if (!scene_.host.edit) {
            if (trace_.result != 3) {
                fail("without an edit the result is " + std::to_string(trace_.result) + ", not 3");
            }
            if (calls_.size() != 1) {
                fail("calls were made after the host gave no edit");
            }
            return false;
        }
        if (trace_.result != 0) {
            fail("with an edit the result is " + std::to_string(trace_.result) + ", not 0");
        }
        return true;
    }

    void checkDone() {
        std::size_t dones = 0;
        for (const CallArguments& call : calls_) {
            dones += call.op == CallOp::done ? 1 : 0;
        }
        if (dones != 1 || calls_.back().op != CallOp::done) {
            fail("the edit was closed " + std::to_string(dones) +
                 " times, or something was called after done");
            return;
        }
        error_ = calls_.back().numbers[0];
        selection_ = calls_.back().numbers[1];
        const bool known = (error_ == 0 && (selection_ == 0 || selection_ == kCompleted)) ||
                           (error_ == kOutOfMemory && selection_ == 0);
        if (!known) {
            fail("done(" + std::to_string(error_) + ", " + std::to_string(selection_) +
                 ") is no way a run ends");
        }
        for (const CallArguments& call : calls_) {
            if (call.op == CallOp::polyCount && call.numbers[0] == 0 && call.numbers[1] == 1 &&
                call.numbers[2] < 2) {
                const bool scanned = countOf(CallOp::polyScan) > 0;
                if (scanned || error_ != 0 || selection_ != 0) {
                    fail("a selection count below two did not end the run at once");
                }
            }
        }
    }

    std::size_t countOf(CallOp op) const {
        std::size_t n = 0;
        for (const CallArguments& call : calls_) {
            n += call.op == op ? 1 : 0;
        }
        return n;
    }

    bool isScenePoint(std::uint64_t handle) const {
        return handle != 0 && handle - 1 < scene_.mesh.points.size();
    }

    void checkLinks() {
        for (std::size_t i = 0; i < calls_.size(); ++i) {
            const CallArguments& call = calls_[i];
            if (call.op == CallOp::addFace) {
                const bool twoPoints = call.points && call.points->size() == 2 &&
                                       isScenePoint((*call.points)[0]) &&
                                       isScenePoint((*call.points)[1]);
                if (!twoPoints || call.text != std::optional<std::string>("test")) {
                    fail("addFace call " + std::to_string(i) +
                         " is not a two-point \"test\" polygon between points of the scene");
                }
                if (call.handle != 0) {
                    addedPolygons_.insert(call.handle);
                    const bool tagged = i + 1 < calls_.size() &&
                                        calls_[i + 1].op == CallOp::polTag &&
                                        calls_[i + 1].handle == call.handle;
                    if (!tagged) {
                        fail("added polygon of call " + std::to_string(i) + " was not tagged");
                    }
                }
            } else if (call.op == CallOp::polTag) {
                const bool afterItsFace = i > 0 && calls_[i - 1].op == CallOp::addFace &&
                                          calls_[i - 1].handle == call.handle && call.handle != 0;
                const std::string value(call.text.value_or(""));
                const bool colour = value == "Red" || value == "DkRed" || value == "Blue";
                if (!afterItsFace || call.tagType != kTagColour || !colour) {
                    fail("polTag call " + std::to_string(i) +
                         " is not a COLR tag on the polygon just added");
                }
            }
        }
    }

    void checkRemovals() {
        std::unordered_set<std::uint64_t> normalAsked;
        std::unordered_set<std::uint64_t> removed;
        std::unordered_set<std::uint64_t> removedPoints;
        bool removing = false;
        for (std::size_t i = 0; i < calls_.size(); ++i) {
            const CallArguments& call = calls_[i];
            if (call.op == CallOp::polyNormal) {
                normalAsked.insert(call.handle);
            } else if (call.op == CallOp::addFace && removing) {
                fail("addFace call " + std::to_string(i) + " came after a removal");
            } else if (call.op == CallOp::remPoly) {
                removing = true;
                checkRemoval(i, call.handle, normalAsked, removed, removedPoints);
            }
        }
        if (removed.empty()) {
            return;
        }
        if (error_ != 0 || selection_ != kCompleted) {
            fail("polygons were removed in a run that did not complete");
            return;
        }
        if (removed.size() < 2) {
            fail("a completed run removed a single polygon: a pair has two groups");
        }
        for (std::size_t i = 0; i < calls_.size(); ++i) {
            const CallArguments& call = calls_[i];
            if (call.op == CallOp::addFace && call.points) {
                for (const std::uint64_t point : *call.points) {
                    if (removedPoints.count(point) == 0) {
                        fail("addFace call " + std::to_string(i) +
                             " links a point no removed polygon holds");
                        break;
                    }
                }
            }
        }
    }

    void checkRemoval(std::size_t i, std::uint64_t handle,
                      const std::unordered_set<std::uint64_t>& normalAsked,
                      std::unordered_set<std::uint64_t>& removed,
                      std::unordered_set<std::uint64_t>& removedPoints) {
        const std::string where = "remPoly call " + std::to_string(i);
        if (!removed.insert(handle).second) {
            fail(where + " removes a polygon a second time");
            return;
        }
        if (addedPolygons_.count(handle) != 0) {
            fail(where + " removes a polygon the run added");
            return;
        }
        if (handle == 0 || handle - 1 >= scene_.mesh.polygons.size()) {
            fail(where + " names no polygon of the scene");
            return;
        }
        const standin::Polygon& polygon = scene_.mesh.polygons[handle - 1];
        if ((polygon.flags & 1) == 0 || !tarvel::isCapturedType(polygon.type)) {
            fail(where +
                 " removes a polygon that is not a selected polygon of a type the tool takes");
        }
        if (normalAsked.count(handle) == 0) {
            fail(where + " removes a polygon that was never captured");
        }
        for (const std::int32_t point : polygon.points) {
            removedPoints.insert(static_cast<std::uint64_t>(point) + 1);
        }
    }

    const standin::Scene& scene_;
    const standin::Trace& trace_;
    std::vector<CallArguments> calls_;
    std::vector<std::string> broken_;
    std::unordered_set<std::uint64_t> addedPolygons_;
    std::int64_t error_ = 0;
    std::int64_t selection_ = 0;
};

}  // namespace

std::vector<std::string> brokenRunInvariants(const standin::Scene& scene,
                                             const standin::Trace& trace) {
    return Checker(scene, trace).check();
}

std::string describeBroken(const std::vector<std::string>& broken) {
    std::string out;
    for (const std::string& line : broken) {
        out += "  ";
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace tarvel::testing
