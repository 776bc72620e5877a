#include "testing/reference/boundary_edge.h"

namespace tarvel {

BoundaryEdge::~BoundaryEdge() {
    BoundaryEdge* edge = next;
    next = nullptr;
    while (edge != nullptr) {
        BoundaryEdge* following = edge->next;
        edge->next = nullptr;
        delete edge;
        edge = following;
    }
}

void BoundaryEdge::setEnds(Vector3* first, Vector3* second, LWPntID idFirst, LWPntID idSecond) {
    firstPos = first;
    secondPos = second;
    firstId = idFirst;
    secondId = idSecond;
}

bool BoundaryEdge::sameEdge(const BoundaryEdge& other) const {
    return (firstId == other.firstId && secondId == other.secondId) ||
           (firstId == other.secondId && secondId == other.firstId);
}

}  // namespace tarvel
