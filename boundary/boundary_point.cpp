#include "boundary/boundary_point.h"

namespace tarvel {

BoundaryPoint::~BoundaryPoint() {
    BoundaryPoint* entry = next;
    next = nullptr;
    while (entry != nullptr) {
        BoundaryPoint* following = entry->next;
        entry->next = nullptr;
        delete entry;
        entry = following;
    }
}

int entryCount(const BoundaryPoint* entry) {
    int n = 0;
    for (; entry != nullptr; entry = entry->next) {
        ++n;
    }
    return n;
}

bool containsPoint(const BoundaryPoint* entry, LWPntID id) {
    for (; entry != nullptr; entry = entry->next) {
        if (entry->pointId == id) {
            return true;
        }
    }
    return false;
}

}  // namespace tarvel
