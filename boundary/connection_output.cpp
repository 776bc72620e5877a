#include "boundary/connection_output.h"

namespace tarvel {

namespace {

void addLink(const MeshEditOp& edit, const BoundaryPoint& from, const char* colour) {
    static constexpr char kSurface[] = "test";
    const LWPntID points[2] = {from.pointId, from.match->pointId};
    const LWPolID polygon = edit.addFace(edit.state, kSurface, 2, points);
    if (polygon != nullptr) {
        edit.polTag(edit.state, polygon, kTagColour, colour);
    }
}

}  // namespace

void addConnections(const BoundaryPoint* firstList, const BoundaryPoint* secondList,
                    const MeshEditOp& edit) {
    for (const BoundaryPoint* e = firstList; e != nullptr; e = e->next) {
        addLink(edit, *e, e == firstList ? "Red" : "DkRed");
    }
    for (const BoundaryPoint* s = secondList; s != nullptr; s = s->next) {
        if (s->match != nullptr) {
            addLink(edit, *s, "Blue");
        }
    }
}

}  // namespace tarvel
