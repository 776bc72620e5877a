#include "boundary/connection_output.h"

namespace tarvel {

void listConnections(const BoundaryPoint* firstList, const BoundaryPoint* secondList,
                     std::vector<Connection>& connections) {
    for (const BoundaryPoint* e = firstList; e != nullptr; e = e->next) {
        connections.push_back({e->pointId, e->match->pointId, e == firstList ? "Red" : "DkRed"});
    }
    for (const BoundaryPoint* s = secondList; s != nullptr; s = s->next) {
        if (s->match != nullptr) {
            connections.push_back({s->pointId, s->match->pointId, "Blue"});
        }
    }
}

void addConnections(std::span<const Connection> connections, const MeshEditOp& edit) {
    static constexpr char kSurface[] = "test";
    for (const Connection& c : connections) {
        const LWPntID points[2] = {c.from, c.to};
        const LWPolID polygon = edit.addFace(edit.state, kSurface, 2, points);
        if (polygon != nullptr) {
            edit.polTag(edit.state, polygon, kTagColour, c.colour);
        }
    }
}

}  // namespace tarvel
