#include "boundary/boundary_extraction.h"
#include "testing/reference/boundary_edge.h"

#include <memory>

#include "runtime/selected_poly.h"

namespace tarvel {

namespace {

/// A doubly linked edge list that owns its edges through the head.
struct EdgeList {
    std::unique_ptr<BoundaryEdge> head;
    BoundaryEdge* tail = nullptr;

    void append(Vector3* first, Vector3* second, LWPntID idFirst, LWPntID idSecond) {
        auto edge = std::make_unique<BoundaryEdge>();
        edge->setEnds(first, second, idFirst, idSecond);
        edge->prev = tail;
        BoundaryEdge* raw = edge.get();
        if (tail == nullptr) {
            head = std::move(edge);
        } else {
            tail->next = edge.release();
        }
        tail = raw;
    }

    /// Takes `e` out of the list and destroys it alone.
    void remove(BoundaryEdge* e) {
        BoundaryEdge* following = e->next;
        if (following != nullptr) {
            following->prev = e->prev;
        } else {
            tail = e->prev;
        }
        e->next = nullptr;
        if (e->prev != nullptr) {
            e->prev->next = following;
            delete e;
        } else {
            head.reset(following);  // destroys e, which no longer owns anything
            if (following != nullptr) {
                following->prev = nullptr;
            }
        }
    }
};

/// Removes the first pair of equal edges found scanning from the head; false if none is left.
bool cancelFirstSharedPair(EdgeList& edges) {
    for (BoundaryEdge* s = edges.head.get(); s != nullptr; s = s->next) {
        for (BoundaryEdge* t = s->next; t != nullptr; t = t->next) {
            if (s->sameEdge(*t)) {
                edges.remove(s);
                edges.remove(t);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

BoundaryPoint* extractBoundary(const PolyGroup& group,
                               const GroupedPolygons* /*grouped: numbered here, always*/) {
    EdgeList edges;
    for (SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        const int n = m->pointCount;
        if (n <= 0) {
            continue;
        }
        Vector3* pos = m->positions;
        const LWPntID* id = m->pointIds;
        edges.append(&pos[0], &pos[n - 1], id[0], id[n - 1]);
        for (int i = 0; i + 1 < n; ++i) {
            edges.append(&pos[i], &pos[i + 1], id[i], id[i + 1]);
        }
    }
    while (cancelFirstSharedPair(edges)) {
    }

    BoundaryPoint dummy;  // its null identifier never equals a host point identifier
    BoundaryPoint* last = &dummy;
    auto appendPoint = [&last](Vector3* position, LWPntID id) {
        auto* entry = new BoundaryPoint;
        entry->position = position;
        entry->pointId = id;
        last->next = entry;
        last = entry;
    };
    for (const BoundaryEdge* e = edges.head.get(); e != nullptr; e = e->next) {
        if (!containsPoint(&dummy, e->firstId)) {
            appendPoint(e->firstPos, e->firstId);
        }
        if (!containsPoint(&dummy, e->secondId)) {
            appendPoint(e->secondPos, e->secondId);
        }
    }
    BoundaryPoint* first = dummy.next;
    dummy.next = nullptr;
    return first;
}

}  // namespace tarvel
